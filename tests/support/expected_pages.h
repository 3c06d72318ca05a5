// The effect pages as their parameter tables describe them, typed here
// independently of the plug-in's own parameter list so that tests compare
// two separate sources.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

enum class Expect { Spin, Delay, Signed, Colour, Check, Combo, Pad, Hidden };

struct ExpectedParam {
    std::string label;  // label before the control, or a check box's own text
    int id;             // 0 for settings without a control
    Expect kind;
    std::string key;    // empty when the setting is not stored
    unsigned builtIn;   // numbers; Signed uses builtInText
    std::string builtInText;
    int min, max, def;  // spin ranges (delays: taken from the host's unit)
    int shiftHundredths, shiftMilliseconds;
    std::string items;  // combo items
};

struct ExpectedPage {
    const char* name;  // as the effect list shows it
    int styleNumber;
    std::vector<ExpectedParam> params;
};

// The twenty pages in EffectTable order.
const std::vector<ExpectedPage>& ExpectedPages();

// The general keys in key-table order: name, type flags, built-in value or text.
struct ExpectedGeneralKey {
    const char* name;
    unsigned flags;
    unsigned builtIn;
    const char* builtInText;
};
const std::vector<ExpectedGeneralKey>& ExpectedGeneralKeysBefore();  // before the effect keys
const std::vector<ExpectedGeneralKey>& ExpectedGeneralKeysAfter();   // after them

// The effect keys in key-table order for StyleNumber n.
std::vector<std::string> ExpectedEffectKeyOrder(int styleNumber);

}  // namespace testing_support
