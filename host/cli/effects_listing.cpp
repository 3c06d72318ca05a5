#include "host/cli/effects_listing.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ostream>
#include <vector>

#include "effects/effect_list.h"

namespace {

enum class Kind { Page, Spin, Delay, Signed, Colour, Check, Combo, Pad, Other };

struct Entry {
    Kind kind;
    int number;  // StyleNumber for a page, control id otherwise
    const char* label;
    int min, max;
    long builtIn;
    const char* builtInText;  // signed fields keep their value as text
    const char* items;
    int ways;
    int column, row, dx;
    int shiftHundredths, shiftMilliseconds;
};

// The page parameters as the parameter list gives them, pages marked by
// entries of their own.
constexpr Entry kEntries[] = {
#define PAGE(n) {Kind::Page, n, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0, 0, 0, 0, 0},
#define END_PAGE()
#define SPIN(var, builtIn, id, label, min, max, def, col, row) \
    {Kind::Spin, id, label, min, max, builtIn, nullptr, nullptr, 0, col, row, 0, 0, 0},
#define DELAY(var, builtIn, id, label, shiftH, shiftMs, col, row) \
    {Kind::Delay, id, label, 0, 0, builtIn, nullptr, nullptr, 0, col, row, 0, shiftH, shiftMs},
#define UNSTORED_DELAY(var, builtIn, id, label, shiftH, shiftMs, col, row) \
    DELAY(var, builtIn, id, label, shiftH, shiftMs, col, row)
#define SIGNED(var, builtIn, id, label, min, max, def, col, row) \
    {Kind::Signed, id, label, min, max, 0, builtIn, nullptr, 0, col, row, 0, 0, 0},
#define COLOUR(var, builtIn, id, label, col, row) \
    {Kind::Colour, id, label, 0, 0, builtIn, nullptr, nullptr, 0, col, row, 0, 0, 0},
#define CHECK(var, builtIn, id, text, col, row, dx) \
    {Kind::Check, id, text, 0, 0, builtIn, nullptr, nullptr, 0, col, row, dx, 0, 0},
#define COMBO(var, builtIn, id, label, items, col, row) \
    {Kind::Combo, id, label, 0, 0, builtIn, nullptr, items, 0, col, row, 0, 0, 0},
#define PAD(var, builtIn, id, label, ways, col, row) \
    {Kind::Pad, id, label, 0, ways - 1, builtIn, nullptr, nullptr, ways, col, row, 0, 0, 0},
#define HIDDEN(var, builtIn)
#define LABEL(id, text, col, row, dx) {Kind::Other, id, text, 0, 0, 0, nullptr, nullptr, 0, col, row, dx, 0, 0},
#include "settings/effect_params.def"
#include "settings/effect_params_undef.h"
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Plain(const char* label) {
    std::string text = label ? label : "";
    while (!text.empty() && (text.back() == ':' || text.back() == ' ')) text.pop_back();
    return text;
}

std::vector<std::string> Items(const char* items) {
    std::vector<std::string> out;
    std::string rest = items ? items : "";
    while (!rest.empty()) {
        std::size_t end = rest.find(';');
        if (end) out.push_back(rest.substr(0, end));
        rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    }
    return out;
}

std::string Colour(long value) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(value & 0xFF),
                  static_cast<unsigned>((value >> 8) & 0xFF), static_cast<unsigned>((value >> 16) & 0xFF));
    return text;
}

std::string Direction(int ways, long value) {
    static const char* const four[] = {"up", "right", "left", "down"};
    static const char* const two[] = {"left", "right"};
    if (value < 0 || value >= ways) return std::to_string(value);
    return ways == 4 ? four[value] : two[value];
}

// A page's parameters in the order the page shows them: by column, row and
// place in the row.
std::vector<Entry> PageOf(int styleNumber) {
    std::vector<Entry> page;
    int current = -1;
    for (const Entry& entry : kEntries) {
        if (entry.kind == Kind::Page) current = entry.number;
        else if (current == styleNumber && entry.kind != Kind::Other) page.push_back(entry);
    }
    std::stable_sort(page.begin(), page.end(), [](const Entry& a, const Entry& b) {
        if (a.column != b.column) return a.column < b.column;
        if (a.row != b.row) return a.row < b.row;
        return a.dx < b.dx;
    });
    return page;
}

// A label used more than once on its page takes the label of its row first,
// as --set expects it.
std::string Name(const std::vector<Entry>& page, const Entry& entry) {
    const std::string label = Plain(entry.label);
    const auto same = std::count_if(page.begin(), page.end(), [&](const Entry& e) { return Plain(e.label) == label; });
    if (same < 2) return label;
    const Entry* before = nullptr;
    for (const Entry& e : page)
        if (e.column == entry.column && e.row == entry.row && e.dx < entry.dx && (!before || e.dx > before->dx)) before = &e;
    return before ? Plain(before->label) + " " + label : label;
}

void ListPage(std::ostream& out, const EffectName& effect, HostPersonality personality) {
    const bool hundredths = personality == HostPersonality::Gif;
    out << effect.name << "\n";
    const std::vector<Entry> page = PageOf(effect.styleNumber);
    std::size_t width = 0;
    for (const Entry& entry : page) width = std::max(width, Name(page, entry).size());
    for (const Entry& entry : page) {
        std::string kind, fallback;
        std::string builtIn = std::to_string(entry.builtIn);
        switch (entry.kind) {
        case Kind::Spin:
            kind = std::to_string(entry.min) + " to " + std::to_string(entry.max);
            if (entry.builtIn < entry.min || entry.builtIn > entry.max)
                fallback = " (read as " + std::to_string(std::clamp<long>(entry.builtIn, entry.min, entry.max)) + ")";
            break;
        case Kind::Signed:
            kind = std::to_string(entry.min) + " to " + std::to_string(entry.max);
            builtIn = entry.builtInText;
            break;
        case Kind::Delay:
            kind = hundredths ? "1 to 100 hundredths of a second" : "1 to 1000 milliseconds";
            fallback = " (with Shift held: " +
                       std::to_string(hundredths ? entry.shiftHundredths : entry.shiftMilliseconds) + ")";
            break;
        case Kind::Colour:
            kind = "colour #rrggbb";
            builtIn = Colour(entry.builtIn);
            break;
        case Kind::Check:
            kind = "on or off";
            builtIn = entry.builtIn ? "on" : "off";
            break;
        case Kind::Combo: {
            const std::vector<std::string> items = Items(entry.items);
            for (const std::string& item : items) kind += (kind.empty() ? "" : " | ") + item;
            if (entry.builtIn >= 0 && static_cast<std::size_t>(entry.builtIn) < items.size())
                builtIn = items[static_cast<std::size_t>(entry.builtIn)];
            break;
        }
        case Kind::Pad:
            for (int cell = 0; cell < entry.ways; ++cell) kind += (cell ? " | " : "") + Direction(entry.ways, cell);
            builtIn = Direction(entry.ways, entry.builtIn);
            break;
        case Kind::Page:
        case Kind::Other:
            continue;
        }
        std::string name = Name(page, entry);
        out << "  " << name << std::string(width - name.size() + 2, ' ') << kind << ", default " << builtIn << fallback
            << "\n";
    }
}

}  // namespace

std::vector<int> EffectsNamed(const std::string& name) {
    const std::string wanted = Lower(name);
    std::vector<int> found;
    for (std::size_t i = 0; i < kEffectNames.size(); ++i) {
        const std::string effect = Lower(kEffectNames[i].name);
        if (effect == wanted) return {static_cast<int>(i)};
        if (!wanted.empty() && effect.compare(0, wanted.size(), wanted) == 0) found.push_back(static_cast<int>(i));
    }
    return found;
}

int FindEffect(const std::string& name) {
    const std::vector<int> found = EffectsNamed(name);
    return found.size() == 1 ? found[0] : -1;
}

std::string EffectNames() {
    std::string names;
    for (const EffectName& effect : kEffectNames) names += (names.empty() ? "" : ", ") + std::string(effect.name);
    return names;
}

void ListEffects(std::ostream& out, HostPersonality personality, int index) {
    for (std::size_t i = 0; i < kEffectNames.size(); ++i) {
        if (index >= 0 && static_cast<std::size_t>(index) != i) continue;
        if (index < 0 && i) out << "\n";
        ListPage(out, kEffectNames[i], personality);
    }
}
