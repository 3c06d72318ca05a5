// Sets the colour settings for one test and restores them afterwards.
#pragma once

#include "settings/settings.h"

namespace colour_test {

class ColourSettings {
public:
    ColourSettings(DWORD fastRemap, DWORD brightness = 20, DWORD contrast = 20)
        : fast_(FastRemap), brightness_(DitherBrightness), contrast_(DitherContrast) {
        FastRemap = fastRemap;
        DitherBrightness = brightness;
        DitherContrast = contrast;
    }
    ~ColourSettings() {
        FastRemap = fast_;
        DitherBrightness = brightness_;
        DitherContrast = contrast_;
    }
    ColourSettings(const ColourSettings&) = delete;
    ColourSettings& operator=(const ColourSettings&) = delete;

private:
    DWORD fast_, brightness_, contrast_;
};

}  // namespace colour_test
