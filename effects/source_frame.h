// The picture a frame is rendered on.
#pragma once

#include <windows.h>

// A copy of the SourceImage for one frame of a build made for width x
// height; none when memory fails. The copy falls back to the SampleImage
// when the loaded picture cannot be copied, and a frame of another size
// would come out wrong, so that fails as well.
HGLOBAL SourceFrame(LONG width, LONG height);
