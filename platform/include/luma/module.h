// Module handles for shared objects that play the part of Windows DLLs.
#pragma once

#include <windows.h>

namespace luma {

// The handle of the module (executable or shared object) that contains
// address; the same handle on every call for the same module. GetModuleFileName
// gives its path. Returns null when the address lies in no loaded file.
HMODULE ModuleFromAddress(const void* address);

}  // namespace luma
