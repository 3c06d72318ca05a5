#include <gtest/gtest.h>
#include <windows.h>

#include <dlfcn.h>

#include <cstring>
#include <string>

#include "luma/module.h"

namespace {

TEST(Modules, ExecutableHasAHandleAndItsPath) {
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_NE(luma::ModuleFromAddress(reinterpret_cast<const void*>(&GetModuleHandleA)), self)
        << "the platform library is a module of its own";
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(n, std::strlen(path));
    EXPECT_NE(std::string(path).find("platform_tests"), std::string::npos) << path;
}

TEST(Modules, LoadedLibraryIsFoundByNameAndAddress) {
    void* lib = dlopen(LUMAFEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    HMODULE byName = GetModuleHandleA("LUMAPLUG_X64.so");  // names compare without case
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(GetModuleHandleA("lumaplug_x64"), byName);  // extension supplied
    EXPECT_EQ(luma::ModuleFromAddress(dlsym(lib, "PLUGIN16DoBuild")), byName);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(byName, path, sizeof path), 0u);
    EXPECT_NE(std::string(path).find("/lumaplug_x64.so"), std::string::npos) << path;
    // A buffer too small is cut and terminated.
    char small[5];
    EXPECT_EQ(GetModuleFileNameA(byName, small, sizeof small), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::strlen(small), 4u);
    dlclose(lib);
    EXPECT_EQ(GetModuleHandleA("no_such_module.so"), nullptr);
}

}  // namespace
