// The parameter list behind the pages, against the pages as their tables
// describe them.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "effects/effect_list.h"
#include "effects/page_tables.h"
#include "tests/support/expected_pages.h"

namespace {

using testing_support::Expect;
using testing_support::ExpectedPages;

Expect KindOf(PageParamKind kind) {
    switch (kind) {
    case PageParamKind::Spin: return Expect::Spin;
    case PageParamKind::Delay:
    case PageParamKind::UnstoredDelay: return Expect::Delay;
    case PageParamKind::Signed: return Expect::Signed;
    case PageParamKind::Colour: return Expect::Colour;
    case PageParamKind::Check: return Expect::Check;
    case PageParamKind::Combo: return Expect::Combo;
    case PageParamKind::Pad: return Expect::Pad;
    default: return Expect::Hidden;
    }
}

TEST(EffectList, NamesAndStyleNumbersInListOrder) {
    const auto& pages = ExpectedPages();
    ASSERT_EQ(pages.size(), kEffectNames.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_STREQ(kEffectNames[i].name, pages[i].name);
        EXPECT_EQ(kEffectNames[i].styleNumber, pages[i].styleNumber) << pages[i].name;
    }
    EXPECT_STREQ(kEffectNames[kDefaultEffect].name, "Snow");
}

TEST(PageTables, EveryParameterMatchesItsPageTable) {
    for (const auto& page : ExpectedPages()) {
        SCOPED_TRACE(page.name);
        const auto& params = kPageParams[page.styleNumber];
        std::size_t bound = 0;
        for (const PageParam& p : params) bound += p.kind != PageParamKind::Label;
        EXPECT_EQ(bound, page.params.size());
        for (const auto& want : page.params) {
            SCOPED_TRACE(want.label + " " + want.key);
            const PageParam* got = nullptr;
            for (const PageParam& p : params) {
                bool sameKey = p.key ? want.key == p.key : false;
                if (want.id ? p.id == want.id : sameKey) got = &p;
            }
            ASSERT_NE(got, nullptr);
            EXPECT_EQ(KindOf(got->kind), want.kind);
            EXPECT_EQ(got->key ? std::string(got->key) : std::string(), want.key);
            if (want.kind != Expect::Hidden) {
                EXPECT_EQ(std::string(got->label), want.label);
            }
            if (want.kind == Expect::Spin || want.kind == Expect::Signed) {
                EXPECT_EQ(got->min, want.min);
                EXPECT_EQ(got->max, want.max);
                EXPECT_EQ(got->def, want.def);
            }
            if (want.kind == Expect::Delay) {
                EXPECT_EQ(got->shiftHundredths, want.shiftHundredths);
                EXPECT_EQ(got->shiftMilliseconds, want.shiftMilliseconds);
                // The stored ones are keys; the others are bound variables with the built-in delay.
                EXPECT_EQ(got->kind == PageParamKind::UnstoredDelay, want.key.empty());
                if (want.key.empty()) {
                    EXPECT_EQ(*static_cast<DWORD*>(got->setting), want.builtIn);
                }
            }
            if (want.kind == Expect::Combo) {
                EXPECT_EQ(std::string(got->items), want.items);
            }
            if (want.kind == Expect::Pad) {
                EXPECT_EQ(got->ways, want.max + 1);
            }
        }
    }
}

TEST(PageTables, ControlListsHoldLabelsFieldsAndSpinsOfEveryPage) {
    for (const auto& page : ExpectedPages()) {
        SCOPED_TRACE(page.name);
        std::set<int> listed;
        const DWORD* list = kPageControlLists[page.styleNumber];
        for (; *list; ++list) EXPECT_TRUE(listed.insert(static_cast<int>(*list)).second) << *list;
        for (const auto& want : page.params) {
            if (want.kind == Expect::Hidden) continue;
            EXPECT_TRUE(listed.count(want.id)) << want.id;
            bool spin = want.kind == Expect::Spin || want.kind == Expect::Delay || want.kind == Expect::Signed;
            EXPECT_EQ(listed.count(want.id + 10000), spin ? 1u : 0u) << want.id;
        }
        for (int id : listed) {
            int field = id >= 10000 ? id - 10000 : id;
            EXPECT_GE(field, 100);
            EXPECT_LE(field, 1198);
        }
    }
}

}  // namespace
