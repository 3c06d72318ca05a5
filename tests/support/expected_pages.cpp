#include "tests/support/expected_pages.h"

#include <cstdio>
#include <sstream>

namespace testing_support {

namespace {

std::string Key(int style, const char* name) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "Style%03d%s", style, name);
    return buffer;
}

ExpectedParam Spin(int style, const char* label, int id, const char* name, unsigned builtIn, int min, int max,
                   int def) {
    return {label, id, Expect::Spin, Key(style, name), builtIn, "", min, max, def, 0, 0, ""};
}

ExpectedParam Delay(int style, const char* label, int id, const char* name, unsigned builtIn, int shiftH,
                    int shiftMs) {
    return {label, id, Expect::Delay, name ? Key(style, name) : "", builtIn, "", 0, 0, 0, shiftH, shiftMs, ""};
}

ExpectedParam Colour(int style, const char* label, int id, const char* name, unsigned builtIn) {
    return {label, id, Expect::Colour, Key(style, name), builtIn, "", 0, 0, 0, 0, 0, ""};
}

ExpectedParam Check(int style, const char* text, int id, const char* name, unsigned builtIn) {
    return {text, id, Expect::Check, Key(style, name), builtIn, "", 0, 0, 0, 0, 0, ""};
}

ExpectedParam Combo(int style, const char* label, int id, const char* name, unsigned builtIn, const char* items) {
    return {label, id, Expect::Combo, Key(style, name), builtIn, "", 0, 0, 0, 0, 0, items};
}

ExpectedParam Pad(int style, const char* label, int id, const char* name, unsigned builtIn, int max) {
    return {label, id, Expect::Pad, Key(style, name), builtIn, "", 0, max, builtIn == 0 ? 0 : int(builtIn), 0, 0, ""};
}

ExpectedParam Hidden(int style, const char* name, unsigned builtIn) {
    return {"", 0, Expect::Hidden, Key(style, name), builtIn, "", 0, 0, 0, 0, 0, ""};
}

// Colour buttons "<prefix> 1:" .. "<prefix> 5:" and their four Enable boxes.
void FiveColours(std::vector<ExpectedParam>& params, int style, const char* prefix, const int (&buttons)[5],
                 const int (&enables)[4], const unsigned (&colours)[5]) {
    for (int i = 0; i < 5; ++i) {
        std::string label = std::string(prefix) + " " + std::to_string(i + 1) + ":";
        std::string name = "FillColor" + std::to_string(i + 1);
        params.push_back(Colour(style, label.c_str(), buttons[i], name.c_str(), colours[i]));
    }
    for (int i = 0; i < 4; ++i) {
        std::string name = "FillEnable" + std::to_string(i + 2);
        params.push_back(Check(style, "Enable", enables[i], name.c_str(), 1));
    }
}

constexpr unsigned kCool[5] = {15393755, 14531739, 12616259, 9790252, 8279081};
constexpr unsigned kBright[5] = {16711680, 65280, 52479, 13260, 26367};

std::vector<ExpectedPage> MakePages() {
    std::vector<ExpectedPage> pages;

    {  // Arrows
        ExpectedPage page{"Arrows", 17, {}};
        auto& p = page.params;
        FiveColours(p, 17, "Color", {750, 752, 754, 756, 758}, {760, 761, 762, 763}, kBright);
        p.push_back(Check(17, "Up", 772, "DirNorth", 1));
        p.push_back(Check(17, "Left", 773, "DirEast", 1));
        p.push_back(Check(17, "Down", 774, "DirSouth", 1));
        p.push_back(Check(17, "Right", 775, "DirWest", 1));
        p.push_back(Spin(17, "Density:", 746, "Density", 36, 1, 200, 72));
        p.push_back(Spin(17, "Size:", 744, "Size", 48, 10, 96, 18));
        p.push_back(Spin(17, "Drift:", 742, "Drift", 0, 0, 99, 25));
        p.push_back(Spin(17, "Opacity:", 738, "FillOpacity", 160, 1, 255, 255));
        p.push_back(Spin(17, "Shadow opacity:", 766, "ShadowOpacity", 96, 1, 255, 255));
        p.push_back(Spin(17, "Shadow offset:", 768, "ShadowOffset", 8, 1, 99, 10));
        p.push_back(Spin(17, "Shadow soft:", 770, "ShadowSoftness", 10, 0, 40, 10));
        p.push_back(Spin(17, "Frames:", 740, "Frames", 48, 2, 32760, 64));
        p.push_back(Delay(17, "Delay:", 764, nullptr, 5, 5, 50));
        p.push_back(Spin(17, "Seed:", 748, "Seed", 11231, 100, 32760, 1017));
        pages.push_back(page);
    }
    {  // Bad Video
        ExpectedPage page{"Bad Video", 18, {}};
        auto& p = page.params;
        p.push_back(Colour(18, "Light:", 787, "White", 16049373));
        p.push_back(Colour(18, "Dark:", 789, "Black", 3355443));
        p.push_back(Colour(18, "Monitor:", 804, "MonitorColor", 4278086));
        p.push_back(Combo(18, "Monitor type:", 802, "MonitorStyle", 1, "None;Retro;Studio;Flat Screen"));
        p.push_back(Delay(18, "Short delay:", 791, "Delay", 3, 3, 30));
        p.push_back(Delay(18, "Medium delay:", 806, "Wait", 10, 10, 100));
        p.push_back(Delay(18, "Long delay:", 793, "Pause", 100, 100, 1000));
        p.push_back(Spin(18, "Seed:", 795, "Seed", 9453, 100, 32760, 1018));
        p.push_back(Check(18, "Effect flash", 797, "EffectFlash", 0));
        p.push_back(Check(18, "Effect snow fade", 798, "EffectSnowFade", 1));
        p.push_back(Check(18, "Effect snow flash", 799, "EffectSnowFlash", 0));
        p.push_back(Check(18, "Effect raster flash", 800, "EffectRasterFlash", 1));
        p.push_back(Check(18, "Effect JPEG error", 801, "EffectJpeg", 1));
        pages.push_back(page);
    }
    {  // Bubbles
        ExpectedPage page{"Bubbles", 3, {}};
        auto& p = page.params;
        FiveColours(p, 3, "Color", {232, 234, 236, 238, 240}, {242, 243, 244, 245}, kCool);
        p.push_back(Spin(3, "Opacity:", 219, "FillOpacity", 255, 1, 255, 255));
        p.push_back(Delay(3, "Delay:", 217, "Delay", 6, 6, 60));
        p.push_back(Spin(3, "Frames:", 221, "Frames", 64, 2, 32760, 64));
        p.push_back(Spin(3, "Drift:", 223, "Drift", 16, 0, 99, 25));
        p.push_back(Spin(3, "Size:", 225, "Size", 36, 10, 64, 18));
        p.push_back(Spin(3, "Density:", 227, "Density", 20, 8, 256, 32));
        p.push_back(Spin(3, "Seed:", 229, "Seed", 10632, 100, 32760, 1003));
        p.push_back(Check(3, "Inverse", 231, "Inverse", 0));
        p.push_back(Check(3, "Smooth", 246, "Smooth", 1));
        pages.push_back(page);
    }
    {  // Confetti
        ExpectedPage page{"Confetti", 8, {}};
        auto& p = page.params;
        FiveColours(p, 8, "Color", {420, 422, 424, 426, 428}, {430, 431, 432, 433}, kBright);
        p.push_back(Spin(8, "Opacity:", 408, "FillOpacity", 160, 1, 255, 255));
        p.push_back(Spin(8, "Frames:", 410, "Frames", 48, 2, 32760, 64));
        p.push_back(Delay(8, "Delay:", 434, nullptr, 6, 6, 60));
        p.push_back(Spin(8, "Drift:", 412, "Drift", 4, 0, 99, 25));
        p.push_back(Spin(8, "Size:", 414, "Size", 4, 1, 16, 4));
        p.push_back(Spin(8, "Density:", 416, "Density", 600, 10, 999, 600));
        p.push_back(Spin(8, "Seed:", 418, "Seed", 12997, 100, 32760, 1008));
        pages.push_back(page);
    }
    {  // Gravity
        ExpectedPage page{"Gravity", 13, {}};
        auto& p = page.params;
        p.push_back(Combo(13, "Mode:", 604, "Mode", 1, "Left;Right;Both"));
        p.push_back(Spin(13, "Density:", 576, "Density", 36, 8, 256, 32));
        p.push_back(Spin(13, "Size:", 574, "Size", 20, 10, 36, 18));
        p.push_back(Spin(13, "Speed:", 602, "Speed", 6, 1, 8, 6));
        p.push_back(Spin(13, "Aperture:", 600, "Aperture", 30, 10, 50, 30));
        p.push_back(Spin(13, "Shading:", 598, "Shade", 70, 1, 100, 5));
        p.push_back(Spin(13, "Glare:", 572, "Glare", 160, 0, 255, 160));
        p.push_back(Spin(13, "Shadow opacity:", 594, "ShadowOpacity", 96, 1, 255, 255));
        p.push_back(Spin(13, "Shadow offset:", 596, "ShadowOffset", 8, 1, 99, 10));
        p.push_back(Spin(13, "Shadow soft:", 606, "ShadowSoft", 10, 0, 40, 10));
        FiveColours(p, 13, "Color", {580, 582, 584, 586, 588}, {590, 591, 592, 593}, kBright);
        p.push_back(Spin(13, "Frames:", 570, "Frames", 64, 2, 32760, 64));
        p.push_back(Delay(13, "Delay:", 568, "Delay", 5, 1, 10));
        p.push_back(Spin(13, "Seed:", 578, "Seed", 12054, 100, 32760, 1013));
        pages.push_back(page);
    }
    {  // Gridlock
        ExpectedPage page{"Gridlock", 4, {}};
        auto& p = page.params;
        FiveColours(p, 4, "Color", {269, 271, 273, 275, 277}, {279, 280, 281, 282},
                    {3639295, 26367, 21454, 18094, 12407});
        p.push_back(Delay(4, "Delay:", 257, "Delay", 5, 5, 50));
        p.push_back(Spin(4, "Frames:", 259, "Frames", 64, 2, 32760, 64));
        p.push_back(Spin(4, "Glare:", 261, "Glare", 160, 0, 255, 160));
        p.push_back(Spin(4, "Size:", 263, "Size", 20, 10, 36, 18));
        p.push_back(Spin(4, "Density:", 265, "Density", 24, 8, 256, 32));
        p.push_back(Spin(4, "Seed:", 267, "Seed", 10634, 100, 32760, 1004));
        p.push_back(Spin(4, "Shadow opacity:", 287, "ShadowOpacity", 48, 1, 255, 255));
        p.push_back(Spin(4, "Shadow offset:", 289, "ShadowOffset", 8, 1, 99, 10));
        p.push_back(Spin(4, "Shadow soft:", 293, "ShadowSoft", 10, 0, 40, 10));
        p.push_back(Spin(4, "Shading:", 291, "Shade", 70, 1, 100, 5));
        p.push_back(Check(4, "Up", 283, "DirUp", 1));
        p.push_back(Check(4, "Down", 284, "DirDown", 1));
        p.push_back(Check(4, "Left", 286, "DirLeft", 1));
        p.push_back(Check(4, "Right", 285, "DirRight", 1));
        pages.push_back(page);
    }
    {  // Hyperspace
        ExpectedPage page{"Hyperspace", 5, {}};
        auto& p = page.params;
        FiveColours(p, 5, "Color", {315, 317, 319, 321, 323}, {325, 326, 327, 328}, kCool);
        p.push_back(Delay(5, "Delay:", 303, "Delay", 6, 6, 60));
        p.push_back(Spin(5, "Opacity:", 305, "FillOpacity", 160, 1, 255, 255));
        p.push_back(Spin(5, "Frames:", 307, "Frames", 64, 2, 32760, 64));
        p.push_back(Spin(5, "Seed:", 311, "Seed", 9864, 100, 32760, 1005));
        p.push_back(Spin(5, "Density:", 313, "Density", 18, 8, 256, 32));
        p.push_back(Pad(5, "Scroll:", 309, "Scroll", 1, 1));
        pages.push_back(page);
    }
    {  // Matrix
        ExpectedPage page{"Matrix", 15, {}};
        auto& p = page.params;
        p.push_back(Combo(15, "Matrix size:", 668, "Dimensions", 2, "2 x 2;3 x 3;4 x 4;5 x 5;6 x 6;7 x 7;8 x 8"));
        p.push_back(Colour(15, "Background:", 672, "GutterColor", 0));
        p.push_back(Spin(15, "Frame size:", 670, "GutterSize", 2, 0, 24, 1));
        p.push_back(Spin(15, "Frame width:", 684, "FrameWidth", 15, 0, 80, 15));
        p.push_back(Check(15, "Distressed frame", 683, "Distressed", 15));
        p.push_back(Spin(15, "Fade frames:", 678, "DelayFrames", 8, 2, 256, 16));
        p.push_back(Delay(15, "Delay:", 674, "DelayTime", 3, 3, 30));
        p.push_back(Delay(15, "Pause:", 676, "Pause", 200, 200, 2000));
        p.push_back(Spin(15, "Seed:", 680, "Seed", 18473, 1, 32760, 12345));
        p.push_back(Check(15, "Random assign", 682, "RandomAssign", 1));
        pages.push_back(page);
    }
    {  // Particles
        ExpectedPage page{"Particles", 1, {}};
        auto& p = page.params;
        FiveColours(p, 1, "Color", {149, 151, 153, 155, 157}, {159, 160, 161, 162}, kBright);
        p.push_back(Delay(1, "Delay:", 137, "Delay", 6, 6, 60));
        p.push_back(Spin(1, "Frames:", 139, "Frames", 48, 2, 32760, 64));
        p.push_back(Spin(1, "Glare:", 141, "Glare", 160, 0, 255, 160));
        p.push_back(Spin(1, "Size:", 143, "Size", 20, 10, 36, 18));
        p.push_back(Spin(1, "Density:", 145, "Density", 36, 8, 256, 32));
        p.push_back(Spin(1, "Seed:", 147, "Seed", 12054, 100, 32760, 1001));
        p.push_back(Spin(1, "Shadow opacity:", 163, "ShadowOpacity", 96, 1, 255, 255));
        p.push_back(Spin(1, "Shadow offset:", 165, "ShadowOffset", 8, 1, 99, 10));
        p.push_back(Spin(1, "Shadow soft:", 169, "ShadowSoft", 10, 0, 40, 10));
        p.push_back(Spin(1, "Shading:", 167, "Shade", 70, 1, 100, 5));
        pages.push_back(page);
    }
    {  // Phasers on Stun
        ExpectedPage page{"Phasers on Stun", 2, {}};
        auto& p = page.params;
        FiveColours(p, 2, "Beam", {189, 191, 193, 195, 197}, {199, 200, 201, 202},
                    {255, 65280, 16711680, 16711935, 65535});
        p.push_back(Delay(2, "Delay:", 179, "Delay", 12, 12, 120));
        p.push_back(Spin(2, "Frames:", 181, "Frames", 64, 2, 32760, 64));
        p.push_back(Spin(2, "Power:", 183, "Power", 5, 1, 8, 3));
        p.push_back(Spin(2, "Density:", 185, "Density", 64, 8, 256, 32));
        p.push_back(Spin(2, "Seed:", 187, "Seed", 10636, 100, 32760, 1002));
        p.push_back(Check(2, "East to south lines", 203, "LineEast2South", 1));
        p.push_back(Check(2, "West to south lines", 204, "LineWest2South", 1));
        p.push_back(Check(2, "Horizontal lines", 205, "LineHorizontal", 1));
        p.push_back(Check(2, "Vertical lines", 206, "LineVertical", 1));
        pages.push_back(page);
    }
    {  // Ping
        ExpectedPage page{"Ping", 10, {}};
        auto& p = page.params;
        FiveColours(p, 10, "Color", {493, 495, 497, 499, 501}, {503, 504, 505, 506}, kBright);
        p.push_back(Spin(10, "Opacity:", 483, "FillOpacity", 240, 1, 255, 255));
        p.push_back(Spin(10, "Size:", 489, "Size", 64, 16, 1024, 128));
        p.push_back(Spin(10, "Thickness:", 487, "Thickness", 2, 1, 64, 2));
        p.push_back(Spin(10, "Softness:", 510, "Softness", 0, 0, 40, 5));
        p.push_back(Spin(10, "Frames:", 508, "Frames", 48, 2, 32760, 64));
        p.push_back(Delay(10, "Delay:", 485, nullptr, 4, 4, 40));
        p.push_back(Spin(10, "Seed:", 512, "Seed", 14543, 1, 32760, 12345));
        p.push_back(Check(10, "Random assignments", 491, "RandomAssign", 1));
        p.push_back(Check(10, "Edge wrap", 492, "EdgeWrap", 1));
        pages.push_back(page);
    }
    {  // Plasma Arc
        ExpectedPage page{"Plasma Arc", 7, {}};
        auto& p = page.params;
        p.push_back(Colour(7, "Arc color:", 382, "FillColor", 16769248));
        p.push_back(Delay(7, "Delay:", 378, "Delay", 1, 1, 10));
        p.push_back(Spin(7, "Frames:", 392, "Frames", 64, 2, 32760, 64));
        p.push_back(Spin(7, "Seed:", 380, "Seed", 8162, 100, 32760, 1006));
        p.push_back(Spin(7, "Size:", 386, "Size", 80, 10, 64, 18));
        p.push_back(Spin(7, "Opacity:", 390, "FillOpacity", 224, 1, 255, 255));
        p.push_back(Spin(7, "Complexity:", 388, "Complexity", 1, 1, 10, 4));
        p.push_back(Spin(7, "Energy:", 384, "Thickness", 6, 1, 18, 8));
        p.push_back(Spin(7, "Disturbance:", 394, "Disturbance", 16, 0, 40, 16));
        p.push_back(Combo(7, "Mode:", 396, "Mode", 0, "Simple;Graduated;Strike"));
        pages.push_back(page);
    }
    {  // Rain
        ExpectedPage page{"Rain", 12, {}};
        auto& p = page.params;
        p.push_back(Check(12, "Enable 2", 554, "FillEnable2", 1));
        p.push_back(Check(12, "Enable 3", 555, "FillEnable3", 1));
        p.push_back(Check(12, "Enable 4", 556, "FillEnable4", 1));
        p.push_back(Check(12, "Enable 5", 557, "FillEnable5", 1));
        p.push_back(Delay(12, "Delay:", 549, "Delay", 6, 6, 60));
        p.push_back(Spin(12, "Seed:", 552, "Seed", 10952, 1, 32760, 12345));
        pages.push_back(page);
    }
    {  // Skip Intro
        ExpectedPage page{"Skip Intro", 9, {}};
        auto& p = page.params;
        FiveColours(p, 9, "Color", {456, 458, 460, 462, 464}, {466, 467, 468, 469}, kBright);
        p.push_back(Spin(9, "Opacity:", 446, "FillOpacity", 160, 1, 255, 255));
        p.push_back(Delay(9, "Delay:", 448, nullptr, 12, 12, 120));
        p.push_back(Combo(9, "Spokes:", 450, "Spokes", 6, "6;8;9;10;12;18;20;24;30;36;40;45;60"));
        p.push_back(Spin(9, "Size:", 452, "Size", 48, 16, 1024, 128));
        p.push_back(Spin(9, "Seed:", 454, "Seed", 12997, 100, 32760, 1009));
        p.push_back(Check(9, "Random assignments", 471, "RandomAssign", 1));
        p.push_back(Check(9, "Edge wrap", 472, "EdgeWrap", 1));
        pages.push_back(page);
    }
    {  // Singularity
        ExpectedPage page{"Singularity", 14, {}};
        auto& p = page.params;
        p.push_back(Spin(14, "Implode:", 622, "Implode", 80, 10, 99, 80));
        p.push_back(Spin(14, "Explode:", 624, "Explode", 80, 10, 200, 80));
        p.push_back(Spin(14, "Horizontal:", 626, "CenterX", 50, 25, 75, 50));
        p.push_back(Spin(14, "Vertical:", 628, "CenterY", 50, 25, 75, 50));
        p.push_back(Spin(14, "Frames:", 630, "Frames", 48, 16, 1024, 64));
        p.push_back(Delay(14, "Delay:", 618, "Delay", 4, 4, 40));
        p.push_back(Delay(14, "Pause:", 620, "Pause", 100, 100, 1000));
        pages.push_back(page);
    }
    {  // Snow
        ExpectedPage page{"Snow", 0, {}};
        auto& p = page.params;
        FiveColours(p, 0, "Color", {112, 114, 116, 118, 120}, {122, 123, 124, 125}, kCool);
        p.push_back(Spin(0, "Opacity:", 100, "FillOpacity", 160, 1, 255, 255));
        p.push_back(Spin(0, "Frames:", 102, "Frames", 48, 2, 32760, 64));
        p.push_back(Delay(0, "Delay:", 126, nullptr, 6, 6, 60));
        p.push_back(Spin(0, "Drift:", 104, "Drift", 8, 0, 99, 25));
        p.push_back(Spin(0, "Size:", 106, "Size", 48, 10, 64, 18));
        p.push_back(Spin(0, "Density:", 108, "Density", 36, 1, 32, 3));
        p.push_back(Spin(0, "Seed:", 110, "Seed", 10645, 100, 32760, 1000));
        p.push_back(Spin(0, "Shadow opacity:", 128, "ShadowOpacity", 48, 1, 255, 255));
        p.push_back(Spin(0, "Shadow offset:", 130, "ShadowOffset", 8, 1, 99, 10));
        p.push_back(Spin(0, "Shadow soft:", 132, "ShadowSoftness", 10, 0, 40, 10));
        pages.push_back(page);
    }
    {  // Sparkle
        ExpectedPage page{"Sparkle", 16, {}};
        auto& p = page.params;
        FiveColours(p, 16, "Color", {705, 707, 709, 711, 713}, {715, 716, 717, 718}, kBright);
        p.push_back(Spin(16, "Opacity:", 696, "FillOpacity", 160, 1, 255, 255));
        p.push_back(Spin(16, "Size:", 702, "Size", 64, 16, 1024, 128));
        p.push_back(Spin(16, "Thickness:", 700, "Thickness", 3, 2, 10, 3));
        p.push_back(Spin(16, "Rotation:", 726, "Rotation", 135, 30, 360, 135));
        p.push_back(Spin(16, "Frames:", 720, "Frames", 48, 2, 32760, 64));
        p.push_back(Delay(16, "Delay:", 698, nullptr, 5, 5, 50));
        p.push_back(Delay(16, "Pause:", 724, "Pause", 300, 200, 2000));
        p.push_back(Spin(16, "Seed:", 722, "Seed", 17149, 1, 32760, 12345));
        p.push_back(Check(16, "Random assignments", 704, "RandomAssign", 1));
        p.push_back(Hidden(16, "PercentPhase1", 15));
        p.push_back(Hidden(16, "PercentPhase3", 15));
        pages.push_back(page);
    }
    {  // Stars
        ExpectedPage page{"Stars", 6, {}};
        auto& p = page.params;
        FiveColours(p, 6, "Color", {351, 353, 355, 357, 359}, {361, 362, 363, 364}, kBright);
        p.push_back(Spin(6, "Opacity:", 339, "FillOpacity", 160, 1, 255, 255));
        p.push_back(Spin(6, "Frames:", 341, "Frames", 48, 2, 32760, 64));
        p.push_back(Delay(6, "Delay:", 365, nullptr, 8, 8, 80));
        p.push_back(Spin(6, "Drift:", 343, "Drift", 4, 0, 99, 25));
        p.push_back(Spin(6, "Size:", 345, "Size", 32, 10, 64, 18));
        p.push_back(Spin(6, "Density:", 347, "Density", 48, 1, 256, 3));
        p.push_back(Spin(6, "Seed:", 349, "Seed", 10646, 100, 32760, 1006));
        p.push_back(Check(6, "Variable sizes", 367, "Variable", 1));
        p.push_back(Spin(6, "Shadow opacity:", 368, "ShadowOpacity", 72, 1, 255, 255));
        p.push_back(Spin(6, "Shadow offset:", 370, "ShadowOffset", 8, 1, 99, 10));
        p.push_back(Spin(6, "Shadow soft:", 372, "ShadowSoftness", 10, 0, 40, 10));
        pages.push_back(page);
    }
    {  // Tracks
        ExpectedPage page{"Tracks", 11, {}};
        auto& p = page.params;
        p.push_back(Combo(11, "Mode:", 528, "Mode", 5,
                          "Slide up;Slide down;Slide up and down;Slide left;Slide right;Slide left and right"));
        p.push_back(Combo(11, "Tracks:", 532, "Tracks", 3, "2;4;8;16;32;64;128;256"));
        p.push_back(Spin(11, "Frames:", 530, "Frames", 64, 2, 32760, 64));
        p.push_back(Delay(11, "Delay:", 524, "Delay", 1, 1, 10));
        p.push_back(Delay(11, "Pause:", 526, "Pause", 200, 200, 2000));
        p.push_back(Spin(11, "Seed:", 534, "Seed", 15595, 1, 32760, 12345));
        p.push_back(Spin(11, "Speeds:", 537, "Speed", 3, 2, 4, 3));
        p.push_back(Check(11, "Slow end", 536, "SlowEnd", 1));
        p.push_back(Hidden(11, "SlowFactor", 85));
        pages.push_back(page);
    }
    {  // Wave
        ExpectedPage page{"Wave", 19, {}};
        auto& p = page.params;
        p.push_back(Colour(19, "Color:", 828, "Color", 15790320));
        p.push_back(Pad(19, "Direction:", 832, "Direction", 1, 3));
        p.push_back({"Angle:", 826, Expect::Signed, Key(19, "Angle"), 0, "30", -45, 45, 30, 0, 0, ""});
        p.push_back(Spin(19, "Size:", 820, "Size", 30, 4, 50, 10));
        p.push_back(Spin(19, "Density:", 822, "Density", 128, 1, 255, 255));
        p.push_back(Spin(19, "Frames:", 818, "Frames", 64, 4, 2048, 64));
        p.push_back(Delay(19, "Delay:", 824, "Delay", 3, 3, 30));
        p.push_back(Delay(19, "Pause:", 830, "Pause", 100, 100, 1000));
        pages.push_back(page);
    }
    return pages;
}

// "A, B, C" as a list.
std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> names;
    std::stringstream stream(text);
    std::string name;
    while (std::getline(stream, name, ',')) {
        std::size_t first = name.find_first_not_of(' ');
        names.push_back(name.substr(first));
    }
    return names;
}

}  // namespace

const std::vector<ExpectedPage>& ExpectedPages() {
    static const std::vector<ExpectedPage> pages = MakePages();
    return pages;
}

const std::vector<ExpectedGeneralKey>& ExpectedGeneralKeysBefore() {
    static const std::vector<ExpectedGeneralKey> keys = {
        {"AddDescriptiveCommentBlock", 1, 1, nullptr},
        {"CurrentFileName", 2, 0, "untitled.lfx"},
        {"DefaultTextureFileName", 2, 0, "lumaplug.fft"},
        {"DitherBrightness", 4, 20, nullptr},
        {"DitherContrast", 4, 20, nullptr},
        {"FastRemap", 1, 0, nullptr},
        {"FileNamePath", 2, 0, ""},
        {"FirstRun", 1, 1, nullptr},
        {"ImageFile", 2, 0, ""},
        {"MainDither", 1, 0, nullptr},
        {"MainEffect", 4, 15, nullptr},
        {"MainMaskBackground", 1, 1, nullptr},
        {"MainPalette", 4, 6, nullptr},
        {"MainRolling", 1, 1, nullptr},
        {"MainSupercompress", 1, 0, nullptr},
        {"MatrixLibrary", 2, 0, "lumaplug.mtx"},
        {"MatrixDefaultTile", 2, 0, ""},
        {"OpenPath", 2, 0, ""},
        {"PatchLevel", 0x104, 1, nullptr},
        {"SampleWindowKeyLine", 1, 0, nullptr},
        {"SolidBackground", 1, 1, nullptr},
        {"ShowFileOpenPreview", 1, 1, nullptr},
    };
    return keys;
}

const std::vector<ExpectedGeneralKey>& ExpectedGeneralKeysAfter() {
    static const std::vector<ExpectedGeneralKey> keys = {
        {"Truecolour", 1, 1, nullptr},
        {"UpdateDelay", 4, 1000, nullptr},
        {"VersionNumber", 0x104, 512, nullptr},
    };
    return keys;
}

std::vector<std::string> ExpectedEffectKeyOrder(int styleNumber) {
    static const char* const kOrder[20] = {
        "Density, Drift, FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, FillEnable3, "
        "FillEnable4, FillEnable5, FillOpacity, Frames, Seed, ShadowOpacity, ShadowOffset, ShadowSoftness, Size",
        "Density, Delay, FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, FillEnable3, "
        "FillEnable4, FillEnable5, Frames, Glare, Seed, Shade, ShadowOffset, ShadowOpacity, ShadowSoft, Size",
        "Density, Delay, FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, FillEnable3, "
        "FillEnable4, FillEnable5, Frames, LineEast2South, LineHorizontal, LineVertical, LineWest2South, Power, "
        "Seed",
        "Density, Delay, Drift, FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, "
        "FillEnable3, FillEnable4, FillEnable5, FillOpacity, Frames, Inverse, Seed, Size, Smooth",
        "Density, Delay, DirDown, DirLeft, DirRight, DirUp, FillColor1, FillColor2, FillColor3, FillColor4, "
        "FillColor5, FillEnable2, FillEnable3, FillEnable4, FillEnable5, Frames, Glare, Seed, Shade, ShadowOffset, "
        "ShadowOpacity, ShadowSoft, Size",
        "Density, Delay, FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, FillEnable3, "
        "FillEnable4, FillEnable5, FillOpacity, Frames, Scroll, Seed",
        "Density, Drift, FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, FillEnable3, "
        "FillEnable4, FillEnable5, FillOpacity, Frames, Seed, ShadowOpacity, ShadowOffset, ShadowSoftness, Size, "
        "Variable",
        "Complexity, Delay, Disturbance, FillColor, FillOpacity, Frames, Mode, Seed, Size, Thickness",
        "Density, Drift, FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, FillEnable3, "
        "FillEnable4, FillEnable5, FillOpacity, Frames, Seed, Size",
        "FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, EdgeWrap, FillEnable2, FillEnable3, "
        "FillEnable4, FillEnable5, FillOpacity, RandomAssign, Spokes, Seed, Size",
        "FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, EdgeWrap, FillEnable2, FillEnable3, "
        "FillEnable4, FillEnable5, FillOpacity, Frames, RandomAssign, Seed, Size, Softness, Thickness",
        "Delay, Frames, Mode, Pause, Seed, SlowEnd, SlowFactor, Speed, Tracks",
        "Delay, FillEnable2, FillEnable3, FillEnable4, FillEnable5, Seed",
        "Aperture, Density, Delay, FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, "
        "FillEnable3, FillEnable4, FillEnable5, Frames, Glare, Mode, Seed, Shade, ShadowOffset, ShadowOpacity, "
        "ShadowSoft, Size, Speed",
        "CenterX, CenterY, Delay, Explode, Frames, Implode, Pause",
        "DelayTime, DelayFrames, Dimensions, Distressed, FrameWidth, GutterColor, GutterSize, Pause, RandomAssign, "
        "Seed",
        "FillColor1, FillColor2, FillColor3, FillColor4, FillColor5, FillEnable2, FillEnable3, FillEnable4, "
        "FillEnable5, FillOpacity, Frames, Pause, PercentPhase1, PercentPhase3, RandomAssign, Rotation, Seed, Size, "
        "Thickness",
        "Density, DirNorth, DirEast, DirSouth, DirWest, Drift, FillColor1, FillColor2, FillColor3, FillColor4, "
        "FillColor5, FillEnable2, FillEnable3, FillEnable4, FillEnable5, FillOpacity, Frames, Seed, "
        "ShadowOpacity, ShadowOffset, ShadowSoftness, Size",
        "Black, Delay, EffectFlash, EffectJpeg, EffectRasterFlash, EffectSnowFade, EffectSnowFlash, MonitorColor, "
        "MonitorStyle, Pause, Seed, Wait, White",
        "Angle, Color, Delay, Density, Direction, Frames, Pause, Size",
    };
    std::vector<std::string> keys;
    for (const std::string& name : Split(kOrder[styleNumber])) keys.push_back(Key(styleNumber, name.c_str()));
    return keys;
}

}  // namespace testing_support
