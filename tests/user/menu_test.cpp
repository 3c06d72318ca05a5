#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "luma/automation.h"
#include "tests/support/fault_walk.h"
#include "tests/user/support.h"

namespace user_tests {
namespace {

namespace automation = luma::automation;
using Strings = std::vector<std::string>;

class Menus : public Clean {};

HMENU DocumentMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 37, "&Open");
    AppendMenuA(menu, MF_STRING, 38, "&Save");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | MF_GRAYED, 39, "Save &as...");
    return menu;
}

TEST_F(Menus, ItemsAndTheirState) {
    HMENU menu = DocumentMenu();
    ASSERT_TRUE(IsMenu(menu));
    EXPECT_EQ(GetMenuItemCount(menu), 4);
    EXPECT_EQ(GetMenuItemID(menu, 1), 38u);
    char text[32];
    EXPECT_EQ(GetMenuStringA(menu, 39, text, sizeof text, MF_BYCOMMAND), 11);
    EXPECT_STREQ(text, "Save &as...");
    EXPECT_EQ(GetMenuState(menu, 39, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(CheckMenuItem(menu, 37, MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 37, MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 99, MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(EnableMenuItem(menu, 39, MF_ENABLED), MF_GRAYED);
    HMENU sub = CreatePopupMenu();
    AppendMenuA(sub, MF_STRING, 50, "Deep");
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "More");
    EXPECT_EQ(GetSubMenu(menu, 4), sub);
    EXPECT_EQ(GetMenuStringA(menu, 50, text, sizeof text, MF_BYCOMMAND), 4) << "ids are found in submenus";
    EXPECT_TRUE(DeleteMenu(menu, 0, MF_BYPOSITION));
    EXPECT_EQ(GetMenuItemID(menu, 0), 38u);
    EXPECT_EQ(luma::LiveMenus(), 2u);
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(sub)) << "a menu takes its submenus with it";
    EXPECT_FALSE(DestroyMenu(menu));
}

TEST_F(Menus, PopupMenuAnswersArriveAsCommands) {
    HWND owner = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr);
    HMENU menu = DocumentMenu();
    automation::Pump();  // the new window's first paint
    automation::AnswerNextMenu("Save");
    ClearLog();
    EXPECT_TRUE(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, 30, 40, 0, owner, nullptr));
    EXPECT_EQ(Names(owner), (Strings{"WM_ENTERMENULOOP", "WM_INITMENU", "WM_INITMENUPOPUP", "WM_MENUSELECT",
                                     "WM_UNINITMENUPOPUP", "WM_EXITMENULOOP"}));
    ClearLog();
    automation::Pump();
    ASSERT_EQ(Names(owner), (Strings{"WM_COMMAND"})) << "posted once the menu is gone";
    EXPECT_EQ(Log()[0].wParam, 38u);
    // With TPM_RETURNCMD the choice is the result and nothing is posted.
    automation::AnswerNextMenu(37);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, 0, 0, 0, owner, nullptr), 37);
    // A disabled item cannot be chosen; an unanswered menu is dismissed.
    automation::AnswerNextMenu("save as...");
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0);
    const auto& events = automation::GetReport().events;
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].find("disabled"), std::string::npos);
    EXPECT_NE(events[1].find("dismissed"), std::string::npos);
    ClearLog();
    automation::Pump();
    EXPECT_TRUE(Names(owner).empty());
    DestroyMenu(menu);
    DestroyWindow(owner);
}

TEST_F(Menus, MenusUnderMemoryFaults) {
    testing_support::WalkAllocationFailures([] {
        HMENU menu = CreatePopupMenu();
        if (!menu) return false;
        bool ok = AppendMenuA(menu, MF_STRING, 1, "One") && AppendMenuA(menu, MF_STRING, 2, "Two");
        DestroyMenu(menu);
        EXPECT_EQ(luma::LiveMenus(), 0u);
        return ok;
    });
}

}  // namespace
}  // namespace user_tests
