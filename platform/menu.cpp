// Menus: items with ids, text, check and gray state and submenus, and popup
// menus shown by the driver with the messages Windows sends around them.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <map>

#include "fault.h"
#include "luma/testing.h"
#include "wm.h"

namespace luma::wm {
namespace {

struct MenuItem {
    UINT flags = 0;  // MF_* as given, MF_POPUP for submenus
    UINT_PTR id = 0;
    std::string text;
    HMENU submenu = nullptr;
};

struct Menu {
    std::vector<MenuItem> items;
    bool popup = false;
};

std::map<Menu*, std::unique_ptr<Menu>>& menus() {
    static auto* table = new std::map<Menu*, std::unique_ptr<Menu>>;  // outlives static destructors
    return *table;
}

Menu* Get(HMENU handle) {
    auto* m = reinterpret_cast<Menu*>(handle);
    if (!menus().count(m)) {
        SetLastError(1401 /* ERROR_INVALID_MENU_HANDLE */);
        return nullptr;
    }
    return m;
}

HMENU Create(bool popup) {
    if (!luma::detail::AllocationMayProceed()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto m = std::make_unique<Menu>();
    m->popup = popup;
    Menu* raw = m.get();
    menus().emplace(raw, std::move(m));
    return reinterpret_cast<HMENU>(raw);
}

// The item a command id or position names, searching submenus for ids.
MenuItem* Locate(Menu* m, UINT item, UINT flags, Menu** owner = nullptr, size_t* index = nullptr) {
    if (flags & MF_BYPOSITION) {
        if (item >= m->items.size()) return nullptr;
        if (owner) *owner = m;
        if (index) *index = item;
        return &m->items[item];
    }
    for (size_t i = 0; i < m->items.size(); ++i) {
        MenuItem& it = m->items[i];
        if (it.submenu) {
            if (Menu* sub = Get(it.submenu))
                if (MenuItem* found = Locate(sub, item, flags, owner, index)) return found;
            if (it.id == item && !(it.flags & MF_POPUP)) {
                if (owner) *owner = m;
                if (index) *index = i;
                return &it;
            }
            continue;
        }
        if (it.id == item && !(it.flags & MF_SEPARATOR)) {
            if (owner) *owner = m;
            if (index) *index = i;
            return &it;
        }
    }
    return nullptr;
}

MenuItem MakeItem(UINT flags, UINT_PTR id, LPCSTR text) {
    MenuItem item;
    item.flags = flags & ~(MF_BYPOSITION | MF_INSERT | MF_CHANGE | MF_APPEND | MF_DELETE | MF_REMOVE);
    if (flags & MF_POPUP) {
        item.submenu = reinterpret_cast<HMENU>(id);
        item.id = 0;
    } else {
        item.id = id;
    }
    if (!(flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) && text) item.text = text;
    return item;
}

// Frees a menu and, as Windows does, every submenu it holds.
void Destroy(Menu* m) {
    std::vector<HMENU> subs;
    for (MenuItem& it : m->items)
        if (it.submenu) subs.push_back(it.submenu);
    menus().erase(m);
    for (HMENU sub : subs)
        if (Menu* s = Get(sub)) Destroy(s);
}

void Describe(const Menu* m, std::vector<PopupMenuItem>& out) {
    for (const MenuItem& it : m->items) {
        PopupMenuItem p;
        p.id = static_cast<UINT>(it.id);
        p.text = it.text;
        p.separator = (it.flags & MF_SEPARATOR) != 0;
        p.grayed = (it.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        p.checked = (it.flags & MF_CHECKED) != 0;
        if (it.submenu)
            if (const Menu* sub = Get(it.submenu)) Describe(sub, p.submenu);
        out.push_back(std::move(p));
    }
}

bool Chosen(Menu* m, UINT id) {
    MenuItem* it = Locate(m, id, MF_BYCOMMAND);
    return it && !it->submenu && !(it->flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR));
}

}  // namespace
}  // namespace luma::wm

namespace luma {

std::size_t LiveMenus() { return wm::menus().size(); }

}  // namespace luma

using namespace luma::wm;

extern "C" {

HMENU WINAPI CreatePopupMenu(void) { return Create(true); }
HMENU WINAPI CreateMenu(void) { return Create(false); }

BOOL WINAPI DestroyMenu(HMENU menu) {
    Menu* m = Get(menu);
    if (!m) return FALSE;
    Destroy(m);
    return TRUE;
}

BOOL WINAPI IsMenu(HMENU menu) { return menus().count(reinterpret_cast<Menu*>(menu)) ? TRUE : FALSE; }

BOOL WINAPI InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR item) {
    Menu* m = Get(menu);
    if (!m) return FALSE;
    if ((flags & MF_POPUP) && !Get(reinterpret_cast<HMENU>(id))) return FALSE;
    if (!luma::detail::AllocationMayProceed()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    MenuItem newItem = MakeItem(flags, id, item);
    if (flags & MF_BYPOSITION) {
        size_t at = position >= m->items.size() ? m->items.size() : position;
        m->items.insert(m->items.begin() + static_cast<long>(at), std::move(newItem));
        return TRUE;
    }
    Menu* owner = nullptr;
    size_t index = 0;
    if (position == 0xFFFFFFFFu || !Locate(m, position, MF_BYCOMMAND, &owner, &index)) {
        m->items.push_back(std::move(newItem));
        return TRUE;
    }
    owner->items.insert(owner->items.begin() + static_cast<long>(index), std::move(newItem));
    return TRUE;
}

BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR item) {
    return InsertMenuA(menu, 0xFFFFFFFFu, (flags & ~MF_BYPOSITION) | MF_BYPOSITION, id, item);
}

BOOL WINAPI RemoveMenu(HMENU menu, UINT position, UINT flags) {
    Menu* m = Get(menu);
    if (!m) return FALSE;
    Menu* owner = nullptr;
    size_t index = 0;
    if (!Locate(m, position, flags, &owner, &index)) return FALSE;
    owner->items.erase(owner->items.begin() + static_cast<long>(index));
    return TRUE;
}

BOOL WINAPI DeleteMenu(HMENU menu, UINT position, UINT flags) {
    Menu* m = Get(menu);
    if (!m) return FALSE;
    Menu* owner = nullptr;
    size_t index = 0;
    MenuItem* it = Locate(m, position, flags, &owner, &index);
    if (!it) return FALSE;
    HMENU sub = it->submenu;
    owner->items.erase(owner->items.begin() + static_cast<long>(index));
    if (sub) DestroyMenu(sub);
    return TRUE;
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT check) {
    Menu* m = Get(menu);
    MenuItem* it = m ? Locate(m, item, check & MF_BYPOSITION) : nullptr;
    if (!it) return static_cast<DWORD>(-1);
    DWORD old = it->flags & MF_CHECKED;
    it->flags = (it->flags & ~MF_CHECKED) | (check & MF_CHECKED);
    return old;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    Menu* m = Get(menu);
    MenuItem* it = m ? Locate(m, item, enable & MF_BYPOSITION) : nullptr;
    if (!it) return -1;
    UINT old = it->flags & (MF_GRAYED | MF_DISABLED);
    it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return static_cast<BOOL>(old);
}

int WINAPI GetMenuItemCount(HMENU menu) {
    Menu* m = Get(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU menu, int position) {
    Menu* m = Get(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return static_cast<UINT>(-1);
    const MenuItem& it = m->items[static_cast<size_t>(position)];
    return it.submenu ? static_cast<UINT>(-1) : static_cast<UINT>(it.id);
}

UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) {
    Menu* m = Get(menu);
    MenuItem* it = m ? Locate(m, item, flags & MF_BYPOSITION) : nullptr;
    if (!it) return static_cast<UINT>(-1);
    UINT state = it->flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_MENUBREAK | MF_MENUBARBREAK);
    if (it->submenu) {
        Menu* sub = Get(it->submenu);
        state |= MF_POPUP | (sub ? static_cast<UINT>(sub->items.size()) << 8 : 0);
    }
    return state;
}

int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR text, int size, UINT flags) {
    Menu* m = Get(menu);
    MenuItem* it = m ? Locate(m, item, flags & MF_BYPOSITION) : nullptr;
    if (!it) {
        if (text && size > 0) text[0] = '\0';
        return 0;
    }
    if (!text || size <= 0) return static_cast<int>(it->text.size());
    size_t n = std::min(it->text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(text, it->text.data(), n);
    text[n] = '\0';
    return static_cast<int>(n);
}

HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    Menu* m = Get(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
    return m->items[static_cast<size_t>(position)].submenu;
}

BOOL WINAPI TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
    Menu* m = Get(menu);
    if (!m) return FALSE;
    if (!Find(owner)) return FALSE;
    bool notify = !(flags & TPM_NONOTIFY);
    if (notify) {
        SendMessageA(owner, WM_ENTERMENULOOP, TRUE, 0);
        SendMessageA(owner, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
        SendMessageA(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, FALSE));
        if (!(m = Get(menu))) return FALSE;  // the owner may rebuild or drop its menu meanwhile
    }
    luma::PopupMenuRequest request;
    request.owner = owner;
    request.where = POINT{x, y};
    request.flags = flags;
    Describe(m, request.items);
    UINT id = luma::CurrentDriver().PopupMenu(request);
    if (id && (!(m = Get(menu)) || !Chosen(m, id))) id = 0;
    if (notify && IsWindow(owner)) {
        SendMessageA(owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
        SendMessageA(owner, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
        SendMessageA(owner, WM_EXITMENULOOP, TRUE, 0);
    }
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(id);
    // The choice arrives as a command once the menu is gone, as on Windows.
    if (id && IsWindow(owner)) PostMessageA(owner, WM_COMMAND, id, 0);
    return TRUE;
}

BOOL WINAPI TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

}  // extern "C"
