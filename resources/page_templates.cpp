// The page templates, laid out from the effect parameter list: two columns
// of label-and-field rows in the page area, colours with their Enable boxes
// on the right. Each label stands directly before its control.
#include "resources/page_templates.h"

#include <commctrl.h>

#include <array>
#include <cstddef>

#include "effects/page_tables.h"

namespace {

constexpr short kColumnWidth = 148;
constexpr short kRowHeight = 14;
constexpr short kLabelWidth = 62;
constexpr short kFieldX = 64;
constexpr short kFieldWidth = 36;
constexpr short kSpinWidth = 10;
constexpr short kFieldHeight = 12;
constexpr short kColourLabelWidth = 36;
constexpr short kColourX = 38;
constexpr short kColourWidth = 34;
constexpr short kComboWidth = 78;
constexpr short kCheckHeight = 10;

constexpr DWORD kLabelStyle = WS_VISIBLE | SS_LEFT;
constexpr DWORD kEditStyle = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kSpinStyle = WS_VISIBLE | UDS_SETBUDDYINT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS;
constexpr DWORD kColourStyle = WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD kCheckStyle = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kComboStyle = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kPadStyle = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

struct RangeText {
    char text[24];
};

constexpr char* PutInt(char* out, int value) {
    char digits[12] = {};
    int count = 0;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) *out++ = '-';
    while (count) *out++ = digits[--count];
    return out;
}

// "min,max,default", the up-down text a page carries.
constexpr RangeText MakeRangeText(int min, int max, int def) {
    RangeText range{};
    char* out = PutInt(range.text, min);
    *out++ = ',';
    out = PutInt(out, max);
    *out++ = ',';
    PutInt(out, def);
    return range;
}

static_assert(MakeRangeText(-45, 45, 30).text[0] == '-' && MakeRangeText(2, 32760, 64).text[8] == '6');

template <const auto& Params>
constexpr auto MakeRangeTexts() {
    std::array<RangeText, std::size(Params)> ranges{};
    for (std::size_t i = 0; i < std::size(Params); ++i) {
        const PageParam& p = Params[i];
        // A delay's range is replaced by the DelayRangeSwitch before it is read.
        ranges[i] = IsDelayKind(p.kind) ? MakeRangeText(1, 100, 4) : MakeRangeText(p.min, p.max, p.def);
    }
    return ranges;
}

template <const auto& Params>
inline constexpr auto kRangeTexts = MakeRangeTexts<Params>();

constexpr std::size_t ItemCount(std::span<const PageParam> params) { return PageControlCount(params); }

// Parameters in page order: by column, then row, then place in the row.
template <const auto& Params>
constexpr auto PageOrder() {
    std::array<std::size_t, std::size(Params)> order{};
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto before = [](const PageParam& a, const PageParam& b) {
        if (a.column != b.column) return a.column < b.column;
        if (a.row != b.row) return a.row < b.row;
        return a.dx < b.dx;
    };
    for (std::size_t i = 1; i < order.size(); ++i)
        for (std::size_t k = i; k > 0 && before(Params[order[k]], Params[order[k - 1]]); --k) {
            std::size_t t = order[k];
            order[k] = order[k - 1];
            order[k - 1] = t;
        }
    return order;
}

constexpr luma::DialogItemTemplate Item(const char* className, const char* text, int id, int x, int y, int cx,
                                        int cy, DWORD style) {
    return luma::DialogItemTemplate{className, text, id, static_cast<short>(x), static_cast<short>(y),
                                    static_cast<short>(cx), static_cast<short>(cy), style, 0};
}

template <const auto& Params>
constexpr auto MakeItems() {
    std::array<luma::DialogItemTemplate, ItemCount(Params)> items{};
    std::size_t n = 0;
    for (std::size_t index : PageOrder<Params>()) {
        const PageParam& p = Params[index];
        const int x = kPageAreaLeft + p.column * kColumnWidth;
        const int y = kPageAreaTop + p.row * kRowHeight;
        switch (p.kind) {
        case PageParamKind::Hidden:
            break;
        case PageParamKind::Spin:
        case PageParamKind::Delay:
        case PageParamKind::UnstoredDelay:
        case PageParamKind::Signed:
            items[n++] = Item("STATIC", p.label, p.id + 1, x, y + 2, kLabelWidth, 8, kLabelStyle);
            items[n++] = Item("EDIT", "", p.id, x + kFieldX, y, kFieldWidth, kFieldHeight, kEditStyle);
            items[n++] = Item(UPDOWN_CLASS, kRangeTexts<Params>[index].text, p.id + kSpinIdOffset,
                              x + kFieldX + kFieldWidth, y, kSpinWidth, kFieldHeight, kSpinStyle);
            break;
        case PageParamKind::Colour:
            items[n++] = Item("STATIC", p.label, p.id + 1, x, y + 2, kColourLabelWidth, 8, kLabelStyle);
            items[n++] = Item("BUTTON", "", p.id, x + kColourX, y, kColourWidth, kFieldHeight, kColourStyle);
            break;
        case PageParamKind::Check: {
            // Enable boxes follow their colour; direction boxes form a cross.
            int width = p.dx == 78 ? 56 : p.dx ? 34 : kColumnWidth - 8;
            items[n++] = Item("BUTTON", p.label, p.id, x + p.dx, y + 1, width, kCheckHeight, kCheckStyle);
            break;
        }
        case PageParamKind::Combo:
            items[n++] = Item("STATIC", p.label, p.id + 1, x, y + 2, kLabelWidth, 8, kLabelStyle);
            items[n++] = Item("COMBOBOX", "", p.id, x + kFieldX, y, kComboWidth, kFieldHeight, kComboStyle);
            break;
        case PageParamKind::Pad: {
            // Sized near the pad's pixels (75 x 75 or 50 x 25); the page set-up makes them exact.
            bool fourWay = p.ways == 4;
            items[n++] = Item("STATIC", p.label, p.id + 1, x, y + 2, kLabelWidth, 8, kLabelStyle);
            items[n++] = Item("BUTTON", "", p.id, x + kFieldX, y, fourWay ? 50 : 34, fourWay ? 46 : 16, kPadStyle);
            break;
        }
        case PageParamKind::Label:
            items[n++] = Item("STATIC", p.label, p.id, x + p.dx, y + 2, 38, 8, kLabelStyle);
            break;
        }
    }
    return items;
}

template <const auto& Params>
inline constexpr auto kItems = MakeItems<Params>();

// Every control lies inside the page area.
template <const auto& Params>
constexpr bool InsidePageArea() {
    for (const luma::DialogItemTemplate& item : kItems<Params>) {
        if (item.x < kPageAreaLeft || item.y < kPageAreaTop) return false;
        if (item.x + item.cx > kPageAreaLeft + kPageAreaWidth) return false;
        if (item.y + item.cy > kPageAreaTop + kPageAreaHeight) return false;
    }
    return true;
}

template <const auto& Params>
constexpr luma::DialogTemplate MakePage() {
    static_assert(InsidePageArea<Params>());
    // Never shown: the page set-up copies its controls into the main dialog.
    return luma::DialogTemplate{WS_POPUP | DS_SETFONT,
                                0,
                                0,
                                0,
                                kMainDialogWidth,
                                kMainDialogHeight,
                                "",
                                kDialogFontName,
                                kDialogFontSize,
                                kItems<Params>.data(),
                                kItems<Params>.size()};
}

constexpr luma::DialogTemplate kPageTemplates[kEffectCount] = {
    MakePage<kPage0Params>(),  MakePage<kPage1Params>(),  MakePage<kPage2Params>(),  MakePage<kPage3Params>(),
    MakePage<kPage4Params>(),  MakePage<kPage5Params>(),  MakePage<kPage6Params>(),  MakePage<kPage7Params>(),
    MakePage<kPage8Params>(),  MakePage<kPage9Params>(),  MakePage<kPage10Params>(), MakePage<kPage11Params>(),
    MakePage<kPage12Params>(), MakePage<kPage13Params>(), MakePage<kPage14Params>(), MakePage<kPage15Params>(),
    MakePage<kPage16Params>(), MakePage<kPage17Params>(), MakePage<kPage18Params>(), MakePage<kPage19Params>(),
};

}  // namespace

const luma::DialogTemplate& PageTemplate(int styleNumber) { return kPageTemplates[styleNumber]; }
