#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/cli/cli_support.h"
#include "tests/support/expected_pages.h"

using namespace cli_testing;
using testing_support::Expect;
using testing_support::ExpectedPage;
using testing_support::ExpectedPages;
using testing_support::ExpectedParam;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Plain(std::string label) {
    while (!label.empty() && label.back() == ':') label.pop_back();
    return label;
}

// How the page names a parameter: an Enable box by its colour's row.
std::string NameOf(const ExpectedPage& page, const ExpectedParam& param) {
    if (param.label != "Enable") return Plain(param.label);
    const std::string index = param.key.substr(param.key.size() - 1);
    for (const ExpectedParam& other : page.params)
        if (other.kind == Expect::Colour && other.key == param.key.substr(0, param.key.size() - 7) + "Color" + index)
            return Plain(other.label) + " Enable";
    return "Enable";
}

std::string Hex(unsigned colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

std::vector<std::string> Split(const std::string& items) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= items.size()) {
        std::size_t end = items.find(';', start);
        if (end == std::string::npos) end = items.size();
        if (end > start) out.push_back(items.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// What the listing must say of a parameter besides its name.
std::vector<std::string> Facts(const ExpectedParam& param, bool hundredths) {
    switch (param.kind) {
    case Expect::Spin:
        return {std::to_string(param.min) + " to " + std::to_string(param.max), "default " + std::to_string(param.builtIn)};
    case Expect::Signed:
        return {std::to_string(param.min) + " to " + std::to_string(param.max), "default " + param.builtInText};
    case Expect::Delay:
        return {hundredths ? "1 to 100 hundredths" : "1 to 1000 milliseconds", "default " + std::to_string(param.builtIn),
                "Shift held: " + std::to_string(hundredths ? param.shiftHundredths : param.shiftMilliseconds)};
    case Expect::Colour:
        return {"default " + Hex(param.builtIn)};
    case Expect::Check:
        return {"on or off", param.builtIn ? "default on" : "default off"};
    case Expect::Combo: {
        std::vector<std::string> items = Split(param.items);
        std::vector<std::string> facts = items;
        facts.push_back("default " + items.at(param.builtIn));
        return facts;
    }
    case Expect::Pad:
        return param.max == 3 ? std::vector<std::string>{"up | right | left | down", "default right"}
                              : std::vector<std::string>{"left | right", "default right"};
    case Expect::Hidden:
        break;
    }
    return {};
}

// The lines listing one effect: its name, then its parameters indented.
std::map<std::string, std::vector<std::string>> Blocks(const std::string& listing) {
    std::map<std::string, std::vector<std::string>> blocks;
    std::string current;
    for (const std::string& line : Lines(listing)) {
        if (line.empty()) continue;
        if (line[0] != ' ') current = line, blocks[current];
        else blocks[current].push_back(line);
    }
    return blocks;
}

void ExpectListingOfEveryPage(const std::string& listing, bool hundredths) {
    const auto blocks = Blocks(listing);
    ASSERT_EQ(blocks.size(), ExpectedPages().size());
    for (const ExpectedPage& page : ExpectedPages()) {
        ASSERT_TRUE(blocks.count(page.name)) << page.name;
        const std::vector<std::string>& lines = blocks.at(page.name);
        std::size_t shown = 0;
        for (const ExpectedParam& param : page.params) {
            if (param.kind == Expect::Hidden) continue;
            ++shown;
            const std::string name = NameOf(page, param);
            auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
                return l.rfind("  " + name + "  ", 0) == 0;
            });
            ASSERT_NE(line, lines.end()) << page.name << ": " << name;
            for (const std::string& fact : Facts(param, hundredths))
                EXPECT_TRUE(Contains(*line, fact)) << page.name << ": " << *line << " lacks " << fact;
        }
        EXPECT_EQ(lines.size(), shown) << page.name;
    }
}

TEST(CommandLine, HelpNamesTheCommandsTheOptionsAndTheUserGuide) {
    Session session;
    for (const char* option : {"--help", "-h"}) {
        Outcome run = session.Run({option});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        for (const char* part : {"lumafex preview", "lumafex screenshot", "lumafex effects", "--set LABEL=VALUE",
                                 "--save-settings", "--config-dir", "--min-delay", "--host gif|truecolor", "--shift",
                                 "--no- form", "--palette NAME", "--test"})
            EXPECT_TRUE(Contains(run.out, part)) << part;
        EXPECT_TRUE(Contains(run.out, PluginFolder() + "/LUMAPLUG.HTML"));
    }
    Outcome version = session.Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "lumafex 1.0\n");
    EXPECT_TRUE(session.Configuration().empty());
}

TEST(CommandLine, WrongCommandLinesStopWithTheReasonBeforeTheDialogOpens) {
    struct Case {
        std::vector<std::string> arguments;
        std::string reason;
    };
    const Case cases[] = {
        {{"--frobnicate"}, "Unknown option --frobnicate"},
        {{"stray"}, "\"stray\" is not an option or a command"},
        {{"-e", "Blizzard"}, "No effect is called \"Blizzard\"; the effects are Arrows, Bad Video,"},
        {{"-e", "s"}, "\"s\" may be Skip Intro, Singularity, Snow, Sparkle or Stars; say which."},
        {{"--set", "Density"}, "--set takes LABEL=VALUE"},
        {{"--set", "=3"}, "--set takes LABEL=VALUE"},
        {{"--min-delay", "0"}, "from 1 to 65535"},
        {{"--min-delay", "2x"}, "from 1 to 65535"},
        {{"--host", "png"}, "--host is gif or truecolor"},
        {{"-o", "anim.jpg"}, ".gif (GIF), .png or .apng (APNG) or .webp (WebP)"},
        {{"preview", "-o", "p.gif"}, "preview writes a PNG picture"},
        {{"--truecolor"}, "add --host truecolor"},
        {{"--host", "truecolor", "--supercompress"}, "--supercompress needs the GIF host"},
        {{"--palette", "256 gray levels", "--custom-palette"}, "--custom-palette turns off"},
        {{"effects", "-i", "x.png"}, "-i does not go with effects"},
        {{"preview", "--test"}, "--test does not go with preview"},
        {{"screenshot", "--min-delay", "2"}, "--min-delay does not go with screenshot"},
        {{"-o"}, "-o needs a value"},
        {{"-o", "a.gif", "--output=b.gif"}, "--output is given twice"},
        {{"--dither=yes"}, "--dither takes no value"},
    };
    Session session;
    for (const Case& c : cases) {
        Outcome run = session.Run(c.arguments, false);
        EXPECT_EQ(run.status, 2) << c.reason;
        EXPECT_EQ(run.err.rfind("lumafex: ", 0), 0u) << run.err;
        EXPECT_TRUE(Contains(run.err, c.reason)) << run.err;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(session.Work("lumafex.gif")));
    EXPECT_FALSE(std::filesystem::exists(session.Home(".config/Vellumark/lumaplug.ini")));
}

TEST(EffectsListing, EveryPageWithItsParametersRangesAndDefaults) {
    Session session;
    Outcome gif = session.Run({"effects"});
    ASSERT_EQ(gif.status, 0) << gif.err;
    ExpectListingOfEveryPage(gif.out, true);
    Outcome trueColour = session.Run({"effects", "--host", "truecolor"});
    ASSERT_EQ(trueColour.status, 0) << trueColour.err;
    ExpectListingOfEveryPage(trueColour.out, false);

    // In the order of the effect list.
    std::vector<std::string> names;
    for (const std::string& line : Lines(gif.out))
        if (!line.empty() && line[0] != ' ') names.push_back(line);
    std::vector<std::string> expected;
    for (const ExpectedPage& page : ExpectedPages()) expected.push_back(page.name);
    EXPECT_EQ(names, expected);
}

TEST(EffectsListing, OneEffectInTheOrderOfItsPage) {
    Session session;
    Outcome run = session.Run({"effects", "-e", "PHASERS"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Phasers on Stun");
    // Down the left column, then the right: beams with their Enable boxes, then the line kinds.
    std::vector<std::string> order;
    for (std::size_t i = 1; i < lines.size(); ++i) order.push_back(lines[i].substr(2, lines[i].find("  ", 2) - 2));
    EXPECT_EQ(order, (std::vector<std::string>{"Delay", "Frames", "Power", "Density", "Seed", "Beam 1", "Beam 2",
                                               "Beam 2 Enable", "Beam 3", "Beam 3 Enable", "Beam 4", "Beam 4 Enable",
                                               "Beam 5", "Beam 5 Enable", "East to south lines",
                                               "West to south lines", "Horizontal lines", "Vertical lines"}));
    Outcome snow = session.Run({"effects", "-e", "snow"});
    EXPECT_TRUE(Contains(snow.out, "default 36 (read as 32)")) << snow.out;
}

}  // namespace
