// Module handles are load addresses, as on Windows: the executable and every
// shared object are told apart by the base address the loader gave them.
#include <windows.h>

#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <sys/auxv.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "luma/module.h"

namespace {

std::string fileOfModule(HMODULE module) {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(module), &info) || !info.dli_fname) return {};
    if (info.dli_fbase != reinterpret_cast<void*>(module)) return {};
    // The executable reports an empty name or argv[0]; ask the kernel instead.
    const char* path = info.dli_fname;
    char resolved[PATH_MAX];
    if (reinterpret_cast<void*>(module) == reinterpret_cast<void*>(GetModuleHandleA(nullptr)))
        path = "/proc/self/exe";
    if (realpath(path, resolved)) return resolved;
    return info.dli_fname;
}

struct Search {
    std::string wanted;
    HMODULE found = nullptr;
};

int visit(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    if (!info->dlpi_name || !*info->dlpi_name) return 0;
    const char* base = std::strrchr(info->dlpi_name, '/');
    base = base ? base + 1 : info->dlpi_name;
    if (strcasecmp(base, search->wanted.c_str()) != 0) return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type == PT_LOAD) {
            Dl_info dl{};
            void* where = reinterpret_cast<void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
            if (dladdr(where, &dl)) search->found = static_cast<HMODULE>(dl.dli_fbase);
            return 1;
        }
    }
    return 0;
}

}  // namespace

namespace luma {

HMODULE ModuleFromAddress(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info)) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

}  // namespace luma

extern "C" {

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (!name) {
        // Any address inside the executable's own image names it.
        return luma::ModuleFromAddress(reinterpret_cast<const void*>(getauxval(AT_PHDR)));
    }
    const char* base = std::strrchr(name, '/');
    base = base ? base + 1 : name;
    Search search;
    search.wanted = base;
    // Windows appends ".dll" to a name without extension; here the files are ".so".
    if (!std::strchr(base, '.')) search.wanted += ".so";
    dl_iterate_phdr(visit, &search);
    if (!search.found) SetLastError(ERROR_MOD_NOT_FOUND);
    return search.found;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR filename, DWORD size) {
    if (!filename || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path = fileOfModule(module ? module : GetModuleHandleA(nullptr));
    if (path.empty()) {
        filename[0] = '\0';
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(filename, path.data(), size - 1);
        filename[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(filename, path.c_str(), path.size() + 1);
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(path.size());
}

}  // extern "C"
