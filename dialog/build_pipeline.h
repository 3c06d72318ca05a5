// The build pipeline: the chosen effect renders its frames, they are reduced
// to a palette as the main dialog's options ask, optionally supercompressed,
// and handed to the host as one new animation.
#pragma once

#include <windows.h>

#include "plugin/host_interface.h"

enum class BuildMode { Build = 0, Test = 1 };

// Runs one build for the main dialog, whose controls give the options.
// Returns 1 when the host accepted the whole animation, 0 otherwise; every
// failure has been shown to the user, and nothing the run made is left.
int RunBuild(HWND dialog, HostContext* host, BuildMode mode);

struct EffectRecord;
// The same with the effect given instead of the effect list's selection.
int RunBuildWith(HWND dialog, HostContext* host, BuildMode mode, const EffectRecord& effect);

// The text of the descriptive comment (request 3).
const char* DescriptiveComment();

// The effect's answer meaning "no background colour" counts as white where
// it is written into a palette.
inline constexpr COLORREF kNoBackgroundPaletteColour = 0x00FFFFFF;
