// Load-time entry of lumaplug_x64.so: the loader calls DllMain on Windows;
// here a constructor does, with the handle the platform gives this file.
#include "luma/module.h"
#include "plugin/host_interface.h"

namespace {

__attribute__((constructor)) void attach() {
    DllMain(luma::ModuleFromAddress(reinterpret_cast<const void*>(&attach)), DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void detach() {
    DllMain(luma::ModuleFromAddress(reinterpret_cast<const void*>(&attach)), DLL_PROCESS_DETACH, nullptr);
}

}  // namespace
