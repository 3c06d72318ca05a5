/* A plain Win32 program in C: it must build against the platform's headers
 * exactly as it would against Windows' own. The test suite runs it. */
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

int luma_c_program_main(void) { return 0; }
