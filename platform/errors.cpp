#include <windows.h>

namespace {
thread_local DWORD lastError = NO_ERROR;
}

extern "C" {

DWORD WINAPI GetLastError(void) { return lastError; }

void WINAPI SetLastError(DWORD error) { lastError = error; }

}
