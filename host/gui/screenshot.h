// lumafex-gui --screenshot: the plug-in's dialog with real widgets, saved as
// a picture once its preview is shown.
#pragma once

#include <string>

struct ScreenshotOptions {
    std::string output;   // PNG file
    std::string effect;   // effect list item; empty: as configured
    std::string picture;  // picture to choose through Select...; empty: as configured
};

// Returns the process exit code; problems are printed on standard error.
int TakeScreenshot(const ScreenshotOptions& options);
