// Painting of the standard controls in the classic look with the system
// colours: push buttons, check boxes, radio buttons, group boxes and
// owner-drawn buttons; edit fields; static texts, frames and bitmaps;
// drop-down lists; up-down arrows. Each asks its parent for its colours
// with WM_CTLCOLOR* first, as Windows' controls do.
#include <commctrl.h>
#include <strings.h>

#include <algorithm>
#include <string>

#include "controls/button_state.h"
#include "controls/combo_state.h"
#include "controls/controls.h"
#include "controls/edit_state.h"
#include "controls/static_state.h"
#include "controls/updown_state.h"
#include "wm.h"

namespace luma::controls {
namespace {

constexpr int kCheckBoxSize = 13;  // 12 at 96 dots per inch, plus one

HBRUSH ControlColor(HWND hwnd, UINT msg, HDC dc) {
    HWND parent = GetParent(hwnd);
    if (!parent) parent = hwnd;
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    if (!brush)
        brush = reinterpret_cast<HBRUSH>(DefWindowProcA(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    return brush;
}

std::string TextOf(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
    int got = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

// Saves the DC's state and limits drawing to rect; restores on the way out.
class ClipTo {
public:
    ClipTo(HDC dc, const RECT& rect) : dc_(dc), saved_(SaveDC(dc)) {
        IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    }
    ~ClipTo() { RestoreDC(dc_, saved_); }
    ClipTo(const ClipTo&) = delete;
    ClipTo& operator=(const ClipTo&) = delete;

private:
    HDC dc_;
    int saved_;
};

// A label in its enabled look, or embossed (highlight under, shadow over) when disabled.
void DrawLabel(HDC dc, const std::string& text, RECT r, UINT flags, bool enabled, COLORREF color) {
    int mode = SetBkMode(dc, TRANSPARENT);
    if (enabled) {
        COLORREF old = SetTextColor(dc, color);
        DrawTextA(dc, text.c_str(), -1, &r, flags);
        SetTextColor(dc, old);
    } else {
        RECT under = r;
        OffsetRect(&under, 1, 1);
        COLORREF old = SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
        DrawTextA(dc, text.c_str(), -1, &under, flags);
        SetTextColor(dc, GetSysColor(COLOR_3DSHADOW));
        DrawTextA(dc, text.c_str(), -1, &r, flags);
        SetTextColor(dc, old);
    }
    SetBkMode(dc, mode);
}

// Where a label of the given alignment sits inside rect: measured, then
// placed as the button control places it (one pixel in on an edge, to leave
// room for the focus rectangle).
RECT PlaceLabel(HDC dc, const std::string& text, const RECT& rect, UINT flags) {
    RECT r = rect;
    DrawTextA(dc, text.c_str(), -1, &r, (flags & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT);
    int w = r.right - r.left, h = r.bottom - r.top;
    RECT out = r;
    if (flags & DT_CENTER) {
        out.left = rect.left + ((rect.right - rect.left) - w) / 2;
    } else if (flags & DT_RIGHT) {
        out.left = rect.right - 1 - w;
    } else {
        out.left = rect.left + 1;
    }
    if (flags & DT_VCENTER) {
        out.top = rect.top + ((rect.bottom - rect.top) - h) / 2;
    } else if (flags & DT_BOTTOM) {
        out.top = rect.bottom - 1 - h;
    } else {
        out.top = rect.top + 1;
    }
    out.right = out.left + w;
    out.bottom = out.top + h;
    return out;
}

UINT LabelFlags(LONG style, DWORD exStyle) {
    UINT type = static_cast<UINT>(style & BS_TYPEMASK);
    UINT flags = DT_NOCLIP | ((style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE);
    switch (style & BS_CENTER) {
    case BS_LEFT: break;
    case BS_RIGHT: flags |= DT_RIGHT; break;
    case BS_CENTER: flags |= DT_CENTER; break;
    default:
        if (type <= BS_DEFPUSHBUTTON || (style & BS_PUSHLIKE)) flags |= DT_CENTER;
        break;
    }
    if (exStyle & WS_EX_RIGHT) flags = DT_RIGHT | (flags & ~(DT_LEFT | DT_CENTER));
    if (type != BS_GROUPBOX) {
        switch (style & BS_VCENTER) {
        case BS_TOP: break;
        case BS_BOTTOM: flags |= DT_BOTTOM; break;
        default: flags |= DT_VCENTER; break;
        }
    }
    return flags;
}

// A push button's face: raised, sunken while pressed, flat when it is the
// pressed default button.
void PushFrame(HDC dc, const RECT& rect, bool pushed, bool flat) {
    RECT r = rect;
    if (flat) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
        InflateRect(&r, -1, -1);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT | BF_MIDDLE);
}

void CheckMark(HDC dc, const RECT& inner, int color) {
    // Seven bars three pixels tall, as the classic check mark is drawn.
    RECT bar{inner.left, inner.top + 2, 0, 0};
    for (int k = 0; k < 7; ++k) {
        bar.left += 1;
        bar.top = k < 3 ? bar.top + 1 : bar.top - 1;
        bar.bottom = bar.top + 3;
        bar.right = bar.left + 1;
        FillRect(dc, &bar, GetSysColorBrush(color));
    }
}

void CheckBox(HDC dc, const RECT& box, UINT check, bool pushed, bool inactive) {
    int side = std::min(box.right - box.left, box.bottom - box.top);
    RECT r{box.left + (box.right - box.left - side) / 2, box.top + (box.bottom - box.top - side) / 2, 0, 0};
    r.right = r.left + side;
    r.bottom = r.top + side;
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (check == BST_INDETERMINATE && !pushed && !inactive) {
        // A checkered face: highlight and face in turn.
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                SetPixelV(dc, x, y, GetSysColor(((x + y) & 1) ? COLOR_BTNFACE : COLOR_3DHILIGHT));
    } else {
        FillRect(dc, &r, GetSysColorBrush(pushed || inactive ? COLOR_BTNFACE : COLOR_WINDOW));
    }
    if (check != BST_UNCHECKED)
        CheckMark(dc, r, (inactive || check == BST_INDETERMINATE) ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT);
}

void RadioButton(HDC dc, const RECT& box, bool checked, bool pushed, bool inactive) {
    // The classic twelve-pixel radio button: shadow and dark shadow on the
    // upper left, highlight and light on the lower right, the window colour inside.
    static const char* const kShape[12] = {
        "....aaaa....", "..aaccccaa..", ".accwwwwccb.", ".acwwwwwwdb.", "acwwwwwwwwdb", "acwwwwwwwwdb",
        "acwwwwwwwwdb", "acwwwwwwwwdb", ".acwwwwwwdb.", ".addwwwwddb.", "..bbddddbb..", "....bbbb....",
    };
    static const char* const kDot[12] = {
        "", "", "", "", ".....xx.....", "....xxxx....", "....xxxx....", ".....xx.....", "", "", "", "",
    };
    int side = std::min(box.right - box.left, box.bottom - box.top);
    int x0 = box.left + (box.right - box.left - side) / 2;
    int y0 = box.top + (box.bottom - box.top - side) / 2;
    int inside = pushed || inactive ? COLOR_BTNFACE : COLOR_WINDOW;
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            int color = -1;
            switch (kShape[y][x]) {
            case 'a': color = COLOR_3DSHADOW; break;
            case 'b': color = COLOR_3DHILIGHT; break;
            case 'c': color = COLOR_3DDKSHADOW; break;
            case 'd': color = COLOR_3DLIGHT; break;
            case 'w': color = inside; break;
            default: break;
            }
            if (checked && kDot[y][0] && kDot[y][x] == 'x') color = inactive ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT;
            if (color >= 0) SetPixelV(dc, x0 + x, y0 + y, GetSysColor(color));
        }
    }
}

void PaintPushButton(HWND hwnd, HDC dc, UINT action, LONG style, LONG state) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    ControlColor(hwnd, WM_CTLCOLORBTN, dc);
    ClipTo clip(dc, rc);
    bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    bool pushed = state & BST_PUSHED;
    if (isDefault) {
        if (action != ODA_FOCUS) FrameRect(dc, &rc, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&rc, -1, -1);
    }
    if (action != ODA_FOCUS) {
        PushFrame(dc, rc, pushed || (state & (BST_CHECKED | BST_INDETERMINATE)), pushed && isDefault);
        std::string text = TextOf(hwnd);
        if (!text.empty()) {
            UINT flags = LabelFlags(style, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
            RECT label = PlaceLabel(dc, text, rc, flags);
            if (pushed) OffsetRect(&label, 1, 1);
            DrawLabel(dc, text, label, DT_SINGLELINE | DT_NOCLIP | (flags & DT_WORDBREAK), IsWindowEnabled(hwnd),
                      GetSysColor(COLOR_BTNTEXT));
        }
    }
    if (action == ODA_FOCUS || (state & BST_FOCUS)) {
        InflateRect(&rc, -2, -2);
        DrawFocusRect(dc, &rc);
    }
}

void PaintCheckButton(HWND hwnd, HDC dc, UINT action, LONG style, LONG state) {
    RECT client;
    GetClientRect(hwnd, &client);
    RECT box = client, text = client;
    SIZE zero{};
    GetTextExtentPoint32A(dc, "0", 1, &zero);
    int offset = zero.cx / 2;
    HBRUSH brush = ControlColor(hwnd, WM_CTLCOLORSTATIC, dc);
    ClipTo clip(dc, client);
    if ((style & BS_LEFTTEXT) || (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_RIGHT)) {
        text.right -= kCheckBoxSize + offset;
        box.left = box.right - kCheckBoxSize;
    } else {
        text.left += kCheckBoxSize + offset;
        box.right = kCheckBoxSize;
    }
    if (action == ODA_SELECT) FillRect(dc, &box, brush);
    if (action == ODA_DRAWENTIRE) FillRect(dc, &client, brush);
    std::string label = TextOf(hwnd);
    UINT flags = LabelFlags(style, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)));
    RECT labelRect = text;
    bool hasLabel = !label.empty();
    if (hasLabel) {
        labelRect = PlaceLabel(dc, label, text, flags);
        box.top = labelRect.top;
        box.bottom = labelRect.bottom;
    }
    if (action == ODA_DRAWENTIRE || action == ODA_SELECT) {
        int delta = (box.bottom - box.top) - kCheckBoxSize;
        if (style & BS_TOP) {
            if (delta <= 0) box.top -= -delta / 2 + 1;
            box.bottom = box.top + kCheckBoxSize;
        } else if (style & BS_BOTTOM) {
            if (delta <= 0) box.bottom += -delta / 2 + 1;
            box.top = box.bottom - kCheckBoxSize;
        } else if (delta > 0) {
            box.bottom -= delta / 2 + 1;
            box.top = box.bottom - kCheckBoxSize;
        } else if (delta < 0) {
            box.top -= -delta / 2 + 1;
            box.bottom = box.top + kCheckBoxSize;
        }
        UINT type = static_cast<UINT>(style & BS_TYPEMASK);
        bool inactive = style & WS_DISABLED;
        if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
            RadioButton(dc, box, state & BST_CHECKED, state & BST_PUSHED, inactive);
        else
            CheckBox(dc, box, static_cast<UINT>(state & 3), state & BST_PUSHED, inactive);
    }
    if (!hasLabel) return;
    if (action == ODA_DRAWENTIRE)
        DrawLabel(dc, label, labelRect, DT_SINGLELINE | DT_NOCLIP | (flags & DT_WORDBREAK), IsWindowEnabled(hwnd),
                  GetTextColor(dc));
    // A state change redraws only the box: the focus rectangle, drawn by
    // inversion, stays as it is.
    if (action == ODA_FOCUS || (action == ODA_DRAWENTIRE && (state & BST_FOCUS))) {
        RECT focus = labelRect;
        --focus.left;
        ++focus.right;
        IntersectRect(&focus, &focus, &text);
        DrawFocusRect(dc, &focus);
    }
}

void PaintGroupBox(HWND hwnd, HDC dc, LONG style) {
    HBRUSH brush = ControlColor(hwnd, WM_CTLCOLORSTATIC, dc);
    RECT rc;
    GetClientRect(hwnd, &rc);
    RECT frame = rc;
    ClipTo clip(dc, rc);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    frame.top += tm.tmHeight / 2 - 1;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT | ((style & BS_FLAT) ? BF_FLAT : 0));
    std::string text = TextOf(hwnd);
    if (text.empty()) return;
    InflateRect(&rc, -7, 1);
    UINT flags = LabelFlags(style, static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE))) | DT_SINGLELINE;
    RECT label = PlaceLabel(dc, text, rc, flags);
    RECT behind{label.left - 1, label.top, label.right + 1, label.bottom + 1};
    FillRect(dc, &behind, brush);
    DrawLabel(dc, text, label, DT_SINGLELINE | DT_NOCLIP, IsWindowEnabled(hwnd), GetTextColor(dc));
}

void PaintOwnerDrawn(HWND hwnd, HDC dc, UINT action, LONG state) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    item.itemID = 0;
    item.itemAction = action;
    item.itemState = ((state & BST_FOCUS) ? ODS_FOCUS : 0) | ((state & BST_PUSHED) ? ODS_SELECTED : 0) |
                     (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
    item.hwndItem = hwnd;
    item.hDC = dc;
    GetClientRect(hwnd, &item.rcItem);
    ControlColor(hwnd, WM_CTLCOLORBTN, dc);
    ClipTo clip(dc, item.rcItem);
    HWND parent = GetParent(hwnd);
    if (parent) SendMessageA(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
}

enum class Direction { kUp, kDown, kLeft, kRight };

// A small filled triangle centred in rect, at most maxWidth across.
void Arrow(HDC dc, const RECT& rect, Direction direction, int color, int maxWidth) {
    bool vertical = direction == Direction::kUp || direction == Direction::kDown;
    int along = vertical ? rect.right - rect.left : rect.bottom - rect.top;
    int across = vertical ? rect.bottom - rect.top : rect.right - rect.left;
    int rows = std::max(1, std::min((maxWidth + 1) / 2, std::min((along + 1) / 2, (across + 1) / 2)));
    int width = 2 * rows - 1;
    HBRUSH brush = GetSysColorBrush(color);
    for (int i = 0; i < rows; ++i) {
        bool pointsBack = direction == Direction::kUp || direction == Direction::kLeft;
        int row = pointsBack ? rows - 1 - i : i;
        RECT line;
        if (vertical) {
            int x0 = rect.left + (along - width) / 2, y0 = rect.top + (across - rows) / 2;
            line = RECT{x0 + i, y0 + row, x0 + width - i, y0 + row + 1};
        } else {
            int y0 = rect.top + (along - width) / 2, x0 = rect.left + (across - rows) / 2;
            line = RECT{x0 + row, y0 + i, x0 + row + 1, y0 + width - i};
        }
        FillRect(dc, &line, brush);
    }
}

void ScrollButton(HDC dc, const RECT& rect, Direction direction, bool pushed, bool inactive, int maxArrow) {
    RECT face = rect;
    if (pushed) {
        FrameRect(dc, &face, GetSysColorBrush(COLOR_BTNSHADOW));
        InflateRect(&face, -1, -1);
        FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
        InflateRect(&face, -1, -1);
        OffsetRect(&face, 1, 1);
    } else {
        DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    }
    if (inactive) {
        RECT under = face;
        OffsetRect(&under, 1, 1);
        Arrow(dc, under, direction, COLOR_3DHILIGHT, maxArrow);
        Arrow(dc, face, direction, COLOR_3DSHADOW, maxArrow);
    } else {
        Arrow(dc, face, direction, COLOR_BTNTEXT, maxArrow);
    }
}

int EditMargin() { return 1; }

std::string Shown(const EditState* s) { return s->password ? std::string(s->text.size(), s->password) : s->text; }

int Width(HDC dc, const std::string& text, size_t count) {
    SIZE size{};
    if (count == 0) return 0;
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(count), &size);
    return size.cx;
}

}  // namespace

void PaintButton(HWND hwnd, HDC dc, UINT action) {
    ButtonState* s = wm::StateOf<ButtonState>(hwnd);
    if (!s) return;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    HGDIOBJ oldFont = s->font ? SelectObject(dc, s->font) : nullptr;
    switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
    case BS_USERBUTTON: PaintPushButton(hwnd, dc, action, style, s->state); break;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
        if (style & BS_PUSHLIKE)
            PaintPushButton(hwnd, dc, action, style, s->state);
        else
            PaintCheckButton(hwnd, dc, action, style, s->state);
        break;
    case BS_GROUPBOX: PaintGroupBox(hwnd, dc, style); break;
    case BS_OWNERDRAW: PaintOwnerDrawn(hwnd, dc, action, s->state); break;
    default: break;
    }
    if (oldFont) SelectObject(dc, oldFont);
}

void PaintEdit(HWND hwnd, HDC dc) {
    EditState* s = wm::StateOf<EditState>(hwnd);
    if (!s) return;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    bool enabled = IsWindowEnabled(hwnd);
    HGDIOBJ oldFont = s->font ? SelectObject(dc, s->font) : nullptr;
    // Read-only and disabled fields take the colours of static texts.
    HBRUSH brush = ControlColor(hwnd, (!enabled || (style & ES_READONLY)) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, dc);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, brush);
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    RECT area = EditTextRect(hwnd);
    std::string shown = Shown(s);
    int textWidth = Width(dc, shown, shown.size());
    int available = area.right - area.left;
    // Keep the caret in view: scroll only as far as it takes.
    int caretX = Width(dc, shown, s->selEnd);
    if (caretX - s->scroll > available) s->scroll = caretX - available;
    if (caretX < s->scroll) s->scroll = caretX;
    if (textWidth - s->scroll < available) s->scroll = std::max(0, textWidth - available);
    int x = area.left - s->scroll;
    if (!(style & ES_MULTILINE) && textWidth < available) {
        if (style & ES_CENTER) x = area.left + (available - textWidth) / 2;
        if (style & ES_RIGHT) x = area.right - textWidth;
    }
    ClipTo clip(dc, area);
    int mode = SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x, area.top, shown.c_str(), static_cast<int>(shown.size()));
    size_t low = std::min(s->selStart, s->selEnd), high = std::max(s->selStart, s->selEnd);
    if (high > low && (s->focused || (style & ES_NOHIDESEL))) {
        int from = x + Width(dc, shown, low);
        int to = x + Width(dc, shown, high);
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        RECT selection{from, area.top, to, area.top + tm.tmHeight};
        FillRect(dc, &selection, GetSysColorBrush(COLOR_HIGHLIGHT));
        COLORREF old = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        std::string part = shown.substr(low, high - low);
        TextOutA(dc, from, area.top, part.c_str(), static_cast<int>(part.size()));
        SetTextColor(dc, old);
    }
    SetBkMode(dc, mode);
    if (oldFont) SelectObject(dc, oldFont);
}

size_t EditCharFromPoint(HWND hwnd, const EditState* state, int x) {
    HDC dc = GetDC(hwnd);
    if (!dc) return state->text.size();
    HGDIOBJ oldFont = state->font ? SelectObject(dc, state->font) : nullptr;
    std::string shown = Shown(state);
    RECT area = EditTextRect(hwnd);
    int target = x - area.left + state->scroll;
    size_t best = 0;
    int bestDistance = std::abs(target);
    for (size_t i = 1; i <= shown.size(); ++i) {
        if (i < shown.size() && (static_cast<unsigned char>(shown[i]) & 0xC0) == 0x80) continue;
        int d = std::abs(Width(dc, shown, i) - target);
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    if (oldFont) SelectObject(dc, oldFont);
    ReleaseDC(hwnd, dc);
    return best;
}

RECT EditTextRect(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    r.left += EditMargin();
    r.right -= EditMargin();
    if (r.right < r.left) r.right = r.left;
    return r;
}

bool EditTextFits(HWND hwnd, const EditState* state, const std::string& text) {
    HDC dc = GetDC(hwnd);
    if (!dc) return true;
    HGDIOBJ oldFont = state->font ? SelectObject(dc, state->font) : nullptr;
    std::string shown = state->password ? std::string(text.size(), state->password) : text;
    int width = Width(dc, shown, shown.size());
    if (oldFont) SelectObject(dc, oldFont);
    ReleaseDC(hwnd, dc);
    RECT area = EditTextRect(hwnd);
    return width <= area.right - area.left;
}

void PaintStatic(HWND hwnd, HDC dc) {
    StaticState* s = wm::StateOf<StaticState>(hwnd);
    if (!s) return;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    UINT type = static_cast<UINT>(style & SS_TYPEMASK);
    RECT rc;
    GetClientRect(hwnd, &rc);
    switch (type) {
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT:
    case SS_BLACKFRAME:
    case SS_GRAYFRAME:
    case SS_WHITEFRAME: {
        int color = (type == SS_BLACKRECT || type == SS_BLACKFRAME)  ? COLOR_3DDKSHADOW
                    : (type == SS_GRAYRECT || type == SS_GRAYFRAME) ? COLOR_3DSHADOW
                                                                    : COLOR_3DHILIGHT;
        ControlColor(hwnd, WM_CTLCOLORSTATIC, dc);
        if (type <= SS_WHITERECT)
            FillRect(dc, &rc, GetSysColorBrush(color));
        else
            FrameRect(dc, &rc, GetSysColorBrush(color));
        return;
    }
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT:
    case SS_ETCHEDFRAME:
        DrawEdge(dc, &rc, EDGE_ETCHED,
                 type == SS_ETCHEDHORZ ? BF_TOP : type == SS_ETCHEDVERT ? BF_LEFT : BF_RECT);
        return;
    case SS_OWNERDRAW: {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_STATIC;
        item.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED;
        item.hwndItem = hwnd;
        item.hDC = dc;
        item.rcItem = rc;
        HGDIOBJ oldFont = s->font ? SelectObject(dc, s->font) : nullptr;
        ControlColor(hwnd, WM_CTLCOLORSTATIC, dc);
        if (HWND parent = GetParent(hwnd)) SendMessageA(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
        if (oldFont) SelectObject(dc, oldFont);
        return;
    }
    case SS_BITMAP: {
        HBRUSH brush = ControlColor(hwnd, WM_CTLCOLORSTATIC, dc);
        FillRect(dc, &rc, brush);
        BITMAP bm{};
        if (!s->image || !GetObjectA(s->image, sizeof bm, &bm)) return;
        HDC source = CreateCompatibleDC(dc);
        if (!source) return;
        HGDIOBJ old = SelectObject(source, s->image);
        int x = 0, y = 0;
        if (style & SS_CENTERIMAGE) {
            x = (rc.right - bm.bmWidth) / 2;
            y = (rc.bottom - bm.bmHeight) / 2;
        }
        BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        return;
    }
    case SS_ICON: ControlColor(hwnd, WM_CTLCOLORSTATIC, dc); return;  // system icons carry no pictures here
    default: break;
    }
    UINT flags;
    switch (type) {
    case SS_CENTER: flags = DT_CENTER | DT_EXPANDTABS | DT_WORDBREAK; break;
    case SS_RIGHT: flags = DT_RIGHT | DT_EXPANDTABS | DT_WORDBREAK; break;
    case SS_SIMPLE: flags = DT_LEFT | DT_SINGLELINE; break;
    case SS_LEFTNOWORDWRAP: flags = DT_LEFT | DT_EXPANDTABS; break;
    default: flags = DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK; break;
    }
    if (style & SS_NOPREFIX) flags |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE) flags = (flags & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    if (style & SS_ENDELLIPSIS) flags = (flags & ~DT_WORDBREAK) | DT_SINGLELINE | DT_END_ELLIPSIS;
    if (style & SS_PATHELLIPSIS) flags = (flags & ~DT_WORDBREAK) | DT_SINGLELINE | DT_PATH_ELLIPSIS;
    HGDIOBJ oldFont = s->font ? SelectObject(dc, s->font) : nullptr;
    HBRUSH brush = ControlColor(hwnd, WM_CTLCOLORSTATIC, dc);
    if (brush) FillRect(dc, &rc, brush);
    if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    std::string text = TextOf(hwnd);
    DrawTextA(dc, text.c_str(), -1, &rc, flags);
    if (oldFont) SelectObject(dc, oldFont);
}

void PaintCombo(HWND hwnd, HDC dc) {
    ComboState* s = wm::StateOf<ComboState>(hwnd);
    if (!s) return;
    bool enabled = IsWindowEnabled(hwnd);
    HGDIOBJ oldFont = s->font ? SelectObject(dc, s->font) : nullptr;
    RECT client;
    GetClientRect(hwnd, &client);
    RECT frame = client;
    DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    RECT text = client;
    InflateRect(&text, -2, -2);
    RECT button = text;
    button.left = button.right - GetSystemMetrics(SM_CXVSCROLL);
    text.right = button.left;
    ScrollButton(dc, button, Direction::kDown, s->dropped && s->tracking, !enabled, 7);
    HBRUSH brush;
    if (!enabled) {
        brush = ControlColor(hwnd, WM_CTLCOLORSTATIC, dc);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        brush = ControlColor(hwnd, WM_CTLCOLOREDIT, dc);
    }
    if (!brush) brush = GetSysColorBrush(COLOR_WINDOW);
    FillRect(dc, &text, brush);
    RECT inner = text;
    InflateRect(&inner, -1, -1);
    bool highlight = s->focused && !s->dropped;
    if (highlight) {
        FillRect(dc, &inner, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    }
    if (s->selection >= 0 && s->selection < static_cast<int>(s->items.size())) {
        RECT label = inner;
        label.left += 1;
        int mode = SetBkMode(dc, TRANSPARENT);
        ClipTo clip(dc, inner);
        DrawTextA(dc, s->items[static_cast<size_t>(s->selection)].text.c_str(), -1, &label,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
        SetBkMode(dc, mode);
    }
    if (highlight) DrawFocusRect(dc, &inner);
    if (oldFont) SelectObject(dc, oldFont);
}

void PaintUpDown(HWND hwnd, HDC dc) {
    UpDownState* s = wm::StateOf<UpDownState>(hwnd);
    if (!s) return;
    DWORD style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
    RECT client;
    GetClientRect(hwnd, &client);
    char buddyClass[16] = "";
    if (s->buddy) GetClassNameA(s->buddy, buddyClass, sizeof buddyClass);
    bool border = (style & (UDS_ALIGNLEFT | UDS_ALIGNRIGHT)) && strcasecmp(buddyClass, "Edit") == 0;
    if (border) {
        // Merged with its buddy: the buddy's sunken edge runs on round the arrows.
        RECT edge = client;
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_BOTTOM | BF_TOP | ((style & UDS_ALIGNLEFT) ? BF_LEFT : BF_RIGHT));
    }
    bool inactive = (style & WS_DISABLED) || (s->buddy && !IsWindowEnabled(s->buddy));
    bool horizontal = style & UDS_HORZ;
    RECT up, down;
    UpDownArrowRect(hwnd, s, &up, kFlagIncrement);
    UpDownArrowRect(hwnd, s, &down, kFlagDecrement);
    bool pressed = s->flags & kFlagPressed;
    ScrollButton(dc, up, horizontal ? Direction::kRight : Direction::kUp, pressed && (s->flags & kFlagIncrement),
                 inactive, 7);
    ScrollButton(dc, down, horizontal ? Direction::kLeft : Direction::kDown, pressed && (s->flags & kFlagDecrement),
                 inactive, 7);
}

void DeleteStaticImage(HANDLE image) { DeleteObject(image); }

}  // namespace luma::controls
