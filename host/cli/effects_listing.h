// `lumafex effects`: the effects in the order of the effect list, each with
// the parameters of its page as the page shows them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "host/core/host.h"

// The effects an argument may name: the one of that exact name (any case),
// else every effect whose name begins with it.
std::vector<int> EffectsNamed(const std::string& name);
// The one effect an argument names, or -1.
int FindEffect(const std::string& name);

// The effect names, separated by ", ".
std::string EffectNames();

// Lists every effect, or only the one at index (0..19); delays in the unit
// of the host's personality.
void ListEffects(std::ostream& out, HostPersonality personality, int index = -1);
