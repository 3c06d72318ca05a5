// The parameter tables of the twenty effect pages, made from the effect
// parameter list: what the page templates hold, how each control is bound,
// and the control list every page shows and hides.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <span>

#include "settings/settings.h"

enum class PageParamKind : BYTE {
    Spin,           // edit field with an up-down, unsigned setting
    Delay,          // spin field whose range follows the host's delay unit
    UnstoredDelay,  // the same, bound to a variable the configuration file does not keep
    Signed,         // signed spin field, setting kept as decimal text
    Colour,         // owner-drawn colour button
    Check,          // auto check box; its text is its label
    Combo,          // drop-down list, setting = selected position
    Pad,            // direction pad (a push button that the pad code takes over)
    Hidden,         // stored setting without a control
    Label,          // a label of its own
};

struct PageParam {
    PageParamKind kind;
    const char* key;  // configuration key, null when not stored
    void* setting;    // the bound variable, null for labels
    int id;           // control id, 0 for hidden settings
    const char* label;
    int min, max, def;  // spin range and page default
    int shiftHundredths, shiftMilliseconds;  // Shift-key delays
    const char* items;  // combo items, separated by semicolons
    int ways;           // direction pads: 2 or 4
    int column, row, dx;
};

constexpr bool IsSpinKind(PageParamKind kind) {
    return kind == PageParamKind::Spin || kind == PageParamKind::Delay ||
           kind == PageParamKind::UnstoredDelay || kind == PageParamKind::Signed;
}
constexpr bool IsDelayKind(PageParamKind kind) {
    return kind == PageParamKind::Delay || kind == PageParamKind::UnstoredDelay;
}
// Controls whose label is a static of its own at id + 1.
constexpr bool HasOwnLabel(PageParamKind kind) {
    return IsSpinKind(kind) || kind == PageParamKind::Colour || kind == PageParamKind::Combo ||
           kind == PageParamKind::Pad;
}

inline constexpr int kEffectCount = 20;
inline constexpr int kFirstPageTemplate = 7400;
inline constexpr int kFirstPageControlId = 100;
inline constexpr int kLastPageControlId = 1198;
// An up-down control's id is its field's id plus this.
inline constexpr int kSpinIdOffset = 10000;
// Delay ranges "min,max,default" by the host's delay unit.
inline constexpr const char kDelayRangeHundredths[] = "1,100,4";
inline constexpr const char kDelayRangeMilliseconds[] = "1,1000,40";

#define LUMA_PARAM(kind, key, setting, id, label, min, max, def, shiftH, shiftMs, items, ways, col, row, dx) \
    PageParam{PageParamKind::kind, key, setting, id, label, min, max, def, shiftH, shiftMs, items, ways, col, row, dx},
#define PAGE(n) inline constexpr PageParam kPage##n##Params[] = {
#define END_PAGE() };
#define SPIN(var, builtIn, id, label, min, max, def, col, row) \
    LUMA_PARAM(Spin, #var, &var, id, label, min, max, def, 0, 0, nullptr, 0, col, row, 0)
#define DELAY(var, builtIn, id, label, shiftH, shiftMs, col, row) \
    LUMA_PARAM(Delay, #var, &var, id, label, 1, 100, 4, shiftH, shiftMs, nullptr, 0, col, row, 0)
#define UNSTORED_DELAY(var, builtIn, id, label, shiftH, shiftMs, col, row) \
    LUMA_PARAM(UnstoredDelay, nullptr, &var, id, label, 1, 100, 4, shiftH, shiftMs, nullptr, 0, col, row, 0)
#define SIGNED(var, builtIn, id, label, min, max, def, col, row) \
    LUMA_PARAM(Signed, #var, &var, id, label, min, max, def, 0, 0, nullptr, 0, col, row, 0)
#define COLOUR(var, builtIn, id, label, col, row) \
    LUMA_PARAM(Colour, #var, &var, id, label, 0, 0, 0, 0, 0, nullptr, 0, col, row, 0)
#define CHECK(var, builtIn, id, text, col, row, dx) \
    LUMA_PARAM(Check, #var, &var, id, text, 0, 0, 0, 0, 0, nullptr, 0, col, row, dx)
#define COMBO(var, builtIn, id, label, items, col, row) \
    LUMA_PARAM(Combo, #var, &var, id, label, 0, 0, 0, 0, 0, items, 0, col, row, 0)
#define PAD(var, builtIn, id, label, ways, col, row) \
    LUMA_PARAM(Pad, #var, &var, id, label, 0, ways - 1, builtIn, 0, 0, nullptr, ways, col, row, 0)
#define HIDDEN(var, builtIn) LUMA_PARAM(Hidden, #var, &var, 0, nullptr, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0)
#define LABEL(id, text, col, row, dx) \
    LUMA_PARAM(Label, nullptr, nullptr, id, text, 0, 0, 0, 0, 0, nullptr, 0, col, row, dx)
#include "settings/effect_params.def"
#include "settings/effect_params_undef.h"
#undef LUMA_PARAM

// Parameters of page N (template 7400 + N), in key-table order.
inline constexpr std::array<std::span<const PageParam>, kEffectCount> kPageParams = {
    kPage0Params,  kPage1Params,  kPage2Params,  kPage3Params,  kPage4Params,
    kPage5Params,  kPage6Params,  kPage7Params,  kPage8Params,  kPage9Params,
    kPage10Params, kPage11Params, kPage12Params, kPage13Params, kPage14Params,
    kPage15Params, kPage16Params, kPage17Params, kPage18Params, kPage19Params,
};

// Every control id a parameter puts on its page: label, field and up-down.
template <class Visit>
constexpr void ForEachControlId(const PageParam& param, Visit visit) {
    switch (param.kind) {
    case PageParamKind::Hidden:
        return;
    case PageParamKind::Check:
    case PageParamKind::Label:
        visit(param.id);
        return;
    default:
        visit(param.id + 1);
        visit(param.id);
        if (IsSpinKind(param.kind)) visit(param.id + kSpinIdOffset);
        return;
    }
}

constexpr std::size_t PageControlCount(std::span<const PageParam> params) {
    std::size_t count = 0;
    for (const PageParam& param : params) ForEachControlId(param, [&](int) { ++count; });
    return count;
}

// The page's control ids ended by 0, as an EffectRecord lists them.
template <const auto& Params>
constexpr auto MakePageControlList() {
    std::array<DWORD, PageControlCount(Params) + 1> list{};
    std::size_t i = 0;
    for (const PageParam& param : Params) ForEachControlId(param, [&](int id) { list[i++] = static_cast<DWORD>(id); });
    return list;
}

inline constexpr auto kPage0Controls = MakePageControlList<kPage0Params>();
inline constexpr auto kPage1Controls = MakePageControlList<kPage1Params>();
inline constexpr auto kPage2Controls = MakePageControlList<kPage2Params>();
inline constexpr auto kPage3Controls = MakePageControlList<kPage3Params>();
inline constexpr auto kPage4Controls = MakePageControlList<kPage4Params>();
inline constexpr auto kPage5Controls = MakePageControlList<kPage5Params>();
inline constexpr auto kPage6Controls = MakePageControlList<kPage6Params>();
inline constexpr auto kPage7Controls = MakePageControlList<kPage7Params>();
inline constexpr auto kPage8Controls = MakePageControlList<kPage8Params>();
inline constexpr auto kPage9Controls = MakePageControlList<kPage9Params>();
inline constexpr auto kPage10Controls = MakePageControlList<kPage10Params>();
inline constexpr auto kPage11Controls = MakePageControlList<kPage11Params>();
inline constexpr auto kPage12Controls = MakePageControlList<kPage12Params>();
inline constexpr auto kPage13Controls = MakePageControlList<kPage13Params>();
inline constexpr auto kPage14Controls = MakePageControlList<kPage14Params>();
inline constexpr auto kPage15Controls = MakePageControlList<kPage15Params>();
inline constexpr auto kPage16Controls = MakePageControlList<kPage16Params>();
inline constexpr auto kPage17Controls = MakePageControlList<kPage17Params>();
inline constexpr auto kPage18Controls = MakePageControlList<kPage18Params>();
inline constexpr auto kPage19Controls = MakePageControlList<kPage19Params>();

// Control list of page N, ended by 0.
inline constexpr std::array<const DWORD*, kEffectCount> kPageControlLists = {
    kPage0Controls.data(),  kPage1Controls.data(),  kPage2Controls.data(),  kPage3Controls.data(),
    kPage4Controls.data(),  kPage5Controls.data(),  kPage6Controls.data(),  kPage7Controls.data(),
    kPage8Controls.data(),  kPage9Controls.data(),  kPage10Controls.data(), kPage11Controls.data(),
    kPage12Controls.data(), kPage13Controls.data(), kPage14Controls.data(), kPage15Controls.data(),
    kPage16Controls.data(), kPage17Controls.data(), kPage18Controls.data(), kPage19Controls.data(),
};

// The parameter bound to control id (field, button or check box) of page N, or null.
const PageParam* FindPageParam(int styleNumber, int id);
