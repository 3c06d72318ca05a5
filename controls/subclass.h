// Subclassing a control by window property: the class's own procedure is
// kept under a name of the subclass's choosing, so that every message the
// subclass does not take goes on to it.
#pragma once

#include <windows.h>

// Gives window procedure, keeping the class's procedure under property (a
// second call keeps the first one's).
void SubclassControl(HWND window, const char* property, WNDPROC procedure);

// Passes a message on to the procedure kept under property, or to the
// default one; the property goes with WM_NCDESTROY.
LRESULT CallKeptProcedure(const char* property, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
