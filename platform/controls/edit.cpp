// EDIT: text with a selection, typing, deleting and moving the caret with
// the keyboard and mouse, and EN_UPDATE/EN_CHANGE after every change,
// WM_SETTEXT included as Windows sends them for single-line fields.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <string>

#include "controls/controls.h"
#include "controls/edit_state.h"
#include "wm.h"

namespace luma::controls {
namespace {

constexpr size_t kDefaultLimit = 32767;
constexpr size_t kMaxLimitSingle = 0x7FFFFFFE;

EditState* StateOf(HWND hwnd) { return wm::StateOf<EditState>(hwnd); }

bool Multiline(HWND hwnd) { return GetWindowLongA(hwnd, GWL_STYLE) & ES_MULTILINE; }

void Notify(HWND hwnd, UINT code) { wm::NotifyParent(hwnd, code); }

size_t SelLow(const EditState* s) { return std::min(s->selStart, s->selEnd); }
size_t SelHigh(const EditState* s) { return std::max(s->selStart, s->selEnd); }

// Replaces the selection with text; false when nothing changed.
bool ReplaceSelection(HWND hwnd, EditState* s, std::string text, bool canUndo, bool honourLimit) {
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if (style & ES_UPPERCASE)
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (style & ES_LOWERCASE)
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!(style & ES_MULTILINE)) {
        // A single line ends at the first line break.
        size_t brk = text.find_first_of("\r\n");
        if (brk != std::string::npos) text.erase(brk);
    }
    size_t low = SelLow(s), high = SelHigh(s);
    if (honourLimit) {
        size_t room = s->limit - std::min(s->limit, s->text.size() - (high - low));
        if (text.size() > room) {
            text.resize(room);
            Notify(hwnd, EN_MAXTEXT);
            if (!(s = StateOf(hwnd))) return false;
            low = SelLow(s);
            high = SelHigh(s);
        }
    }
    if (honourLimit && !(style & (ES_MULTILINE | ES_AUTOHSCROLL))) {
        // Without horizontal scrolling a single line takes only what fits its width.
        std::string rest = s->text;
        rest.erase(low, high - low);
        size_t wanted = text.size();
        while (!text.empty() && !EditTextFits(hwnd, s, std::string(rest).insert(low, text))) {
            size_t cut = text.size() - 1;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
            text.erase(cut);
        }
        if (text.size() < wanted) {
            Notify(hwnd, EN_MAXTEXT);
            if (!(s = StateOf(hwnd))) return false;
        }
    }
    if (text.empty() && low == high) return false;
    if (canUndo) {
        s->undoText = s->text;
        s->undoSelStart = s->selStart;
        s->undoSelEnd = s->selEnd;
        s->canUndo = true;
    }
    s->text.replace(low, high - low, text);
    s->selStart = s->selEnd = low + text.size();
    s->modified = true;
    return true;
}

void Changed(HWND hwnd) {
    wm::Notify(hwnd, kTextChanged);
    InvalidateRect(hwnd, nullptr, TRUE);
    Notify(hwnd, EN_UPDATE);
    Notify(hwnd, EN_CHANGE);
}

void SetSelection(HWND hwnd, EditState* s, long start, long end) {
    size_t n = s->text.size();
    if (start < 0) {
        // -1 removes the selection and keeps the caret.
        s->selStart = s->selEnd;
    } else {
        size_t a = std::min(static_cast<size_t>(start), n);
        size_t b = end < 0 ? n : std::min(static_cast<size_t>(end), n);
        s->selStart = a;
        s->selEnd = b;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

size_t WordStart(const std::string& text, size_t pos) {
    while (pos > 0 && std::isspace(static_cast<unsigned char>(text[pos - 1]))) --pos;
    while (pos > 0 && !std::isspace(static_cast<unsigned char>(text[pos - 1]))) --pos;
    return pos;
}

size_t WordEnd(const std::string& text, size_t pos) {
    while (pos < text.size() && !std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    return pos;
}

// UTF-8: the caret never stops inside a character.
size_t PrevChar(const std::string& text, size_t pos) {
    if (pos == 0) return 0;
    --pos;
    while (pos > 0 && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) --pos;
    return pos;
}

size_t NextChar(const std::string& text, size_t pos) {
    if (pos >= text.size()) return text.size();
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
    return pos;
}

void MoveCaret(HWND hwnd, EditState* s, size_t to, bool extend) {
    s->selEnd = to;
    if (!extend) s->selStart = to;
    InvalidateRect(hwnd, nullptr, FALSE);
}

LRESULT KeyDown(HWND hwnd, EditState* s, WPARAM key) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool control = GetKeyState(VK_CONTROL) < 0;
    switch (key) {
    case VK_LEFT:
    case VK_UP:
        if (!shift && s->selStart != s->selEnd)
            MoveCaret(hwnd, s, SelLow(s), false);
        else
            MoveCaret(hwnd, s, control ? WordStart(s->text, s->selEnd) : PrevChar(s->text, s->selEnd), shift);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        if (!shift && s->selStart != s->selEnd)
            MoveCaret(hwnd, s, SelHigh(s), false);
        else
            MoveCaret(hwnd, s, control ? WordEnd(s->text, s->selEnd) : NextChar(s->text, s->selEnd), shift);
        break;
    case VK_HOME: MoveCaret(hwnd, s, 0, shift); break;
    case VK_END: MoveCaret(hwnd, s, s->text.size(), shift); break;
    case VK_DELETE: {
        if (GetWindowLongA(hwnd, GWL_STYLE) & ES_READONLY) break;
        if (s->selStart == s->selEnd) {
            if (s->selEnd >= s->text.size()) break;
            s->selEnd = NextChar(s->text, s->selEnd);
        }
        if (ReplaceSelection(hwnd, s, std::string(), true, false)) Changed(hwnd);
        break;
    }
    default: break;
    }
    return 0;
}

LRESULT Char(HWND hwnd, EditState* s, WPARAM wParam) {
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    unsigned char c = static_cast<unsigned char>(wParam);
    if (style & ES_READONLY) return 0;
    if (c == '\b') {
        if (s->selStart == s->selEnd) {
            if (s->selEnd == 0) return 0;
            s->selStart = PrevChar(s->text, s->selEnd);
        }
        if (ReplaceSelection(hwnd, s, std::string(), true, false)) Changed(hwnd);
        return 0;
    }
    if (c == '\r' || c == '\n') {
        if (!(style & ES_MULTILINE)) return 0;
        if (ReplaceSelection(hwnd, s, "\r\n", true, true)) Changed(hwnd);
        return 0;
    }
    if (c == '\t') {
        if (!(style & ES_MULTILINE)) return 0;
    } else if (c < 0x20 || c == 0x7F) {
        return 0;  // control characters (clipboard keys) type nothing
    }
    if ((style & ES_NUMBER) && !(c >= '0' && c <= '9')) {
        MessageBeep(0xFFFFFFFF);
        return 0;
    }
    size_t low = SelLow(s), high = SelHigh(s);
    if (s->text.size() - (high - low) + 1 > s->limit) {
        Notify(hwnd, EN_MAXTEXT);
        return 0;
    }
    if (!(style & (ES_MULTILINE | ES_AUTOHSCROLL))) {
        std::string after = s->text;
        after.replace(low, high - low, std::string(1, static_cast<char>(c)));
        if (!EditTextFits(hwnd, s, after)) {
            Notify(hwnd, EN_MAXTEXT);
            return 0;
        }
    }
    if (ReplaceSelection(hwnd, s, std::string(1, static_cast<char>(c)), true, true)) Changed(hwnd);
    return 0;
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    EditState* s = StateOf(hwnd);
    if (!s) return 0;
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        s->limit = kDefaultLimit;
        s->password = (cs && (cs->style & ES_PASSWORD)) ? '*' : 0;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    case WM_CREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        std::string initial;
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) initial = cs->lpszName;
        s->text.clear();
        s->selStart = s->selEnd = 0;
        ReplaceSelection(hwnd, s, initial, false, false);
        s->selStart = s->selEnd = 0;
        s->modified = false;
        return 0;
    }
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if (Multiline(hwnd)) code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        s->selStart = 0;
        s->selEnd = s->text.size();
        ReplaceSelection(hwnd, s, text ? text : "", false, false);
        if (!(s = StateOf(hwnd))) return TRUE;
        s->modified = false;
        s->selStart = s->selEnd = 0;
        wm::Notify(hwnd, kTextChanged);
        InvalidateRect(hwnd, nullptr, TRUE);
        if (!Multiline(hwnd)) {
            Notify(hwnd, EN_UPDATE);
            Notify(hwnd, EN_CHANGE);
        }
        return TRUE;
    }
    case WM_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        size_t n = std::min(s->text.size(), static_cast<size_t>(wParam) - 1);
        s->text.copy(buffer, n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(s->text.size());
    case WM_CHAR: return Char(hwnd, s, wParam);
    case WM_KEYDOWN: return KeyDown(hwnd, s, wParam);
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd);
        if (!(s = StateOf(hwnd))) return 0;
        size_t at = EditCharFromPoint(hwnd, s, static_cast<SHORT>(LOWORD(lParam)));
        MoveCaret(hwnd, s, at, (wParam & MK_SHIFT) != 0);
        s->tracking = true;
        SetCapture(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (s->tracking && GetCapture() == hwnd)
            MoveCaret(hwnd, s, EditCharFromPoint(hwnd, s, static_cast<SHORT>(LOWORD(lParam))), true);
        return 0;
    case WM_LBUTTONUP:
        if (s->tracking) {
            s->tracking = false;
            if (GetCapture() == hwnd) ReleaseCapture();
        }
        return 0;
    case WM_LBUTTONDBLCLK: {
        size_t at = EditCharFromPoint(hwnd, s, static_cast<SHORT>(LOWORD(lParam)));
        s->selStart = WordStart(s->text, std::min(at + 1, s->text.size()));
        size_t end = at;
        while (end < s->text.size() && !std::isspace(static_cast<unsigned char>(s->text[end]))) ++end;
        s->selEnd = end;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_CAPTURECHANGED: s->tracking = false; return 0;
    case WM_SETFOCUS:
        s->focused = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s->focused = false;
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_ERASEBKGND: return 1;  // painted with the text
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(hwnd, &ps);
        if (dc) PaintEdit(hwnd, dc);
        if (!wParam) EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLEAR:
        if (!(GetWindowLongA(hwnd, GWL_STYLE) & ES_READONLY) && ReplaceSelection(hwnd, s, std::string(), true, false))
            Changed(hwnd);
        return 0;
    case EM_GETSEL: {
        size_t low = SelLow(s), high = SelHigh(s);
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(low);
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(high);
        return MAKELONG(std::min<size_t>(low, 0xFFFF), std::min<size_t>(high, 0xFFFF));
    }
    case EM_SETSEL:
        SetSelection(hwnd, s, static_cast<long>(static_cast<INT>(wParam)), static_cast<long>(static_cast<INT>(lParam)));
        return 0;
    case EM_REPLACESEL: {
        const char* text = reinterpret_cast<const char*>(lParam);
        if (ReplaceSelection(hwnd, s, text ? text : "", wParam != 0, true)) Changed(hwnd);
        return 0;
    }
    case EM_LIMITTEXT:
        s->limit = wParam ? static_cast<size_t>(wParam) : kMaxLimitSingle;
        return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(s->limit);
    case EM_GETMODIFY: return s->modified;
    case EM_SETMODIFY: s->modified = wParam != 0; return 0;
    case EM_SETREADONLY: {
        LONG style = GetWindowLongA(hwnd, GWL_STYLE);
        SetWindowLongA(hwnd, GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~ES_READONLY));
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case EM_CANUNDO: return s->canUndo;
    case WM_UNDO:
    case EM_UNDO: {
        if (!s->canUndo) return FALSE;
        std::swap(s->text, s->undoText);
        std::swap(s->selStart, s->undoSelStart);
        std::swap(s->selEnd, s->undoSelEnd);
        s->modified = true;
        Changed(hwnd);
        return TRUE;
    }
    case EM_EMPTYUNDOBUFFER: s->canUndo = false; return 0;
    case EM_GETLINECOUNT: {
        if (!Multiline(hwnd)) return 1;
        return 1 + static_cast<LRESULT>(std::count(s->text.begin(), s->text.end(), '\n'));
    }
    case EM_LINELENGTH: {
        if (!Multiline(hwnd)) return static_cast<LRESULT>(s->text.size());
        size_t index = static_cast<INT>(wParam) < 0 ? s->selEnd : static_cast<size_t>(wParam);
        index = std::min(index, s->text.size());
        size_t start = s->text.rfind('\n', index ? index - 1 : 0);
        start = (start == std::string::npos || start >= index) ? 0 : start + 1;
        size_t end = s->text.find_first_of("\r\n", index);
        if (end == std::string::npos) end = s->text.size();
        return static_cast<LRESULT>(end - start);
    }
    case EM_GETLINE: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer) return 0;
        WORD size;
        std::memcpy(&size, buffer, sizeof size);
        std::string line = s->text;
        if (Multiline(hwnd)) {
            size_t start = 0;
            for (WPARAM i = 0; i < wParam; ++i) {
                size_t nl = line.find('\n', start);
                if (nl == std::string::npos) return 0;
                start = nl + 1;
            }
            size_t end = line.find_first_of("\r\n", start);
            line = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
        size_t n = std::min<size_t>(line.size(), size);
        line.copy(buffer, n);  // not terminated, as on Windows
        return static_cast<LRESULT>(n);
    }
    case EM_SETPASSWORDCHAR:
        s->password = static_cast<char>(wParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case EM_GETPASSWORDCHAR: return static_cast<unsigned char>(s->password);
    case EM_SCROLLCARET: return 1;
    case EM_GETRECT: {
        RECT* r = reinterpret_cast<RECT*>(lParam);
        if (r) *r = EditTextRect(hwnd);
        return 0;
    }
    default: return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace luma::controls
