// Dialogs: templates from a module's resource table (C++ data) or from
// memory (Windows' binary DLGTEMPLATE), created in Windows' order (font,
// dialog window, WM_SETFONT, controls each with WM_SETFONT, WM_INITDIALOG,
// focus, show), the modal loop, EndDialog, the default dialog procedure and
// the keyboard interface (Tab, arrows, Enter, Escape, mnemonics).
#include <windows.h>

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "headless/headless.h"
#include "luma/resources.h"
#include "wm.h"

namespace luma::wm {

namespace {

constexpr DWORD kDialogClassAtom = 32770;

struct ParsedItem {
    std::string className;  // empty with classAtom set
    WORD classAtom = 0;
    std::string text;
    bool textIsId = false;
    WORD textId = 0;
    LONG_PTR id = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    const void* data = nullptr;
};

struct ParsedTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    std::string className;  // empty: the dialog class
    WORD classAtom = 0;
    std::string menu;
    WORD menuId = 0;
    std::string faceName;
    int pointSize = 0;
    std::vector<ParsedItem> items;
};

ParsedTemplate FromResource(const luma::DialogTemplate& t) {
    ParsedTemplate p;
    p.style = t.style;
    p.exStyle = t.exStyle;
    p.x = t.x;
    p.y = t.y;
    p.cx = t.cx;
    p.cy = t.cy;
    p.caption = t.caption ? t.caption : "";
    if (t.className) p.className = t.className;
    if (t.fontName) {
        p.style |= DS_SETFONT;
        p.faceName = t.fontName;
        p.pointSize = t.pointSize;
    } else {
        p.style &= ~DS_SETFONT;
    }
    for (size_t i = 0; i < t.itemCount; ++i) {
        const luma::DialogItemTemplate& it = t.items[i];
        ParsedItem item;
        item.className = it.className ? it.className : "";
        item.text = it.text ? it.text : "";
        item.id = it.id;
        item.x = it.x;
        item.y = it.y;
        item.cx = it.cx;
        item.cy = it.cy;
        item.style = it.style;
        item.exStyle = it.exStyle;
        p.items.push_back(std::move(item));
    }
    return p;
}

// ---- Windows' binary templates (UTF-16 strings, WORD aligned) ----------

WORD ReadWord(const BYTE*& p) {
    WORD v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

DWORD ReadDword(const BYTE*& p) {
    DWORD v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

std::string ReadWide(const BYTE*& p) {
    std::string out;
    for (;;) {
        WORD c = ReadWord(p);
        if (!c) break;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A name that is either 0 (none), 0xFFFF and an ordinal, or a string.
void ReadNameOrId(const BYTE*& p, std::string& name, WORD& id) {
    WORD first;
    std::memcpy(&first, p, sizeof first);
    if (first == 0) {
        p += 2;
    } else if (first == 0xFFFF) {
        p += 2;
        id = ReadWord(p);
    } else {
        name = ReadWide(p);
    }
}

const BYTE* AlignDword(const BYTE* base, const BYTE* p) {
    size_t offset = static_cast<size_t>(p - base);
    return base + ((offset + 3) & ~size_t{3});
}

ParsedTemplate FromBinary(const void* data) {
    const BYTE* base = static_cast<const BYTE*>(data);
    const BYTE* p = base;
    ParsedTemplate t;
    WORD version = ReadWord(p);
    WORD signature = ReadWord(p);
    bool extended = version == 1 && signature == 0xFFFF;
    if (extended) {
        ReadDword(p);  // help id
        t.exStyle = ReadDword(p);
        t.style = ReadDword(p);
    } else {
        p = base;
        t.style = ReadDword(p);
        t.exStyle = ReadDword(p);
    }
    WORD count = ReadWord(p);
    t.x = static_cast<short>(ReadWord(p));
    t.y = static_cast<short>(ReadWord(p));
    t.cx = static_cast<short>(ReadWord(p));
    t.cy = static_cast<short>(ReadWord(p));
    ReadNameOrId(p, t.menu, t.menuId);
    ReadNameOrId(p, t.className, t.classAtom);
    t.caption = ReadWide(p);
    if (t.style & DS_SETFONT) {
        t.pointSize = ReadWord(p);
        if (t.pointSize != 0x7FFF) {
            if (extended) {
                ReadWord(p);  // weight
                ReadWord(p);  // italic, charset
            }
            t.faceName = ReadWide(p);
        } else {
            t.faceName = "MS Shell Dlg";
            t.pointSize = 8;
        }
    }
    for (WORD i = 0; i < count; ++i) {
        p = AlignDword(base, p);
        ParsedItem item;
        if (extended) {
            ReadDword(p);  // help id
            item.exStyle = ReadDword(p);
            item.style = ReadDword(p);
        } else {
            item.style = ReadDword(p);
            item.exStyle = ReadDword(p);
        }
        item.x = static_cast<short>(ReadWord(p));
        item.y = static_cast<short>(ReadWord(p));
        item.cx = static_cast<short>(ReadWord(p));
        item.cy = static_cast<short>(ReadWord(p));
        item.id = extended ? static_cast<LONG_PTR>(static_cast<LONG>(ReadDword(p))) : ReadWord(p);
        WORD classWord;
        std::memcpy(&classWord, p, sizeof classWord);
        if (classWord == 0xFFFF) {
            p += 2;
            static const char* const kBuiltIn[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
            WORD atom = ReadWord(p);
            if (atom >= 0x80 && atom <= 0x85) atom -= 0x80;
            if (atom <= 5) item.className = kBuiltIn[atom];
        } else {
            item.className = ReadWide(p);
        }
        std::string text;
        WORD textId = 0;
        WORD textWord;
        std::memcpy(&textWord, p, sizeof textWord);
        if (textWord == 0xFFFF) {
            p += 2;
            textId = ReadWord(p);
            item.textIsId = true;
            item.textId = textId;
        } else {
            item.text = ReadWide(p);
        }
        WORD extraBytes = ReadWord(p);
        if (extraBytes) {
            item.data = p - 2;
            p += extraBytes;
        }
        t.items.push_back(std::move(item));
    }
    return t;
}

// ---- Creation --------------------------------------------------------------

void SetDialogProc(HWND hwnd, DLGPROC proc) {
    SetWindowLongPtrA(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
}

DLGPROC DialogProcOf(HWND hwnd) { return reinterpret_cast<DLGPROC>(GetWindowLongPtrA(hwnd, DWLP_DLGPROC)); }

DialogInfo* EnsureDialogInfo(HWND hwnd) {
    Window* w = Lookup(hwnd);
    if (!w) return nullptr;
    if (!w->dialog) w->dialog = std::make_unique<DialogInfo>();
    return w->dialog.get();
}

bool CreateControls(HWND dialog, const ParsedTemplate& t, HINSTANCE instance, DialogInfo* info) {
    HWND defaultButton = nullptr;
    for (const ParsedItem& item : t.items) {
        DWORD style = (item.style & ~WS_POPUP) | WS_CHILD;
        DWORD exStyle = item.exStyle;
        if (style & WS_BORDER) {
            style &= ~WS_BORDER;
            exStyle |= WS_EX_CLIENTEDGE;
        }
        std::string idText;
        const char* text = item.text.c_str();
        if (item.textIsId) {
            // A numeric caption (an icon or bitmap of the module) travels as "\xFF" and the ordinal.
            idText = std::string("\xFF") + static_cast<char>(item.textId & 0xFF) + static_cast<char>(item.textId >> 8);
            text = idText.c_str();
        }
        HWND control = CreateWindowExA(exStyle | WS_EX_NOPARENTNOTIFY, item.className.c_str(), text, style,
                                       MulDivDialog(item.x, info->baseX, 4), MulDivDialog(item.y, info->baseY, 8),
                                       MulDivDialog(item.cx, info->baseX, 4), MulDivDialog(item.cy, info->baseY, 8),
                                       dialog, reinterpret_cast<HMENU>(item.id), instance,
                                       const_cast<void*>(item.data));
        if (!IsWindow(dialog)) return false;
        if (!control) {
            if (t.style & DS_NOFAILCREATE) continue;
            return false;
        }
        if (info->font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(info->font), 0);
        if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) {
            // One default push button per dialog: the last one wins.
            if (defaultButton) SendMessageA(defaultButton, BM_SETSTYLE, BS_PUSHBUTTON, FALSE);
            defaultButton = control;
            info->result = GetWindowLongPtrA(control, GWLP_ID);
        }
    }
    return true;
}

HWND CreateFromTemplate(HINSTANCE instance, const ParsedTemplate& source, HWND owner, DLGPROC proc, LPARAM param,
                        bool modal, HWND* modalOwner) {
    ParsedTemplate t = source;
    int baseX = LOWORD(GetDialogBaseUnits());
    int baseY = HIWORD(GetDialogBaseUnits());
    HFONT font = nullptr;
    if (t.style & DS_SETFONT) {
        font = CreateDialogFont(t.faceName.c_str(), t.pointSize);
        SIZE units = DialogBaseUnits(t.faceName.c_str(), t.pointSize, font);
        baseX = units.cx;
        baseY = units.cy;
    }
    RECT rect{0, 0, MulDivDialog(t.cx, baseX, 4), MulDivDialog(t.cy, baseY, 8)};
    if (t.style & DS_CONTROL) t.style &= ~(WS_CAPTION | WS_SYSMENU);
    t.style |= DS_3DLOOK;
    if (t.style & DS_MODALFRAME) t.exStyle |= WS_EX_DLGMODALFRAME;
    if ((t.style & DS_CONTROL) || !(t.style & WS_CHILD)) t.exStyle |= WS_EX_CONTROLPARENT;
    AdjustWindowRectEx(&rect, t.style, FALSE, t.exStyle);
    POINT pos{rect.left, rect.top};
    SIZE size{rect.right - rect.left, rect.bottom - rect.top};
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (t.style & DS_CENTER) {
        pos.x = (work.left + work.right - size.cx) / 2;
        pos.y = (work.top + work.bottom - size.cy) / 2;
    } else if (t.style & DS_CENTERMOUSE) {
        GetCursorPos(&pos);
    } else {
        pos.x += MulDivDialog(t.x, baseX, 4);
        pos.y += MulDivDialog(t.y, baseY, 8);
        if (!(t.style & (WS_CHILD | DS_ABSALIGN)) && owner) ClientToScreen(owner, &pos);
    }
    if (!(t.style & WS_CHILD)) {
        // Keep a top-level dialog on the screen.
        int dx = pos.x + size.cx + GetSystemMetrics(SM_CXDLGFRAME) - work.right;
        int dy = pos.y + size.cy + GetSystemMetrics(SM_CYDLGFRAME) - work.bottom;
        if (dx > 0) pos.x -= dx;
        if (dy > 0) pos.y -= dy;
        if (pos.x < work.left) pos.x = work.left;
        if (pos.y < work.top) pos.y = work.top;
    }

    HWND disabledOwner = nullptr;
    if (modal && owner) {
        // The owner of a modal dialog is the top-level window that holds it.
        while ((GetWindowLongA(owner, GWL_STYLE) & (WS_POPUP | WS_CHILD)) == WS_CHILD) {
            HWND parent = GetParent(owner);
            if (!parent) break;
            owner = parent;
        }
        *modalOwner = owner;
        if (IsWindowEnabled(owner)) {
            disabledOwner = owner;
            EnableWindow(owner, FALSE);
        }
    }

    LPCSTR className = t.className.empty() ? (t.classAtom ? MAKEINTATOM(t.classAtom) : MAKEINTATOM(kDialogClassAtom))
                                           : t.className.c_str();
    HMENU menu = nullptr;
    HWND hwnd = CreateWindowExA(t.exStyle, className, t.caption.c_str(), t.style & ~WS_VISIBLE, pos.x, pos.y, size.cx,
                                size.cy, owner, menu, instance, nullptr);
    if (!hwnd) {
        if (font) DeleteObjectFont(font);
        if (disabledOwner) EnableWindow(disabledOwner, TRUE);
        return nullptr;
    }
    DialogInfo* info = EnsureDialogInfo(hwnd);
    info->font = font;
    info->ownsFont = font != nullptr;
    info->baseX = baseX;
    info->baseY = baseY;
    info->modal = modal;
    info->disabledOwner = disabledOwner;
    SetDialogProc(hwnd, proc);
    if (proc && font) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);

    if (IsWindow(hwnd) && CreateControls(hwnd, t, instance, info)) {
        if (proc) {
            HWND focus = GetNextDlgTabItem(hwnd, nullptr, FALSE);
            if (!focus) focus = GetNextDlgGroupItem(hwnd, nullptr, FALSE);
            if (SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && IsWindow(hwnd) &&
                ((~t.style & DS_CONTROL) || (t.style & WS_VISIBLE))) {
                // TRUE asks for the default focus: the first tab stop, found again.
                focus = GetNextDlgTabItem(hwnd, nullptr, FALSE);
                if (!focus) focus = GetNextDlgGroupItem(hwnd, nullptr, FALSE);
                if (focus) {
                    if (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                        SendMessageA(focus, EM_SETSEL, 0, INT_MAX);
                    SetFocus(focus);
                } else if (!(t.style & WS_CHILD)) {
                    SetFocus(hwnd);
                }
            }
        }
        if (!IsWindow(hwnd)) return nullptr;
        if (modal) {
            if (HWND capture = GetCapture()) SendMessageA(capture, WM_CANCELMODE, 0, 0);
        }
        if ((t.style & WS_VISIBLE) && !(GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE)) ShowWindow(hwnd, SW_SHOWNORMAL);
        return hwnd;
    }
    if (disabledOwner) EnableWindow(disabledOwner, TRUE);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    return nullptr;
}

INT_PTR RunModal(HWND hwnd, HWND owner) {
    DialogInfo* info = DialogOf(hwnd);
    if (!info) return -1;
    auto done = [hwnd] {
        DialogInfo* d = DialogOf(hwnd);
        return !d || d->ended;
    };
    auto show = [hwnd] {
        if (IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);
    };
    bool first = true;
    while (!done()) {
        bool more = ModalLoop(hwnd, done, first ? std::function<void()>(show) : std::function<void()>());
        first = false;
        if (!IsWindow(hwnd)) break;
        if (more) break;  // WM_QUIT or done
        // No input can come: end the dialog as its Cancel button would.
        luma::headless::NoteInputExhausted(hwnd);
        SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
        if (IsWindow(hwnd) && !done()) EndDialog(hwnd, IDCANCEL);
    }
    if (!IsWindow(hwnd)) {
        // Destroyed without EndDialog: its owner is not left disabled.
        if (owner && IsWindow(owner) && !IsWindowEnabled(owner)) EnableWindow(owner, TRUE);
        return 0;
    }
    info = DialogOf(hwnd);
    INT_PTR result = info && info->ended ? info->result : 0;
    if (info && !info->ended && info->disabledOwner) EnableWindow(info->disabledOwner, TRUE);
    DestroyWindow(hwnd);
    return result;
}

HWND FindDefaultButton(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (SendMessageA(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return child;
        if (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
            LONG style = GetWindowLongA(child, GWL_STYLE);
            if ((style & WS_VISIBLE) && !(style & WS_DISABLED))
                if (HWND inner = FindDefaultButton(child)) return inner;
        }
    }
    return nullptr;
}

void SetDefaultId(HWND dialog, DialogInfo* info, WPARAM id) {
    HWND newButton = GetDlgItem(dialog, static_cast<int>(id));
    INT_PTR oldId = info->result;
    info->result = static_cast<INT_PTR>(id);
    LRESULT code = 0;
    if (newButton && !((code = SendMessageA(newButton, WM_GETDLGCODE, 0, 0)) & (DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON)))
        return;
    HWND oldButton = GetDlgItem(dialog, static_cast<int>(oldId));
    if (!oldButton || !(SendMessageA(oldButton, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
        oldButton = FindDefaultButton(dialog);
    if (oldButton && oldButton != newButton) SendMessageA(oldButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (newButton && (code & DLGC_UNDEFPUSHBUTTON)) SendMessageA(newButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void SetDefaultButton(HWND dialog, DialogInfo* info, HWND newButton) {
    HWND oldButton = GetDlgItem(dialog, static_cast<int>(info->result));
    LRESULT code = 0;
    if (newButton &&
        !((code = SendMessageA(newButton, WM_GETDLGCODE, 0, 0)) & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON))) {
        // Focus on a control that is no push button: the dialog's default keeps its look.
        newButton = oldButton;
        code = newButton ? SendMessageA(newButton, WM_GETDLGCODE, 0, 0) : 0;
    }
    if (!oldButton || !(SendMessageA(oldButton, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
        oldButton = FindDefaultButton(dialog);
    if (oldButton && oldButton != newButton) SendMessageA(oldButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (newButton && (code & DLGC_UNDEFPUSHBUTTON)) SendMessageA(newButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void FocusControl(HWND control) {
    if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
    SetFocus(control);
}

void SaveFocus(HWND dialog) {
    HWND focus = GetFocus();
    if (!focus || !IsChild(dialog, focus)) return;
    if (DialogInfo* info = DialogOf(dialog)) info->savedFocus = focus;
}

void RestoreFocus(HWND dialog, bool justActivate) {
    DialogInfo* info = DialogOf(dialog);
    if (!info || IsIconic(dialog) || info->ended) return;
    if (!IsWindow(info->savedFocus) || info->savedFocus == dialog) {
        if (justActivate) return;
        info->savedFocus = GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (!info->savedFocus) info->savedFocus = GetNextDlgGroupItem(dialog, nullptr, FALSE);
        if (!IsWindow(info->savedFocus)) return;
    }
    HWND focus = info->savedFocus;
    info->savedFocus = nullptr;
    if (justActivate)
        SetFocus(focus);
    else
        FocusControl(focus);
}

LRESULT DefaultDialogHandling(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DialogInfo* info) {
    switch (msg) {
    case WM_ERASEBKGND: {
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
        if (!brush)
            brush = reinterpret_cast<HBRUSH>(DefWindowProcA(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
        if (brush) FillDialogBackground(hwnd, reinterpret_cast<HDC>(wParam), brush);
        return 1;
    }
    case WM_NCDESTROY:
        if (info && info->ownsFont && info->font) {
            DeleteObjectFont(info->font);
            info->font = nullptr;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_SHOWWINDOW:
        if (!wParam) SaveFocus(hwnd);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_ACTIVATE:
        if (wParam)
            RestoreFocus(hwnd, true);
        else
            SaveFocus(hwnd);
        return 0;
    case WM_SETFOCUS: RestoreFocus(hwnd, false); return 0;
    case DM_SETDEFID:
        if (info && !info->ended) SetDefaultId(hwnd, info, wParam);
        return 1;
    case DM_GETDEFID:
        if (info && !info->ended) {
            if (info->result) return MAKELONG(info->result, DC_HASDEFID);
            if (HWND button = FindDefaultButton(hwnd)) return MAKELONG(GetDlgCtrlID(button), DC_HASDEFID);
        }
        return 0;
    case WM_NEXTDLGCTL:
        if (info) {
            HWND dest = reinterpret_cast<HWND>(wParam);
            if (!lParam) dest = GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0);
            if (dest) FocusControl(dest);
            if ((info = DialogOf(hwnd))) SetDefaultButton(hwnd, info, dest);
        }
        return 0;
    case WM_ENTERMENULOOP:
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN: {
        // A click on the dialog closes an open drop-down list.
        HWND focus = GetFocus();
        if (focus && !SendMessageA(focus, CB_SHOWDROPDOWN, FALSE, 0))
            SendMessageA(GetParent(focus), CB_SHOWDROPDOWN, FALSE, 0);
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_GETFONT: return info ? reinterpret_cast<LRESULT>(info->font) : 0;
    case WM_CLOSE:
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
        return 0;
    default: return 0;
    }
}

HWND IdToHwnd(HWND dialog, int id) {
    for (HWND child : ChildrenOf(dialog)) {
        if (GetWindowLongPtrA(child, GWLP_ID) == id) return child;
        if (HWND inner = IdToHwnd(child, id)) return inner;
    }
    return nullptr;
}

bool IsAccelerator(HWND hwnd, HWND dialog, WPARAM key) {
    HWND control = hwnd;
    do {
        LONG style = GetWindowLongA(control, GWL_STYLE);
        HWND next = nullptr;
        if ((style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE) {
            LRESULT code = SendMessageA(control, WM_GETDLGCODE, 0, 0);
            char text[128];
            if ((code & (DLGC_BUTTON | DLGC_STATIC)) && GetWindowTextA(control, text, sizeof text)) {
                const char* p = text;
                const char* mark = nullptr;
                while ((p = std::strchr(p, '&'))) {
                    if (p[1] == '&') {
                        p += 2;
                        continue;
                    }
                    mark = p;
                    break;
                }
                if (mark && mark[1] &&
                    std::toupper(static_cast<unsigned char>(mark[1])) == std::toupper(static_cast<int>(key & 0xFF))) {
                    if ((code & DLGC_STATIC) || (style & BS_TYPEMASK) == BS_GROUPBOX) {
                        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), 1);
                        SendMessageA(dialog, WM_NEXTDLGCTL, 0, 0);
                    } else if (code & DLGC_BUTTON) {
                        SendMessageA(control, BM_CLICK, 0, 0);
                    }
                    return true;
                }
            }
            next = GetWindow(control, GW_CHILD);
        }
        if (!next) next = GetWindow(control, GW_HWNDNEXT);
        while (!next && control) {
            control = GetParent(control);
            if (control == dialog) {
                if (hwnd == dialog) {
                    next = hwnd;
                    break;
                }
                next = GetWindow(dialog, GW_CHILD);
            } else {
                next = control ? GetWindow(control, GW_HWNDNEXT) : nullptr;
            }
        }
        control = next;
    } while (control && control != hwnd);
    return false;
}

HWND NextTabItem(HWND main, HWND dialog, HWND control, bool previous) {
    UINT search = previous ? GW_HWNDPREV : GW_HWNDNEXT;
    HWND first = nullptr;
    if (!control) {
        first = GetWindow(dialog, GW_CHILD);
        if (previous && first) first = GetWindow(first, GW_HWNDLAST);
    } else if (IsChild(main, control)) {
        first = GetWindow(control, search);
        if (!first) {
            if (GetParent(control) != main)
                first = GetWindow(GetParent(control), search);
            else
                first = GetWindow(control, previous ? GW_HWNDLAST : GW_HWNDFIRST);
        }
    }
    while (first) {
        LONG style = GetWindowLongA(first, GWL_STYLE);
        LONG exStyle = GetWindowLongA(first, GWL_EXSTYLE);
        if ((exStyle & WS_EX_CONTROLPARENT) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
            if (HWND inner = NextTabItem(main, first, nullptr, previous)) return inner;
        } else if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) {
            return first;
        }
        first = GetWindow(first, search);
    }
    HWND found = nullptr;
    if (control) {
        HWND parent = GetParent(control);
        while (parent && parent != main) {
            found = NextTabItem(main, GetParent(parent), parent, previous);
            if (found) break;
            parent = GetParent(parent);
        }
        if (!found) found = NextTabItem(main, main, nullptr, previous);
    }
    return found ? found : control;
}

int ParseInt(const char* text, bool isSigned, bool* ok) {
    *ok = false;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
    unsigned long long value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 0xFFFFFFFFull) return 0;  // out of range
    }
    if (isSigned) {
        if (negative ? value > 0x80000000ull : value > 0x7FFFFFFFull) return 0;
        *ok = true;
        return negative ? static_cast<int>(-static_cast<long long>(value)) : static_cast<int>(value);
    }
    *ok = true;
    // As the C library's strtoul does on 32 bits: a minus sign negates modulo 2^32.
    UINT v = static_cast<UINT>(value);
    return static_cast<int>(negative ? 0u - v : v);
}

}  // namespace

int MulDivDialog(int value, int base, int divisor) {
    long long r = static_cast<long long>(value) * base;
    // MulDiv rounds half away from zero.
    long long q = r >= 0 ? (r + divisor / 2) / divisor : -((-r + divisor / 2) / divisor);
    return static_cast<int>(q);
}

DialogInfo* DialogOf(HWND hwnd) {
    Window* w = Lookup(hwnd);
    return w ? w->dialog.get() : nullptr;
}

SIZE DialogBaseUnits(const char* faceName, int pointSize, HFONT font) {
    // The classic dialog fonts at 96 dots per inch, as Windows measures them.
    static const char* const kEightPointSixByThirteen[] = {"MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2",
                                                           "Microsoft Sans Serif", "Tahoma"};
    if (faceName && pointSize == 8) {
        for (const char* known : kEightPointSixByThirteen)
            if (strcasecmp(faceName, known) == 0) return SIZE{6, 13};
    }
    SIZE measured{0, 0};
    if (font && MeasureDialogFont(font, &measured)) return measured;
    // Scaled from the 8-point units when the font cannot be measured.
    return SIZE{std::max(1, MulDivDialog(pointSize, 6, 8)), std::max(1, MulDivDialog(pointSize, 13, 8))};
}

}  // namespace luma::wm

using namespace luma::wm;

namespace {

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

namespace luma::wm {

void RegisterDialogClass() {
    RegisterSystemClass("#32770", static_cast<ATOM>(kDialogClassAtom), CS_SAVEBITS | CS_DBLCLKS, DialogWindowProc,
                        DLGWINDOWEXTRA, LoadCursorA(nullptr, IDC_ARROW), nullptr);
}

}  // namespace luma::wm

extern "C" {

LRESULT WINAPI DefDlgProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DialogInfo* info = EnsureDialogInfo(hwnd);
    if (!info) return 0;
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 0);
    LRESULT result = 0;
    if (DLGPROC proc = DialogProcOf(hwnd)) result = CallProc(reinterpret_cast<WNDPROC>(proc), hwnd, msg, wParam, lParam);
    if (!result && IsWindow(hwnd)) {
        switch (msg) {
        case WM_ERASEBKGND:
        case WM_SHOWWINDOW:
        case WM_ACTIVATE:
        case WM_SETFOCUS:
        case DM_SETDEFID:
        case DM_GETDEFID:
        case WM_NEXTDLGCTL:
        case WM_GETFONT:
        case WM_CLOSE:
        case WM_NCDESTROY:
        case WM_ENTERMENULOOP:
        case WM_LBUTTONDOWN:
        case WM_NCLBUTTONDOWN: return DefaultDialogHandling(hwnd, msg, wParam, lParam, DialogOf(hwnd));
        case WM_INITDIALOG:
        case WM_VKEYTOITEM:
        case WM_COMPAREITEM:
        case WM_CHARTOITEM: break;
        default: return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    }
    if ((msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM || msg == WM_VKEYTOITEM ||
        msg == WM_CHARTOITEM || msg == WM_INITDIALOG)
        return result;
    return IsWindow(hwnd) ? GetWindowLongPtrA(hwnd, DWLP_MSGRESULT) : 0;
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    const luma::DialogTemplate* t = FindDialogTemplate(instance, name);
    if (!t) return nullptr;
    return CreateFromTemplate(instance, FromResource(*t), owner, proc, param, false, nullptr);
}

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialog, HWND owner, DLGPROC proc,
                                       LPARAM param) {
    if (!dialog) return nullptr;
    return CreateFromTemplate(instance, FromBinary(dialog), owner, proc, param, false, nullptr);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    if (owner && !IsWindow(owner)) return 0;
    const luma::DialogTemplate* t = FindDialogTemplate(instance, name);
    if (!t) return -1;
    HWND modalOwner = owner;
    HWND hwnd = CreateFromTemplate(instance, FromResource(*t), owner, proc, param, true, &modalOwner);
    if (!hwnd) return -1;
    return RunModal(hwnd, modalOwner);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA dialog, HWND owner, DLGPROC proc,
                                       LPARAM param) {
    if (owner && !IsWindow(owner)) return 0;
    if (!dialog) return -1;
    HWND modalOwner = owner;
    HWND hwnd = CreateFromTemplate(instance, FromBinary(dialog), owner, proc, param, true, &modalOwner);
    if (!hwnd) return -1;
    return RunModal(hwnd, modalOwner);
}

BOOL WINAPI EndDialog(HWND hwnd, INT_PTR result) {
    DialogInfo* info = DialogOf(hwnd);
    if (!info) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    info->result = result;
    info->ended = true;
    HWND owner = reinterpret_cast<HWND>(GetWindowLongPtrA(hwnd, GWLP_HWNDPARENT));
    if (owner && !(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) EnableWindow(owner, TRUE);
    // Windows gives the focus to the dialog itself, then hides it.
    if (IsChild(hwnd, GetFocus())) SetFocus(hwnd);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    if (hwnd == GetActiveWindow()) {
        if (owner && !(GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD))
            SetForegroundWindow(owner);
        else
            ActivateOtherWindow(hwnd);
    }
    PostMessageA(hwnd, WM_NULL, 0, 0);
    return TRUE;
}

BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (!IsWindow(dialog) || !msg) return FALSE;
    if (dialog != msg->hwnd && !IsChild(dialog, msg->hwnd)) return FALSE;
    // A child dialog (DS_CONTROL) passes the keys on to the dialog that holds it.
    while (GetWindowLongA(dialog, GWL_STYLE) & DS_CONTROL) {
        HWND parent = GetParent(dialog);
        if (!parent || !DialogOf(parent)) break;
        dialog = parent;
    }
    LRESULT code;
    switch (msg->message) {
    case WM_KEYDOWN:
        code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (code & DLGC_WANTMESSAGE) break;
        switch (msg->wParam) {
        case VK_TAB:
            if (!(code & DLGC_WANTTAB)) {
                SendMessageA(dialog, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0, 0);
                return TRUE;
            }
            break;
        case VK_RIGHT:
        case VK_DOWN:
        case VK_LEFT:
        case VK_UP:
            if (!(code & DLGC_WANTARROWS)) {
                bool previous = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
                HWND next = GetNextDlgGroupItem(dialog, msg->hwnd, previous);
                if (next && SendMessageA(next, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) ==
                                (DLGC_BUTTON | DLGC_RADIOBUTTON)) {
                    SetFocus(next);
                    if ((GetWindowLongA(next, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
                        SendMessageA(next, BM_GETCHECK, 0, 0) != BST_CHECKED)
                        SendMessageA(next, BM_CLICK, 1, 0);
                } else {
                    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), 1);
                }
                return TRUE;
            }
            break;
        case VK_CANCEL:
        case VK_ESCAPE:
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            return TRUE;
        case VK_EXECUTE:
        case VK_RETURN: {
            HWND focus = GetFocus();
            LRESULT def;
            if (IsChild(dialog, focus) && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                             reinterpret_cast<LPARAM>(focus));
            } else if (HIWORD(def = SendMessageA(dialog, DM_GETDEFID, 0, 0)) == DC_HASDEFID) {
                HWND button = IdToHwnd(dialog, LOWORD(def));
                if (!button || IsWindowEnabled(button))
                    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(LOWORD(def), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
            } else {
                SendMessageA(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
            }
            return TRUE;
        }
        default: break;
        }
        break;
    case WM_CHAR:
        code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)) break;
        if (msg->wParam == '\t' && (code & DLGC_WANTTAB)) break;
        [[fallthrough]];
    case WM_SYSCHAR:
        if (IsAccelerator(msg->hwnd, dialog, msg->wParam)) return TRUE;
        break;
    default: break;
    }
    TranslateMessage(msg);
    DispatchMessageA(msg);
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    DialogInfo* info = DialogOf(dialog);
    if (!info || !rect) return FALSE;
    rect->left = MulDivDialog(rect->left, info->baseX, 4);
    rect->right = MulDivDialog(rect->right, info->baseX, 4);
    rect->top = MulDivDialog(rect->top, info->baseY, 8);
    rect->bottom = MulDivDialog(rect->bottom, info->baseY, 8);
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) { return MAKELONG(8, 16); }

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    // Called for every field of pages with hundreds of controls: the child
    // list is walked in place, not copied.
    if (Window* w = dialog ? Lookup(dialog) : Desktop()) {
        for (Window* child : w->children)
            if (!child->destroyed && child->id == id) return child->handle;
    }
    if (!Lookup(dialog)) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) { return static_cast<int>(GetWindowLongPtrA(hwnd, GWLP_ID)); }

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    if (dialog == control) control = nullptr;
    if (!control && previous) return nullptr;
    return NextTabItem(dialog, dialog, control, previous != FALSE);
}

HWND WINAPI GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    if (dialog == control) control = nullptr;
    if (!control && previous) return nullptr;
    if (control) {
        if (!IsChild(dialog, control)) return nullptr;
    } else {
        control = GetWindow(dialog, GW_CHILD);
        if (!control) return nullptr;
        if ((GetWindowLongA(control, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE) return control;
    }
    HWND result = control, hwnd = control, lastGroup = nullptr;
    bool looped = false, skipping = false;
    for (;;) {
        HWND next = GetWindow(hwnd, GW_HWNDNEXT);
        while (!next) {
            if (dialog == GetParent(hwnd)) {
                if (looped) return result;
                looped = true;
                next = GetWindow(dialog, GW_CHILD);
            } else {
                hwnd = GetParent(hwnd);
                next = GetWindow(hwnd, GW_HWNDNEXT);
            }
        }
        hwnd = next;
        while ((GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
               (GetWindowLongA(hwnd, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE &&
               (next = GetWindow(hwnd, GW_CHILD)))
            hwnd = next;
        if (GetWindowLongA(hwnd, GWL_STYLE) & WS_GROUP) {
            lastGroup = hwnd;
            if (!skipping) skipping = true;
        }
        if (hwnd == control) {
            if (!skipping) break;
            if (lastGroup == hwnd) break;
            hwnd = lastGroup;
            skipping = false;
            looped = false;
        }
        if (!skipping && (GetWindowLongA(hwnd, GWL_STYLE) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE) {
            result = hwnd;
            if (!previous) break;
        }
    }
    return result;
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(dialog, id);
    return control ? SendMessageA(control, msg, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    return SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size) {
    if (text && size > 0) text[0] = '\0';
    return static_cast<UINT>(SendDlgItemMessageA(dialog, id, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[20];
    if (isSigned)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    else
        std::snprintf(text, sizeof text, "%u", value);
    SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return TRUE;
}

UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    char text[30];
    if (!SendDlgItemMessageA(dialog, id, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text))) return 0;
    bool ok;
    int value = ParseInt(text, isSigned != FALSE, &ok);
    if (!ok) return 0;
    if (translated) *translated = TRUE;
    return static_cast<UINT>(value);
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
    SendDlgItemMessageA(dialog, id, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int check) {
    for (HWND child : ChildrenOf(dialog)) {
        LONG_PTR id = GetWindowLongPtrA(child, GWLP_ID);
        if (id >= first && id <= last)
            SendMessageA(child, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}

}  // extern "C"
