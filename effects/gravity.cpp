// Gravity: shaded balls thrown in from the side at staggered times, falling,
// bouncing on the bottom edge without losing height and rolling on slowly.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "effects/effect_bodies.h"
#include "effects/gravity.h"
#include "effects/shaded_elements.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "luma/crt.h"
#include "plugin/guards.h"

void MoveBall(GravityBall& ball, int height) {
    if (ball.wait > 0) {
        --ball.wait;
        return;
    }
    float y = ball.y;
    if (ball.y + ball.radius >= height) {
        ball.vy = -std::fabs(ball.vy);
        // Only a clamp after a real overshoot takes energy out of the bounce.
        if (ball.y + ball.radius - height >= 0.15) {
            y = height - ball.radius;
            if (ball.vy > -0.1) ball.vx = static_cast<float>(ball.vx * 0.96);
        }
    }
    ball.vy = (ball.vy < ball.terminalSpeed ? ball.vy + ball.gravity : ball.vy) * ball.damping;
    ball.x = ball.x + ball.vx;
    ball.y = y + ball.vy;
}

namespace {

constexpr int kDelay = 568, kAperture = 600, kSpeed = 602, kMode = 604;
constexpr ShadedPageControls kPage{570, 574, 576, 578, 572, 598, 594, 596, 606,
                                   ColorSetControls{{580, 582, 584, 586, 588}, {590, 591, 592, 593}}};

enum Mode { kLeftwards = 0, kRightwards = 1, kBothWays = 2 };

struct GravityState {
    int width, height;
    ShadedPage page;  // Frames, Size, Glare, Shading, the shadow and the colour set
    GravityBall* balls;  // in a fixed global block
    int count;
    BallImages images;
};

GravityState gravityState;

void FreeGravity(BuildContext* context) {
    auto* state = static_cast<GravityState*>(context->state);
    FreeBallImages(state->images);
    if (state->balls) GlobalFree(state->balls);
    *state = GravityState{};
}

int ReadMode(HWND page) {
    const LRESULT selection = SendDlgItemMessageA(page, kMode, CB_GETCURSEL, 0, 0);
    return selection >= kLeftwards && selection <= kBothWays ? static_cast<int>(selection) : kRightwards;
}

int InitialiseGravity(BuildContext* context, LONG width, LONG height) {
    auto* state = static_cast<GravityState*>(context->state);
    HWND page = context->page;
    state->width = width;
    state->height = height;
    const int speed = ReadPageInt(page, kSpeed);
    const int aperture = ReadPageInt(page, kAperture);
    const int mode = ReadMode(page);
    state->page = ReadShadedPage(page, kPage);
    const ShadedPage& settings = state->page;
    const int frames = settings.frames, s = settings.size, density = settings.density;

    // A picture too low for the band to hold a pixel still gets a band of one row.
    const int band = std::max(aperture * height / 100, 1);
    const int entry =
        settings.shadow.opacity != 0 ? settings.shadow.offset + 1 + settings.shadow.soft / 10 + s / 2 : s / 2;
    // With under four frames there is no time to stagger: every wait is 0,
    // still drawn so that the draws keep their order.
    const int waitRange = std::max(frames / 4, 1);

    state->balls = static_cast<GravityBall*>(GlobalAlloc(GPTR, sizeof(GravityBall) * static_cast<std::size_t>(density)));
    if (!state->balls) return 0;
    state->count = density;
    int previous = -1;
    for (int i = 0; i < density; ++i) {
        GravityBall& ball = state->balls[i];
        ball.terminalSpeed = 20.0f;
        ball.gravity = 0.1f;
        ball.damping = 1.0f;
        ball.radius = static_cast<float>(s * 0.5);
        ball.size = s;
        ball.shadowOpacity = 255;
        // Factors from 1 up: a factor 0 would leave the ball outside the picture.
        const int k = crt::rand() % speed + 1;
        const bool leftwards = mode == kBothWays ? crt::rand() % 2 != 0 : mode == kLeftwards;
        int distance;
        if (leftwards) {
            ball.x = static_cast<float>(width + s / 2);
            distance = width + s;
        } else {
            ball.x = static_cast<float>(-entry);
            distance = width + entry + s / 2;
        }
        ball.wait = crt::rand() % waitRange;
        ball.colourIndex = PickIndexWithoutRepeat(settings.colours.count, previous);
        ball.colour = settings.colours.colours[ball.colourIndex];
        ball.y = static_cast<float>(crt::rand() % band + (height - band) / 2);
        ball.vx = static_cast<float>(distance) / static_cast<float>(frames - ball.wait) * static_cast<float>(k);
        if (leftwards) ball.vx = -ball.vx;
        ball.vy = static_cast<float>(-(crt::rand() % 4));
        if (!KeptBallSprite(state->images, settings, ball.colourIndex)) {
            FreeGravity(context);
            return 0;
        }
    }
    // The preview shows the balls a quarter of the way in, when most are in flight.
    if (context->flags & kPreviewFlag)
        for (int step = 0; step < frames / 4; ++step)
            for (int i = 0; i < state->count; ++i) MoveBall(state->balls[i], height);
    return 1;
}

// Draws each ball where it is, then moves it on for the next frame.
HGLOBAL RenderGravity(BuildContext* context, int /*frame*/) {
    auto* state = static_cast<GravityState*>(context->state);
    GlobalBlock image(GetSourceFrame(state->width, state->height));
    GlobalLockGuard<BYTE> target(image.get());
    if (!target) return nullptr;
    const bool shadows = CastsShadow(state->page);
    if (shadows && !state->images.shadow) {
        bool complete = false;
        GlobalBlock shadow(BallShadow(state->page, complete));
        if (!shadow || !complete) return nullptr;
        state->images.shadow = shadow.release();
    }
    GlobalLockGuard<BYTE> shadow(shadows ? state->images.shadow : nullptr);
    if (shadows && !shadow) return nullptr;
    const int half = state->page.size / 2;
    for (int i = 0; i < state->count; ++i) {
        GravityBall& ball = state->balls[i];
        const LONG left = static_cast<LONG>(ball.x - half), top = static_cast<LONG>(ball.y - half);
        if (shadow) BlendColourThroughMask(target.get(), shadow.get(), left, top, 0, 255, 0);
        GlobalLockGuard<BYTE> sprite(state->images.sprites[ball.colourIndex]);
        if (!sprite) return nullptr;
        BlendAlphaSprite(target.get(), sprite.get(), left, top, 0);
        MoveBall(ball, state->height);
    }
    return image.release();
}

}  // namespace

constexpr EffectBody GravityBody{&gravityState, sizeof gravityState, InitialiseGravity, RenderGravity,
                                 FreeGravity,   kDelay,              kPage.frames};

const EffectOperations GravityOperations = CommonOperations<GravityBody>();
