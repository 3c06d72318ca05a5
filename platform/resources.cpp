// Resource tables of modules: FindResource/LoadResource/LockResource/
// SizeofResource over the entries each module registered, string tables
// (LoadString) and dialog templates.
#include <windows.h>

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "luma/module.h"
#include "luma/resources.h"
#include "wm.h"

namespace luma {
namespace {

struct Table {
    // Registration order; a later entry wins over an earlier one of the same name.
    std::map<HMODULE, std::vector<const Resource*>> modules;
};

Table& table() {
    static auto* t = new Table;  // outlives the static destructors that unregister
    return *t;
}

bool SameKey(LPCSTR a, LPCSTR b) {
    if (IS_INTRESOURCE(a) || IS_INTRESOURCE(b)) return a == b;
    // A name "#123" means the number 123, as FindResource reads it.
    return strcasecmp(a, b) == 0;
}

LPCSTR Canonical(LPCSTR name) {
    if (!name || IS_INTRESOURCE(name) || name[0] != '#') return name;
    char* end = nullptr;
    unsigned long id = std::strtoul(name + 1, &end, 10);
    if (end && *end == '\0' && id <= 0xFFFF) return MAKEINTRESOURCEA(id);
    return name;
}

HMODULE Resolve(HMODULE module) { return module ? module : GetModuleHandleA(nullptr); }

const Resource* Lookup(HMODULE module, LPCSTR name, LPCSTR type) {
    auto it = table().modules.find(Resolve(module));
    if (it == table().modules.end()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    name = Canonical(name);
    type = Canonical(type);
    bool typeSeen = false;
    const auto& entries = it->second;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        if (!SameKey((*e)->type, type)) continue;
        typeSeen = true;
        if (SameKey((*e)->name, name)) return *e;
    }
    SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

}  // namespace

void RegisterResources(HMODULE module, const Resource* resources, size_t count) {
    auto& entries = table().modules[Resolve(module)];
    for (size_t i = 0; i < count; ++i) entries.push_back(&resources[i]);
}

void UnregisterResources(HMODULE module, const Resource* resources, size_t count) {
    auto it = table().modules.find(Resolve(module));
    if (it == table().modules.end()) return;
    auto& entries = it->second;
    std::less<const Resource*> before;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const Resource* r) { return !before(r, resources) && before(r, resources + count); }),
                  entries.end());
    if (entries.empty()) table().modules.erase(it);
}

ResourceRegistration::ResourceRegistration(const Resource* resources, size_t count)
    : module_(ModuleFromAddress(resources)), resources_(resources), count_(count) {
    RegisterResources(module_, resources, count);
}

ResourceRegistration::~ResourceRegistration() { UnregisterResources(module_, resources_, count_); }

}  // namespace luma

namespace luma::wm {

const luma::DialogTemplate* FindDialogTemplate(HINSTANCE instance, LPCSTR name) {
    HRSRC found = FindResourceA(instance, name, RT_DIALOG);
    if (!found) return nullptr;
    return static_cast<const luma::DialogTemplate*>(LockResource(LoadResource(instance, found)));
}

}  // namespace luma::wm

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    if (!name || !type) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<luma::Resource*>(luma::Lookup(module, name, type)));
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
    if (!resource) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Resource data lives in the module's image; the handle is its address.
    return const_cast<void*>(reinterpret_cast<const luma::Resource*>(resource)->data);
}

LPVOID WINAPI LockResource(HGLOBAL data) { return data; }

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
    if (!resource) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(reinterpret_cast<const luma::Resource*>(resource)->size);
}

BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }  // nothing to free, as on 32-bit Windows

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    if (!buffer) return 0;
    // String ids start at 0, which FindResource would take for a missing name.
    const luma::Resource* entry = luma::Lookup(instance, MAKEINTRESOURCEA(id), RT_STRING);
    if (size == 0) {
        // The caller asks for the string itself, read-only.
        *reinterpret_cast<const char**>(buffer) = entry ? static_cast<const char*>(entry->data) : nullptr;
        return entry ? static_cast<int>(entry->size) : 0;
    }
    if (!entry) {
        if (size > 0) buffer[0] = '\0';
        return 0;
    }
    size_t n = std::min(entry->size, static_cast<size_t>(size) - 1);
    std::memcpy(buffer, entry->data, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

}  // extern "C"
