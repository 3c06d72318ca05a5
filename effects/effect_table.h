// The EffectTable: one record of operations per effect, in the order of the
// effect list (see effects/effect_list.h for names and StyleNumbers).
#pragma once

#include "effects/effect_list.h"
#include "effects/framework.h"

extern const EffectRecord EffectTable[kEffectCount];

// The record at table index, or null outside 0..19.
const EffectRecord* EffectAt(int index);

// StyleNumber of the effect at table index, or -1.
int EffectStyleNumber(int index);

// The page control of Matrix that holds its background colour.
inline constexpr int kMatrixBackgroundControl = 672;
