// Particles: shaded balls, each going once round its own circle over the
// animation, with a soft round shadow; clipped at the picture's edges.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "effects/effect_bodies.h"
#include "effects/shaded_elements.h"
#include "effects/source_image.h"
#include "image/filters.h"
#include "luma/crt.h"
#include "plugin/guards.h"

namespace {

constexpr int kDelay = 137;
constexpr ShadedPageControls kPage{139, 143, 145, 147, 141, 167, 163, 165, 169,
                                   ColorSetControls{{149, 151, 153, 155, 157}, {159, 160, 161, 162}}};

struct Particle {
    int x0, y0;  // centre of its circle
    int size;
    int radius;  // twice the circle's radius
    double angle;  // start, degrees
    COLORREF color;
    int colourIndex;  // its sprite among the state's images
};

struct ParticlesState {
    int width, height;
    int frame;
    ShadedPage page;  // Frames, Size, Glare, Shading, the shadow and the colour set
    Particle* particles;  // Density entries in a fixed global block
    int count;
    BallImages images;
};

ParticlesState particlesState;

void FreeParticles(BuildContext* context) {
    auto* state = static_cast<ParticlesState*>(context->state);
    FreeBallImages(state->images);
    if (state->particles) GlobalFree(state->particles);
    *state = ParticlesState{};
}

int InitialiseParticles(BuildContext* context, LONG width, LONG height) {
    auto* state = static_cast<ParticlesState*>(context->state);
    state->width = width;
    state->height = height;
    state->page = ReadShadedPage(context->page, kPage);
    const int density = state->page.density;
    state->particles = static_cast<Particle*>(GlobalAlloc(GPTR, sizeof(Particle) * static_cast<std::size_t>(density)));
    if (!state->particles) return 0;
    state->count = density;

    const int m = std::min(width, height);
    const int lo = m / 2;
    // Pictures under 4 pixels on their shorter side leave no spread of
    // circle sizes: every circle gets the smallest.
    const int span = std::max((3 * m) / 4 - lo, 1);
    int previous = -1;
    for (int i = 0; i < density; ++i) {
        Particle& p = state->particles[i];
        p.x0 = crt::rand() % width;
        p.y0 = crt::rand() % height;
        crt::rand();
        p.radius = crt::rand() % span + lo;
        p.angle = crt::rand() % 360;
        p.size = state->page.size;
        p.colourIndex = PickIndexWithoutRepeat(state->page.colours.count, previous);
        p.color = state->page.colours.colours[p.colourIndex];
        if (!KeptBallSprite(state->images, state->page, p.colourIndex)) {
            FreeParticles(context);
            return 0;
        }
    }
    return 1;
}

HGLOBAL RenderParticles(BuildContext* context, int frame) {
    auto* state = static_cast<ParticlesState*>(context->state);
    state->frame = frame;
    GlobalBlock image(GetSourceFrame(state->width, state->height));
    GlobalLockGuard<BYTE> target(image.get());
    if (!target) return nullptr;
    const float turn = static_cast<float>(frame) / static_cast<float>(state->page.frames);
    const bool shadows = CastsShadow(state->page);
    for (int i = 0; i < state->count; ++i) {
        const Particle& p = state->particles[i];
        const double degrees = turn * 360 + p.angle;
        const float radians = static_cast<float>(degrees) * 0.01745328f;
        const int r2 = p.radius / 2;
        const LONG x = p.x0 + static_cast<LONG>(r2 * std::sin(static_cast<double>(radians)));
        const LONG y = p.y0 + static_cast<LONG>(-r2 * std::cos(static_cast<double>(radians)));
        auto make = [&](bool& complete) { return BallShadow(state->page, complete); };
        if (shadows && !BlendKeptShadow(state->images.shadow, make, target.get(), x, y, 0)) continue;
        GlobalLockGuard<BYTE> sprite(state->images.sprites[p.colourIndex]);
        if (!sprite) return nullptr;
        BlendAlphaSprite(target.get(), sprite.get(), x, y, 0);
    }
    return image.release();
}

}  // namespace

constexpr EffectBody ParticlesBody{&particlesState, sizeof particlesState, InitialiseParticles, RenderParticles,
                                   FreeParticles,   kDelay,                kPage.frames};

const EffectOperations ParticlesOperations = CommonOperations<ParticlesBody>();
