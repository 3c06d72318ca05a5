// The small dialog the window-manager tests operate: a labelled edit with an
// up-down buddy, a drop-down list, a check box, an owner-drawn button and
// OK/Cancel, as a template in this test program's resource table.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace user_tests {

constexpr int kAmountEdit = 101;
constexpr int kAmountSpin = 102;
constexpr int kEffectList = 103;
constexpr int kDitherCheck = 104;
constexpr int kSwatchButton = 105;
constexpr int kNestedButton = 106;
constexpr int kTestDialogId = 100;
constexpr const char* kTestDialogName = "TESTDIALOG";
constexpr COLORREF kSwatchColor = RGB(200, 40, 60);
constexpr COLORREF kSwatchPressed = RGB(60, 40, 200);

// What the test dialog's procedure saw.
struct Observed {
    std::vector<std::string> events;  // "init", "font", "command 101 768", "notify 102 -722 +1", "timer 15"...
    LPARAM initParam = 0;
    int drawItems = 0;
    DRAWITEMSTRUCT lastDraw{};
    bool nestOnSwatch = false;
    int nestedResult = 0;
    bool ownerDisabledWhileNested = false;
    UINT timerMs = 0;  // a timer to start at WM_INITDIALOG, 0 for none
    std::string amountAtEnd;

    bool Saw(const std::string& event) const;
    size_t IndexOf(const std::string& event) const;
};

// The dialog procedure. lParam of the creating call is an Observed*.
INT_PTR CALLBACK TestDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Item names of the effect list, in order.
const std::vector<std::string>& EffectNames();

}  // namespace user_tests
