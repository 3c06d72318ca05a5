// The effects in the order of the effect list, with their StyleNumbers: the
// table index is what `MainEffect` stores, the StyleNumber names the page
// template (7400 + N) and the configuration keys ("Style" + N).
#pragma once

#include <array>

#include "effects/page_tables.h"

struct EffectName {
    const char* name;
    int styleNumber;
};

// Alphabetical, but for "Skip Intro", which stands before "Singularity".
inline constexpr std::array<EffectName, kEffectCount> kEffectNames = {{
    {"Arrows", 17},
    {"Bad Video", 18},
    {"Bubbles", 3},
    {"Confetti", 8},
    {"Gravity", 13},
    {"Gridlock", 4},
    {"Hyperspace", 5},
    {"Matrix", 15},
    {"Particles", 1},
    {"Phasers on Stun", 2},
    {"Ping", 10},
    {"Plasma Arc", 7},
    {"Rain", 12},
    {"Skip Intro", 9},
    {"Singularity", 14},
    {"Snow", 0},
    {"Sparkle", 16},
    {"Stars", 6},
    {"Tracks", 11},
    {"Wave", 19},
}};

// The effect `MainEffect` starts with.
inline constexpr int kDefaultEffect = 15;

constexpr bool EveryStyleNumberOnce() {
    std::array<bool, kEffectCount> seen{};
    for (const EffectName& effect : kEffectNames) {
        if (effect.styleNumber < 0 || effect.styleNumber >= kEffectCount || seen[effect.styleNumber]) return false;
        seen[effect.styleNumber] = true;
    }
    return true;
}
static_assert(EveryStyleNumberOnce());
static_assert(kEffectNames[kDefaultEffect].styleNumber == 0);
