// Effect pages inside the main dialog: cloning a page template into it,
// binding the controls to their settings, showing one page, and reading
// page values back.
#pragma once

#include <windows.h>

#include "effects/framework.h"

// Reads "min,max,default" from text into the three values, which keep what
// they held for the numbers the text lacks. Returns how many were read.
int ParseSpinRange(const char* text, int& min, int& max, int& def);

// The value of field id of window clamped to the range of its up-down
// (id + 10000); a field without one is clamped to 0..100. A field whose
// range starts below 0 is read as a signed number.
int ReadPageInt(HWND window, int id);

// A colour button's colour (its text as a number) and a check box's state
// (an indeterminate box counts as not checked).
DWORD ReadPageColour(HWND window, int id);
bool ReadPageCheck(HWND window, int id);

// Copies every control of template 7400 + styleNumber into the main dialog,
// hidden, with the main dialog's font. Returns 0 when the template cannot
// be created.
int ClonePage(HWND mainDialog, int styleNumber);

// Binds the cloned controls of page styleNumber to their settings: ranges,
// values, combo items, the delay range of the host's unit and the Shift-key
// delays.
int BindPage(HWND mainDialog, int styleNumber);

// PageSetup of every effect: clone and bind its page.
int SetUpPage(BuildContext* context, int styleNumber);

// Hides every page control of the main dialog and shows those of the effect
// at table index effect.
void ShowPage(HWND mainDialog, int effect);
