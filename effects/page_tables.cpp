#include "effects/page_tables.h"

namespace {

constexpr bool StartsWith(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (*text != *prefix) return false;
    return true;
}

// Each page's keys are "Style" and its own StyleNumber in three digits.
constexpr bool KeysNameTheirPage() {
    for (int n = 0; n < kEffectCount; ++n) {
        const char prefix[] = {'S', 't', 'y', 'l', 'e', char('0' + n / 100), char('0' + n / 10 % 10),
                               char('0' + n % 10), 0};
        for (const PageParam& param : kPageParams[n])
            if (param.key && !StartsWith(param.key, prefix)) return false;
    }
    return true;
}
static_assert(KeysNameTheirPage());

// All pages live in one dialog: every id must be unique across them, inside
// the page range, and clear of the marker windows' ids.
constexpr bool ControlIdsAreDistinct() {
    std::array<bool, kLastPageControlId + kSpinIdOffset + 1> used{};
    for (int id : {470, 507, 551, 719}) used[id] = true;
    bool ok = true;
    for (const auto& page : kPageParams) {
        for (const PageParam& param : page) {
            ForEachControlId(param, [&](int id) {
                int field = id >= kSpinIdOffset ? id - kSpinIdOffset : id;
                if (field < kFirstPageControlId || field > kLastPageControlId || used[id]) ok = false;
                else used[id] = true;
            });
        }
    }
    return ok;
}
static_assert(ControlIdsAreDistinct());

constexpr bool RangesHoldTheirDefaults() {
    for (const auto& page : kPageParams)
        for (const PageParam& param : page)
            if ((IsSpinKind(param.kind) || param.kind == PageParamKind::Pad) &&
                (param.min > param.max || param.def < param.min || param.def > param.max))
                return false;
    return true;
}
static_assert(RangesHoldTheirDefaults());

// No two controls of a page claim the same place.
constexpr bool PlacesAreDistinct() {
    for (const auto& page : kPageParams)
        for (std::size_t i = 0; i < page.size(); ++i)
            for (std::size_t k = i + 1; k < page.size(); ++k) {
                const PageParam& a = page[i];
                const PageParam& b = page[k];
                if (a.kind == PageParamKind::Hidden || b.kind == PageParamKind::Hidden) continue;
                if (a.column == b.column && a.row == b.row && a.dx == b.dx) return false;
            }
    return true;
}
static_assert(PlacesAreDistinct());

constexpr std::size_t StoredEffectKeys() {
    std::size_t count = 0;
    for (const auto& page : kPageParams)
        for (const PageParam& param : page) count += param.key != nullptr;
    return count;
}
static_assert(StoredEffectKeys() == 303);

}  // namespace

const PageParam* FindPageParam(int styleNumber, int id) {
    if (styleNumber < 0 || styleNumber >= kEffectCount || id == 0) return nullptr;
    for (const PageParam& param : kPageParams[styleNumber])
        if (param.id == id && param.kind != PageParamKind::Label) return &param;
    return nullptr;
}
