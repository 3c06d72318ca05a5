// The real main dialog, opened once per fuzzing process as a host opens it,
// hidden so that inputs changing values do not pay for repainting the
// preview. Its host answers picture requests for one known picture only.
#pragma once

#include <windows.h>

namespace fuzzing {

// The picture path the session's host decodes; every other one fails as a
// missing file would.
inline constexpr char kKnownPicture[] = "known-picture.bmp";

// The dialog, opened on first use; a failure to open it ends the run.
HWND MainDialog();

}  // namespace fuzzing
