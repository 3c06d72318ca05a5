// Frames written as PNG files under build/effects_test_output/, so that what
// an effect draws can be looked at as well as measured.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Writes a 24- or 32-bit PackedDib (alpha dropped) as an RGB PNG named name
// in the output folder; false when it cannot be written.
bool WriteFramePng(HGLOBAL dib, const std::string& name);

}  // namespace testing_support
