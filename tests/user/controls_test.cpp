#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "luma/automation.h"
#include "luma/driver.h"
#include "tests/user/support.h"

namespace user_tests {
namespace {

namespace automation = luma::automation;

// A parent that records the notifications of its controls.
struct Notes {
    std::vector<std::string> list;
    std::vector<NMUPDOWN> deltas;
    LRESULT refuseDelta = 0;
};
Notes* notes = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (notes && msg == WM_COMMAND)
        notes->list.push_back(std::to_string(LOWORD(wParam)) + ":" + std::to_string(HIWORD(wParam)));
    if (notes && msg == WM_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->code == UDN_DELTAPOS) {
            notes->deltas.push_back(*reinterpret_cast<NMUPDOWN*>(lParam));
            if (notes->refuseDelta == 2) reinterpret_cast<NMUPDOWN*>(lParam)->iDelta *= 5;
            return notes->refuseDelta == 1;
        }
    }
    if (notes && (msg == WM_VSCROLL || msg == WM_HSCROLL))
        notes->list.push_back((msg == WM_VSCROLL ? "v" : "h") + std::to_string(LOWORD(wParam)) + "@" +
                              std::to_string(static_cast<short>(HIWORD(wParam))));
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class Controls : public Clean {
protected:
    void SetUp() override {
        Clean::SetUp();
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ParentProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "UserTestsParent";
            registered = RegisterClassA(&wc) != 0;
        }
        notes = &notes_;
        parent_ = CreateWindowExA(0, "UserTestsParent", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_TRUE(parent_);
    }
    void TearDown() override {
        DestroyWindow(parent_);
        notes = nullptr;
        Clean::TearDown();
    }
    HWND Make(const char* cls, const char* text, DWORD style, int id, RECT r = {10, 10, 110, 30}) {
        HWND h = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                                 nullptr);
        notes_.list.clear();
        return h;
    }
    std::string Text(HWND h) {
        char buffer[256];
        GetWindowTextA(h, buffer, sizeof buffer);
        return buffer;
    }
    HWND parent_ = nullptr;
    Notes notes_;
};

using Strings = std::vector<std::string>;

std::string Code(int id, int code) { return std::to_string(id) + ":" + std::to_string(code); }

TEST_F(Controls, PushButtonClickedOnlyWhenReleasedInside) {
    HWND button = Make("BUTTON", "Go", BS_PUSHBUTTON, 5);
    automation::MouseDown(button, POINT{5, 5});
    EXPECT_EQ(SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
    EXPECT_EQ(GetCapture(), button);
    automation::MouseMove(button, POINT{300, 5});
    EXPECT_EQ(SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED, 0) << "looks released when the mouse leaves";
    automation::MouseUp(button, POINT{300, 5});
    EXPECT_TRUE(notes_.list.empty()) << "released outside: no click";
    EXPECT_EQ(GetCapture(), nullptr);
    automation::Click(button);
    EXPECT_EQ(notes_.list, (Strings{Code(5, BN_CLICKED)}));
    notes_.list.clear();
    SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(notes_.list, (Strings{Code(5, BN_CLICKED)}));
    EXPECT_EQ(SendMessageA(button, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
    SendMessageA(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
    EXPECT_EQ(SendMessageA(button, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
}

TEST_F(Controls, CheckBoxesAndRadioGroups) {
    HWND box = Make("BUTTON", "Box", BS_AUTOCHECKBOX, 1);
    HWND tri = Make("BUTTON", "Tri", BS_AUTO3STATE, 2, RECT{10, 40, 110, 60});
    HWND r1 = Make("BUTTON", "One", BS_AUTORADIOBUTTON | WS_GROUP, 3, RECT{10, 70, 110, 90});
    HWND r2 = Make("BUTTON", "Two", BS_AUTORADIOBUTTON, 4, RECT{10, 100, 110, 120});
    HWND r3 = Make("BUTTON", "Three", BS_AUTORADIOBUTTON, 5, RECT{10, 130, 110, 150});
    automation::Click(box);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    automation::Click(box);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    for (LRESULT expected : {BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED}) {
        automation::Click(tri);
        EXPECT_EQ(SendMessageA(tri, BM_GETCHECK, 0, 0), expected);
    }
    automation::Click(r2);
    EXPECT_EQ(SendMessageA(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
    automation::Click(r3);
    EXPECT_EQ(SendMessageA(r3, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(r2, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "one of a group at a time";
    EXPECT_EQ(SendMessageA(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(GetWindowLongA(r3, GWL_STYLE) & WS_TABSTOP) << "the checked one is the group's tab stop";
    EXPECT_FALSE(GetWindowLongA(r2, GWL_STYLE) & WS_TABSTOP);
    // Plain check boxes leave the checking to their owner.
    HWND manual = Make("BUTTON", "Manual", BS_CHECKBOX, 6, RECT{200, 10, 300, 30});
    automation::Click(manual);
    EXPECT_EQ(SendMessageA(manual, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(notes_.list.back(), Code(6, BN_CLICKED));
    SendMessageA(manual, BM_SETCHECK, 5, 0);
    EXPECT_EQ(SendMessageA(manual, BM_GETCHECK, 0, 0), BST_CHECKED) << "clamped to what the kind can show";
}

TEST_F(Controls, OwnerDrawButtonDoubleClickIsItsOwnNotification) {
    HWND button = Make("BUTTON", "", BS_OWNERDRAW, 9);
    automation::DoubleClick(button);
    EXPECT_EQ(notes_.list, (Strings{Code(9, BN_CLICKED), Code(9, BN_DOUBLECLICKED)}))
        << "the second press of a double click does not press the button";
}

TEST_F(Controls, EditTextSelectionAndNotifications) {
    HWND edit = Make("EDIT", "start", ES_AUTOHSCROLL, 11);
    EXPECT_EQ(Text(edit), "start");
    EXPECT_TRUE(notes_.list.empty()) << "creation text is no change";
    SetWindowTextA(edit, "hello");
    EXPECT_EQ(notes_.list, (Strings{Code(11, EN_UPDATE), Code(11, EN_CHANGE)})) << "WM_SETTEXT notifies as Windows does";
    EXPECT_FALSE(SendMessageA(edit, EM_GETMODIFY, 0, 0));
    notes_.list.clear();
    SendMessageA(edit, EM_SETSEL, 1, 3);
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u);
    EXPECT_EQ(end, 3u);
    SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("EL"));
    EXPECT_EQ(Text(edit), "hELlo");
    EXPECT_EQ(notes_.list, (Strings{Code(11, EN_UPDATE), Code(11, EN_CHANGE)}));
    EXPECT_TRUE(SendMessageA(edit, EM_GETMODIFY, 0, 0));
    EXPECT_TRUE(SendMessageA(edit, EM_CANUNDO, 0, 0));
    SendMessageA(edit, EM_UNDO, 0, 0);
    EXPECT_EQ(Text(edit), "hello");
    // -1 as the end means the end of the text; reversed ends are ordered.
    SendMessageA(edit, EM_SETSEL, 4, -1);
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 4u);
    EXPECT_EQ(end, 5u);
    SendMessageA(edit, EM_SETSEL, 3, 1);
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u);
    EXPECT_EQ(end, 3u);
    EXPECT_EQ(SendMessageA(edit, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS);
}

TEST_F(Controls, EditTypingKeysAndLimits) {
    HWND edit = Make("EDIT", "", ES_AUTOHSCROLL, 12);
    ASSERT_TRUE(automation::Type(edit, "abcd"));
    EXPECT_EQ(Text(edit), "abcd");
    int changes = 0;
    for (const auto& n : notes_.list) changes += n == Code(12, EN_CHANGE);
    EXPECT_EQ(changes, 4) << "one change per character typed";
    automation::PressKey(VK_LEFT);
    automation::PressKey(VK_BACK);
    EXPECT_EQ(Text(edit), "abd");
    automation::PressKey(VK_HOME);
    automation::PressKey(VK_DELETE);
    EXPECT_EQ(Text(edit), "bd");
    SendMessageA(edit, EM_LIMITTEXT, 3, 0);
    notes_.list.clear();
    automation::PressKey(VK_END);
    automation::PressKey('X');
    automation::PressKey('Y');
    EXPECT_EQ(Text(edit), "bdx");
    EXPECT_EQ(notes_.list.back(), Code(12, EN_MAXTEXT));
    // Typing replaces the whole text, an empty text included.
    ASSERT_TRUE(automation::Type(edit, ""));
    EXPECT_EQ(Text(edit), "");
}

TEST_F(Controls, WithoutAutoScrollOnlyWhatFitsIsTaken) {
    HWND narrow = Make("EDIT", "", 0, 15, RECT{10, 10, 40, 30});
    ASSERT_TRUE(automation::Type(narrow, "WWWWWWWWWW"));
    std::string text = Text(narrow);
    EXPECT_FALSE(text.empty());
    EXPECT_LT(text.size(), 10u) << "typing stops at the right edge";
    EXPECT_EQ(notes_.list.back(), Code(15, EN_MAXTEXT));
    SendMessageA(narrow, EM_SETSEL, 0, -1);
    SendMessageA(narrow, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("WWWWWWWWWW"));
    EXPECT_EQ(Text(narrow), text) << "EM_REPLACESEL takes as much as typing does";
    SetWindowTextA(narrow, "WWWWWWWWWW");
    EXPECT_EQ(Text(narrow), "WWWWWWWWWW") << "the program may set any text";
    HWND wide = Make("EDIT", "", ES_AUTOHSCROLL, 16, RECT{10, 40, 40, 60});
    ASSERT_TRUE(automation::Type(wide, "WWWWWWWWWW"));
    EXPECT_EQ(Text(wide), "WWWWWWWWWW") << "ES_AUTOHSCROLL scrolls instead";
}

TEST_F(Controls, NumberOnlyAndReadOnlyEdits) {
    HWND number = Make("EDIT", "", ES_NUMBER, 13);
    ASSERT_TRUE(automation::Type(number, "4a2"));
    EXPECT_EQ(Text(number), "42");
    EXPECT_EQ(automation::GetReport().beeps.size(), 1u) << "the refused letter beeps";
    HWND locked = Make("EDIT", "fixed", ES_READONLY, 14, RECT{10, 40, 110, 60});
    automation::Type(locked, "new");
    EXPECT_EQ(Text(locked), "fixed");
    SetWindowTextA(locked, "set by the program");
    EXPECT_EQ(Text(locked), "set by the program");
}

TEST_F(Controls, StaticsPassClicksThroughUnlessAskedToNotify) {
    // The label is created first, so it lies above the button in z-order.
    HWND label = Make("STATIC", "Label", SS_LEFT, 21, RECT{20, 20, 100, 40});
    HWND under = Make("BUTTON", "Under", BS_PUSHBUTTON, 20, RECT{10, 10, 200, 60});
    EXPECT_EQ(SendMessageA(label, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
    automation::MouseDown(label, POINT{5, 5});
    automation::MouseUp(label, POINT{5, 5});
    EXPECT_EQ(notes_.list, (Strings{Code(20, BN_CLICKED)})) << "the static is transparent to the mouse";
    notes_.list.clear();
    SetWindowLongA(label, GWL_STYLE, GetWindowLongA(label, GWL_STYLE) | SS_NOTIFY);
    automation::Click(label);
    EXPECT_EQ(notes_.list, (Strings{Code(21, STN_CLICKED)}));
    (void)under;
}

TEST_F(Controls, ComboBoxItemsAndSelection) {
    HWND combo = Make("COMBOBOX", "", CBS_DROPDOWNLIST | CBS_SORT, 30, RECT{10, 10, 150, 150});
    for (const char* item : {"Pear", "apple", "Fig", "banana"})
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    char text[32];
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i) {
        LRESULT length = SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        EXPECT_EQ(length, static_cast<LRESULT>(std::strlen(text)));
        order.push_back(text);
    }
    EXPECT_EQ(order, (Strings{"apple", "banana", "Fig", "Pear"})) << "sorted without regard to case";
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("FIG")), 2);
    EXPECT_EQ(SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("b")), 1);
    EXPECT_EQ(SendMessageA(combo, CB_FINDSTRING, 1, reinterpret_cast<LPARAM>("b")), 1) << "the search wraps round";
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 3, 0), 3);
    EXPECT_EQ(Text(combo), "Pear");
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 9, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 3) << "an index out of range changes nothing";
    EXPECT_TRUE(notes_.list.empty()) << "selections by the program are not notified";
    EXPECT_EQ(SendMessageA(combo, CB_DELETESTRING, 0, 0), 3);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 2) << "the selection follows its item";
    EXPECT_EQ(SendMessageA(combo, CB_DELETESTRING, 2, 0), 2);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_SETITEMDATA, 1, 77), TRUE);
    EXPECT_EQ(SendMessageA(combo, CB_GETITEMDATA, 1, 0), 77);
    EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXTLEN, 5, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_RESETCONTENT, 0, 0), CB_OKAY);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x")), CB_ERR);
}

TEST_F(Controls, ComboBoxKeyboardAndCancelledList) {
    HWND combo = Make("COMBOBOX", "", CBS_DROPDOWNLIST, 31, RECT{10, 10, 150, 150});
    for (const char* item : {"one", "two", "three"})
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SetFocus(combo);
    notes_.list.clear();
    automation::PressKey(VK_DOWN);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(notes_.list, (Strings{Code(31, CBN_SELCHANGE)}));
    automation::PressKey('T');
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1) << "a letter selects the next item starting with it";
    notes_.list.clear();
    automation::PressKey(VK_F4);
    EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
    automation::PressKey(VK_ESCAPE);
    EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(notes_.list, (Strings{Code(31, CBN_DROPDOWN), Code(31, CBN_SELENDCANCEL), Code(31, CBN_CLOSEUP)}));
    // A click away from an open list closes it as cancelled.
    automation::Click(combo);
    EXPECT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
    notes_.list.clear();
    automation::MouseDown(parent_, POINT{390, 290});
    EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(notes_.list, (Strings{Code(31, CBN_SELENDCANCEL), Code(31, CBN_CLOSEUP)}));
    automation::MouseUp(parent_, POINT{390, 290});
}

TEST_F(Controls, CommonControlsInitialiseAsOnWindows) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_UPDOWN_CLASS};
    EXPECT_TRUE(InitCommonControlsEx(&init));
    init.dwSize = 4;
    EXPECT_FALSE(InitCommonControlsEx(&init)) << "the record must say its own size";
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    HWND spin = CreateUpDownControl(WS_CHILD | WS_VISIBLE, 0, 0, 16, 20, parent_, 49, nullptr, nullptr, 9, 1, 5);
    ASSERT_TRUE(spin);
    EXPECT_EQ(SendMessageA(spin, UDM_GETRANGE, 0, 0), MAKELONG(9, 1));
    EXPECT_EQ(SendMessageA(spin, UDM_GETPOS32, 0, 0), 5);
}

TEST_F(Controls, UpDownRangeAndPosition) {
    HWND spin = Make(UPDOWN_CLASS, "", 0, 40);
    int low = 0, high = 0;
    SendMessageA(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 100) << "Windows' default range runs from 100 down to 0";
    EXPECT_EQ(high, 0);
    SendMessageA(spin, UDM_SETRANGE32, static_cast<WPARAM>(-70000), 70000);
    EXPECT_EQ(SendMessageA(spin, UDM_SETPOS32, 0, 123456), 0) << "returns the previous position";
    EXPECT_EQ(SendMessageA(spin, UDM_GETPOS32, 0, 0), 70000) << "clamped into the range";
    SendMessageA(spin, UDM_SETPOS32, 0, -80000);
    EXPECT_EQ(SendMessageA(spin, UDM_GETPOS32, 0, 0), -70000);
    SendMessageA(spin, UDM_SETRANGE, 0, MAKELONG(50, 10));
    EXPECT_EQ(SendMessageA(spin, UDM_GETRANGE, 0, 0), MAKELONG(50, 10));
    EXPECT_EQ(SendMessageA(spin, UDM_SETBASE, 7, 0), 0) << "only 10 and 16";
    EXPECT_EQ(SendMessageA(spin, UDM_SETBASE, 16, 0), 10);
}

TEST_F(Controls, UpDownBuddyTextFollowsThePosition) {
    HWND edit = Make("EDIT", "", 0, 41);
    HWND spin = Make(UPDOWN_CLASS, "", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS, 42,
                     RECT{0, 0, 16, 20});
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(spin, UDM_GETBUDDY, 0, 0)), edit) << "the window created before it";
    SendMessageA(spin, UDM_SETRANGE32, static_cast<WPARAM>(-5000), 5000);
    notes_.list.clear();
    SendMessageA(spin, UDM_SETPOS32, 0, 1234);
    EXPECT_EQ(Text(edit), "1,234") << "thousands separated unless UDS_NOTHOUSANDS";
    EXPECT_EQ(notes_.list, (Strings{Code(41, EN_UPDATE), Code(41, EN_CHANGE)}));
    SendMessageA(spin, UDM_SETPOS32, 0, -1234);
    EXPECT_EQ(Text(edit), "-1,234");
    SendMessageA(spin, UDM_SETPOS32, 0, -123);
    EXPECT_EQ(Text(edit), "-123");
    // The position is read back from the buddy, separators and all.
    SetWindowTextA(edit, "2,500");
    BOOL failed = TRUE;
    EXPECT_EQ(SendMessageA(spin, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)), 2500);
    EXPECT_FALSE(failed);
    SetWindowTextA(edit, "9999");
    EXPECT_EQ(SendMessageA(spin, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)), 2500) << "out of range: kept";
    EXPECT_TRUE(failed);
    SetWindowTextA(edit, "4,999");
    notes_.list.clear();
    ASSERT_TRUE(automation::Spin(spin, 2));
    EXPECT_EQ(Text(edit), "5,000") << "one step up from the buddy's value, then the end of the range";
    EXPECT_EQ(notes_.deltas.size(), 2u);
    EXPECT_EQ(notes_.deltas[0].iPos, 4999);
    EXPECT_EQ(notes_.deltas[0].iDelta, 1);
    EXPECT_EQ(notes_.deltas[1].iPos, 5000);
    std::vector<std::string> scrolls;
    for (const auto& n : notes_.list)
        if (n[0] == 'v') scrolls.push_back(n);
    EXPECT_EQ(scrolls, (Strings{"v4@5000", "v8@5000", "v4@5000", "v8@5000"}))
        << "SB_THUMBPOSITION after each step, SB_ENDSCROLL on release";
}

TEST_F(Controls, UpDownParentMayRefuseOrChangeTheStep) {
    HWND edit = Make("EDIT", "", 0, 43);
    HWND spin = Make(UPDOWN_CLASS, "", UDS_SETBUDDYINT | UDS_AUTOBUDDY | UDS_NOTHOUSANDS, 44, RECT{120, 10, 136, 30});
    ASSERT_EQ(reinterpret_cast<HWND>(SendMessageA(spin, UDM_GETBUDDY, 0, 0)), edit);
    SendMessageA(spin, UDM_SETRANGE32, 0, 100);
    SendMessageA(spin, UDM_SETPOS32, 0, 10);
    notes_.refuseDelta = 1;
    automation::Spin(spin, 1);
    EXPECT_EQ(Text(edit), "10");
    notes_.refuseDelta = 2;
    automation::Spin(spin, 1);
    EXPECT_EQ(Text(edit), "15") << "the parent multiplied the step by five";
    notes_.refuseDelta = 0;
    automation::Spin(spin, -1);
    EXPECT_EQ(Text(edit), "14");
}

TEST_F(Controls, UpDownWrapsWhenAsked) {
    HWND edit = Make("EDIT", "", 0, 45);
    HWND spin = Make(UPDOWN_CLASS, "", UDS_SETBUDDYINT | UDS_AUTOBUDDY | UDS_WRAP, 46, RECT{120, 10, 136, 30});
    SendMessageA(spin, UDM_SETRANGE32, 1, 3);
    SendMessageA(spin, UDM_SETPOS32, 0, 3);
    automation::Spin(spin, 1);
    EXPECT_EQ(Text(edit), "1");
    automation::Spin(spin, -1);
    EXPECT_EQ(Text(edit), "3");
    (void)spin;
}

TEST_F(Controls, HeldArrowRepeatsOnTheClock) {
    HWND edit = Make("EDIT", "", 0, 47);
    HWND spin = Make(UPDOWN_CLASS, "", UDS_SETBUDDYINT | UDS_AUTOBUDDY, 48, RECT{120, 10, 136, 40});
    SendMessageA(spin, UDM_SETRANGE32, 0, 1000);
    SendMessageA(spin, UDM_SETPOS32, 0, 0);
    automation::MouseDown(spin, POINT{8, 4});
    EXPECT_EQ(Text(edit), "1");
    automation::Wait(499);
    EXPECT_EQ(Text(edit), "1") << "the first repeat waits half a second";
    automation::Wait(1);
    EXPECT_EQ(Text(edit), "2");
    automation::Wait(100);
    EXPECT_EQ(Text(edit), "4") << "then every 50 ms";
    automation::MouseUp(spin, POINT{8, 4});
    automation::Wait(500);
    EXPECT_EQ(Text(edit), "4");
    EXPECT_EQ(luma::LiveTimers(), 0u);
}

}  // namespace
}  // namespace user_tests
