#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "luma/automation.h"
#include "tests/support/fault_walk.h"
#include "tests/user/support.h"
#include "tests/user/test_dialog.h"

namespace user_tests {
namespace {

namespace automation = luma::automation;

std::string Command(int id, int code) { return "command " + std::to_string(id) + " " + std::to_string(code); }

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

INT_PTR RunTestDialog(Observed& seen, HWND owner = nullptr) {
    return DialogBoxParamA(Self(), MAKEINTRESOURCEA(kTestDialogId), owner, TestDialogProc, reinterpret_cast<LPARAM>(&seen));
}

RECT ChildRect(HWND dialog, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class Dialogs : public Clean {};

TEST_F(Dialogs, LaidOutInDialogUnitsOfTheDialogFont) {
    Observed seen;
    HWND dialog = CreateDialogParamA(Self(), kTestDialogName, nullptr, TestDialogProc, reinterpret_cast<LPARAM>(&seen));
    ASSERT_TRUE(dialog);
    // MS Sans Serif 8: 6 x 13 pixels for 4 x 8 dialog units, each value rounded as MulDiv does.
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 190 * 6 / 4);
    EXPECT_EQ(client.bottom, (90 * 13 + 4) / 8);
    RECT ok = ChildRect(dialog, IDOK);
    EXPECT_EQ(ok.left, 80 * 6 / 4);
    EXPECT_EQ(ok.top, (70 * 13 + 4) / 8);
    EXPECT_EQ(ok.right - ok.left, 50 * 6 / 4);
    EXPECT_EQ(ok.bottom - ok.top, (14 * 13 + 4) / 8);
    // The up-down control takes its width off the right of its buddy and overlaps the buddy's border.
    RECT edit = ChildRect(dialog, kAmountEdit);
    RECT spin = ChildRect(dialog, kAmountSpin);
    int spinWidth = 10 * 6 / 4;
    EXPECT_EQ(edit.left, 50 * 6 / 4);
    EXPECT_EQ(edit.right - edit.left, 40 * 6 / 4 - spinWidth);
    EXPECT_EQ(spin.left, edit.right - 2);
    EXPECT_EQ(spin.right - spin.left, spinWidth);
    EXPECT_EQ(spin.top, edit.top);
    EXPECT_EQ(spin.bottom, edit.bottom);
    RECT units{4, 8, 8, 16};
    EXPECT_TRUE(MapDialogRect(dialog, &units));
    EXPECT_EQ(units.left, 6);
    EXPECT_EQ(units.top, 13);
    // A drop-down list is as tall as its text; the height asked for belongs to the open list.
    RECT list = ChildRect(dialog, kEffectList);
    EXPECT_LT(list.bottom - list.top, (60 * 13 + 4) / 8);
    RECT dropped;
    SendDlgItemMessageA(dialog, kEffectList, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    EXPECT_GT(dropped.bottom - dropped.top, list.bottom - list.top);
    DestroyWindow(dialog);
}

TEST_F(Dialogs, InitialisationOrderFontInitFocus) {
    Observed seen;
    HWND dialog = CreateDialogParamA(Self(), MAKEINTRESOURCEA(kTestDialogId), nullptr, TestDialogProc,
                                     reinterpret_cast<LPARAM>(&seen));
    ASSERT_TRUE(dialog);
    ASSERT_GE(seen.events.size(), 2u);
    EXPECT_EQ(seen.events[0], "font") << "WM_SETFONT reaches the dialog before WM_INITDIALOG";
    EXPECT_EQ(seen.events[1], "init");
    EXPECT_EQ(seen.initParam, reinterpret_cast<LPARAM>(&seen));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDOK, WM_GETFONT, 0, 0)), font)
        << "every control gets the dialog's font";
    // TRUE from WM_INITDIALOG puts the focus on the first tab stop, its text selected.
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kAmountEdit));
    DWORD start = 0, end = 0;
    SendDlgItemMessageA(dialog, kAmountEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 2u);
    EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    EXPECT_FALSE(IsWindowVisible(dialog)) << "the template is not WS_VISIBLE";
    DestroyWindow(dialog);
}

TEST_F(Dialogs, ModalDialogDrivenEntirelyByAScript) {
    Observed seen;
    auto& script = automation::CurrentScript();
    script.Type("Amount", "7")
        .Spin(kAmountEdit, 3)
        .SelectItem("Effect", "Snow")
        .SetCheck("Dither", true)
        .Click("OK");
    INT_PTR result = RunTestDialog(seen);
    EXPECT_EQ(result, 1010) << "EndDialog's value, from the amount 7 spun up by 3";
    EXPECT_EQ(seen.amountAtEnd, "10");
    EXPECT_FALSE(automation::GetReport().scriptRanOut);
    EXPECT_TRUE(automation::GetReport().failedSteps.empty());
    // Typing changed the field: EN_UPDATE then EN_CHANGE.
    size_t update = seen.IndexOf(Command(kAmountEdit, EN_UPDATE));
    size_t change = seen.IndexOf(Command(kAmountEdit, EN_CHANGE));
    EXPECT_LT(update, change);
    EXPECT_LT(change, seen.events.size());
    // Spinning: permission first, then the buddy's new text, then the scroll message.
    size_t delta = seen.IndexOf("deltapos 7 1");
    ASSERT_LT(delta, seen.events.size());
    EXPECT_EQ(seen.events[delta + 1], Command(kAmountEdit, EN_UPDATE));
    EXPECT_EQ(seen.events[delta + 2], Command(kAmountEdit, EN_CHANGE));
    EXPECT_EQ(seen.events[delta + 3], "vscroll 8");
    EXPECT_TRUE(seen.Saw("vscroll 10"));
    // Choosing from the list: it opens, the selection changes, it closes on the chosen item.
    size_t drop = seen.IndexOf(Command(kEffectList, CBN_DROPDOWN));
    size_t selchange = seen.IndexOf(Command(kEffectList, CBN_SELCHANGE));
    size_t closeup = seen.IndexOf(Command(kEffectList, CBN_CLOSEUP));
    ASSERT_LT(closeup, seen.events.size());
    EXPECT_LT(drop, selchange);
    EXPECT_LT(selchange, closeup);
    EXPECT_TRUE(seen.Saw(Command(kEffectList, CBN_SELENDOK)));
    EXPECT_EQ(seen.events[closeup + 1], "selection 5");
    // The check box toggled and said so.
    size_t clicked = seen.IndexOf(Command(kDitherCheck, BN_CLICKED));
    ASSERT_LT(clicked, seen.events.size());
    EXPECT_EQ(seen.events[clicked + 1], "checked");
    EXPECT_TRUE(seen.Saw(Command(IDOK, BN_CLICKED)));
}

TEST_F(Dialogs, SpinningStaysWithinTheRange) {
    Observed seen;
    automation::CurrentScript().Spin(kAmountSpin, 30).Click("OK");
    EXPECT_EQ(RunTestDialog(seen), 1020) << "12 spun up 30 times stops at the maximum 20";
    EXPECT_EQ(seen.amountAtEnd, "20");
    automation::Reset();
    Observed down;
    automation::CurrentScript().Type(kAmountEdit, "3").Spin(kAmountEdit, -5).Click("OK");
    EXPECT_EQ(RunTestDialog(down), 1000);
    EXPECT_EQ(down.amountAtEnd, "0");
}

TEST_F(Dialogs, ArrowKeysInTheBuddyStepTheUpDown) {
    Observed seen;
    automation::CurrentScript().Type(kAmountEdit, "5").PressKey(VK_UP).PressKey(VK_UP).PressKey(VK_DOWN).Click("OK");
    EXPECT_EQ(RunTestDialog(seen), 1006);
}

TEST_F(Dialogs, EscapeCancels) {
    Observed seen;
    automation::CurrentScript().Type(kAmountEdit, "9").PressKey(VK_ESCAPE);
    EXPECT_EQ(RunTestDialog(seen), IDCANCEL);
    EXPECT_TRUE(seen.Saw(Command(IDCANCEL, 0)));
    EXPECT_FALSE(automation::GetReport().scriptRanOut);
}

TEST_F(Dialogs, EnterPressesTheDefaultButton) {
    Observed seen;
    automation::CurrentScript().PressKey(VK_RETURN);
    EXPECT_EQ(RunTestDialog(seen), 1012);
    EXPECT_TRUE(seen.Saw(Command(IDOK, BN_CLICKED)));
}

TEST_F(Dialogs, UsedUpScriptEndsTheDialogAsCancelWithoutHanging) {
    Observed seen;
    automation::CurrentScript().Type(kAmountEdit, "4");
    EXPECT_EQ(RunTestDialog(seen), IDCANCEL);
    EXPECT_EQ(seen.amountAtEnd, "4");
    const auto& report = automation::GetReport();
    EXPECT_TRUE(report.scriptRanOut);
    ASSERT_FALSE(report.events.empty());
    EXPECT_NE(report.events.back().find("Test dialog"), std::string::npos) << report.events.back();
}

TEST_F(Dialogs, AFailedStepDropsTheRestAndEndsAsCancel) {
    Observed seen;
    automation::CurrentScript().Click("No such button").Click("OK");
    EXPECT_EQ(RunTestDialog(seen), IDCANCEL);
    const auto& report = automation::GetReport();
    ASSERT_EQ(report.failedSteps.size(), 1u);
    EXPECT_NE(report.failedSteps[0].find("No such button"), std::string::npos);
    EXPECT_TRUE(report.scriptRanOut);
}

TEST_F(Dialogs, TimerFiresAfterTheVirtualWait) {
    Observed seen;
    seen.timerMs = 200;
    automation::CurrentScript().Wait(199).Do("no timer yet", [&] { return !seen.Saw("timer 15"); }).Wait(1).Click("OK");
    EXPECT_EQ(RunTestDialog(seen), 1012);
    EXPECT_TRUE(automation::GetReport().failedSteps.empty());
    ASSERT_TRUE(seen.Saw("timer 15"));
    EXPECT_LT(seen.IndexOf("timer 15"), seen.IndexOf(Command(IDOK, BN_CLICKED)));
}

TEST_F(Dialogs, NestedModalDialogDisablesItsOwner) {
    Observed seen;
    HWND outer = nullptr;
    automation::CurrentScript()
        .Do("remember the dialog", [&] {
            outer = automation::ActiveWindow();
            return outer != nullptr;
        })
        .Click("Nest")
        .Do("the outer dialog is disabled", [&] { return !IsWindowEnabled(outer) && automation::ActiveWindow() != outer; })
        .PressKey(VK_ESCAPE)
        .Do("the outer dialog is back", [&] { return IsWindowEnabled(outer) && automation::ActiveWindow() == outer; })
        .Click("OK");
    EXPECT_EQ(RunTestDialog(seen), 1012);
    EXPECT_TRUE(automation::GetReport().failedSteps.empty());
    EXPECT_EQ(seen.nestedResult, IDCANCEL);
    EXPECT_TRUE(seen.ownerDisabledWhileNested);
    EXPECT_TRUE(seen.Saw("nested done"));
}

TEST_F(Dialogs, ModalDialogDisablesAndRestoresItsOwner) {
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
    Observed seen;
    bool disabled = false;
    automation::CurrentScript().Do("look at the owner", [&] {
        disabled = !IsWindowEnabled(owner);
        return true;
    });
    EXPECT_EQ(RunTestDialog(seen, owner), IDCANCEL);
    EXPECT_TRUE(disabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
    DestroyWindow(owner);
}

WNDPROC editProc = nullptr;

LRESULT CALLBACK RefuseX(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CHAR && wParam == 'x') return 0;  // swallowed before the edit sees it
    return CallWindowProcA(editProc, hwnd, msg, wParam, lParam);
}

TEST_F(Dialogs, SubclassedControlInsideADialog) {
    Observed seen;
    HWND dialog = CreateDialogParamA(Self(), kTestDialogName, nullptr, TestDialogProc, reinterpret_cast<LPARAM>(&seen));
    ShowWindow(dialog, SW_SHOW);
    HWND edit = GetDlgItem(dialog, kAmountEdit);
    editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefuseX)));
    ASSERT_TRUE(automation::Type(kAmountEdit, "1x2x"));
    char text[16];
    GetDlgItemTextA(dialog, kAmountEdit, text, sizeof text);
    EXPECT_STREQ(text, "12");
    // Arrow keys still pass through the subclass to the up-down's hook below it.
    ASSERT_TRUE(automation::PressKey(VK_UP));
    GetDlgItemTextA(dialog, kAmountEdit, text, sizeof text);
    EXPECT_STREQ(text, "13");
    DestroyWindow(dialog);
}

TEST_F(Dialogs, ModelessDialogOperatedImmediately) {
    Observed seen;
    HWND dialog = CreateDialogParamA(Self(), kTestDialogName, nullptr, TestDialogProc, reinterpret_cast<LPARAM>(&seen));
    ShowWindow(dialog, SW_SHOW);
    EXPECT_EQ(automation::ActiveWindow(), dialog);
    ASSERT_TRUE(automation::SelectItem(kEffectList, "Wave"));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0), 7) << "the last item, scrolled into view";
    EXPECT_FALSE(SendDlgItemMessageA(dialog, kEffectList, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_FALSE(automation::SelectItem(kEffectList, "Hail")) << "no such item";
    // Opening the list scrolls it to the selection; the item is looked for after that.
    ASSERT_TRUE(automation::SelectItem(kEffectList, "Arrows"));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0), 0);
    ASSERT_TRUE(automation::SelectItem(kEffectList, "Wave"));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0), 7);
    ASSERT_TRUE(automation::SetCheck(kDitherCheck, true));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kDitherCheck), BST_CHECKED);
    ASSERT_TRUE(automation::SetCheck(kDitherCheck, true));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kDitherCheck), BST_CHECKED) << "already checked: no click";
    ASSERT_TRUE(automation::Click("Dither"));
    EXPECT_EQ(IsDlgButtonChecked(dialog, kDitherCheck), BST_UNCHECKED);
    EXPECT_FALSE(automation::Click(IDOK + 1000)) << "no such control";
    EnableWindow(GetDlgItem(dialog, kDitherCheck), FALSE);
    EXPECT_FALSE(automation::Click(kDitherCheck)) << "a disabled control takes no clicks";
    ASSERT_TRUE(automation::Click("OK"));
    EXPECT_FALSE(IsWindowVisible(dialog)) << "EndDialog hides a modeless dialog";
    EXPECT_TRUE(IsWindow(dialog)) << "and leaves its destruction to the owner";
    DestroyWindow(dialog);
}

TEST_F(Dialogs, DialogItemIntegersAndButtons) {
    Observed seen;
    HWND dialog = CreateDialogParamA(Self(), kTestDialogName, nullptr, TestDialogProc, reinterpret_cast<LPARAM>(&seen));
    BOOL ok = FALSE;
    SetDlgItemInt(dialog, kAmountEdit, static_cast<UINT>(-5), TRUE);
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog, kAmountEdit, &ok, TRUE)), -5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(GetDlgItemInt(dialog, kAmountEdit, &ok, FALSE), static_cast<UINT>(-5)) << "negated modulo 2^32, as strtoul";
    EXPECT_TRUE(ok);
    SetDlgItemInt(dialog, kAmountEdit, 4000000000u, FALSE);
    EXPECT_EQ(GetDlgItemInt(dialog, kAmountEdit, &ok, FALSE), 4000000000u);
    GetDlgItemInt(dialog, kAmountEdit, &ok, TRUE);
    EXPECT_FALSE(ok) << "beyond a signed 32-bit number";
    SetDlgItemTextA(dialog, kAmountEdit, "  42abc");
    EXPECT_EQ(GetDlgItemInt(dialog, kAmountEdit, &ok, TRUE), 42u);
    EXPECT_TRUE(ok) << "leading blanks skipped, reading stops at the first non-digit";
    SetDlgItemTextA(dialog, kAmountEdit, "abc");
    EXPECT_EQ(GetDlgItemInt(dialog, kAmountEdit, &ok, TRUE), 0u);
    EXPECT_FALSE(ok);
    SetDlgItemTextA(dialog, kAmountEdit, "4294967296");
    GetDlgItemInt(dialog, kAmountEdit, &ok, FALSE);
    EXPECT_FALSE(ok);
    CheckDlgButton(dialog, kDitherCheck, BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kDitherCheck), BST_CHECKED);
    CheckDlgButton(dialog, kDitherCheck, BST_INDETERMINATE);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kDitherCheck), BST_CHECKED) << "a two-state box clamps to checked";
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, kEffectList)), kEffectList);
    EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
    DestroyWindow(dialog);
}

TEST_F(Dialogs, MissingTemplateAndBadOwner) {
    EXPECT_EQ(DialogBoxParamA(Self(), "NOSUCHDIALOG", nullptr, TestDialogProc, 0), -1);
    HWND gone = MakeWindow(WS_POPUP, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(DialogBoxParamA(Self(), kTestDialogName, gone, TestDialogProc, 0), 0);
    EXPECT_EQ(CreateDialogParamA(Self(), "NOSUCHDIALOG", nullptr, TestDialogProc, 0), nullptr);
}

INT_PTR CALLBACK EndAtOnce(HWND hwnd, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) {
        EndDialog(hwnd, 77);
        return TRUE;
    }
    return FALSE;
}

TEST_F(Dialogs, EndDialogDuringInitialisation) {
    EXPECT_EQ(DialogBoxParamA(Self(), kTestDialogName, nullptr, EndAtOnce, 0), 77);
    EXPECT_FALSE(automation::GetReport().scriptRanOut) << "it never waited for input";
}

TEST_F(Dialogs, CreationUnderMemoryFaultsLeavesNothing) {
    // A refused window fails the dialog; a refused font or measuring DC does
    // not (the system font stands in), as on Windows. Either way nothing stays.
    size_t gdi = luma::LiveGdiObjects(), dcs = luma::LiveDeviceContexts(), blocks = luma::LiveGlobalBlocks();
    int failures = 0, created = 0;
    for (unsigned n = 1; n < 1000; ++n) {
        luma::FailAllocationAfter(n);
        HWND dialog = CreateDialogParamA(Self(), kTestDialogName, nullptr, TestDialogProc, 0);
        bool fired = !luma::FaultPending();
        luma::FailAllocationAfter(0);
        if (dialog) {
            ++created;
            DestroyWindow(dialog);
        } else {
            ++failures;
        }
        EXPECT_EQ(luma::LiveWindows(), 0u) << "allocation " << n;
        EXPECT_EQ(luma::LiveGdiObjects(), gdi) << "allocation " << n;
        EXPECT_EQ(luma::LiveDeviceContexts(), dcs) << "allocation " << n;
        EXPECT_EQ(luma::LiveGlobalBlocks(), blocks) << "allocation " << n;
        if (!fired) {
            EXPECT_TRUE(dialog) << "no fault, yet no dialog";
            break;
        }
    }
    EXPECT_EQ(failures, 11) << "the dialog window and each of its ten controls";
    EXPECT_GE(created, 2);
}

// An in-memory template in Windows' binary form: one push button.
std::vector<WORD> BinaryTemplate() {
    std::vector<WORD> t;
    auto dword = [&t](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto text = [&t](const char* s) {
        for (; *s; ++s) t.push_back(static_cast<WORD>(*s));
        t.push_back(0);
    };
    dword(WS_POPUP | WS_CAPTION | DS_SETFONT | DS_MODALFRAME);
    dword(0);
    t.push_back(1);  // items
    t.push_back(0);
    t.push_back(0);
    t.push_back(100);
    t.push_back(50);
    t.push_back(0);  // menu
    t.push_back(0);  // class
    text("Binary");
    t.push_back(8);
    text("MS Sans Serif");
    if (t.size() % 2) t.push_back(0);  // items start on a DWORD boundary
    dword(BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP);
    dword(0);
    t.push_back(10);
    t.push_back(10);
    t.push_back(50);
    t.push_back(14);
    t.push_back(IDOK);
    t.push_back(0xFFFF);
    t.push_back(0x0080);  // Button
    text("Go");
    t.push_back(0);  // no creation data
    return t;
}

INT_PTR CALLBACK CloseOnCommand(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND) {
        EndDialog(hwnd, LOWORD(wParam) + 100);
        return TRUE;
    }
    return FALSE;
}

TEST_F(Dialogs, BinaryTemplatesInMemory) {
    std::vector<WORD> t = BinaryTemplate();
    automation::CurrentScript().Click("Go");
    INT_PTR result = DialogBoxIndirectParamA(Self(), reinterpret_cast<const DLGTEMPLATE*>(t.data()), nullptr,
                                             CloseOnCommand, 0);
    EXPECT_EQ(result, IDOK + 100);
    HWND dialog = CreateDialogIndirectParamA(Self(), reinterpret_cast<const DLGTEMPLATE*>(t.data()), nullptr,
                                             CloseOnCommand, 0);
    ASSERT_TRUE(dialog);
    char caption[16];
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "Binary");
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 150);
    DestroyWindow(dialog);
}

TEST_F(Dialogs, CloseRequestBecomesCancel) {
    Observed seen;
    HWND dialog = CreateDialogParamA(Self(), kTestDialogName, nullptr, TestDialogProc, reinterpret_cast<LPARAM>(&seen));
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(dialog)) << "a dialog is not destroyed by WM_CLOSE";
    automation::Pump();
    EXPECT_TRUE(seen.Saw(Command(IDCANCEL, BN_CLICKED)));
    DestroyWindow(dialog);
}

TEST_F(Dialogs, TabMovesTheFocusAcrossTabStops) {
    Observed seen;
    HWND dialog = CreateDialogParamA(Self(), kTestDialogName, nullptr, TestDialogProc, reinterpret_cast<LPARAM>(&seen));
    ShowWindow(dialog, SW_SHOW);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kAmountEdit));
    automation::PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kEffectList));
    automation::PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kDitherCheck));
    automation::PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
    automation::PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDCANCEL));
    // Focus on a push button makes it the default one for the time being.
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDCANCEL), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    automation::PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, kAmountEdit)) << "wraps round";
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    DestroyWindow(dialog);
}

TEST_F(Dialogs, MnemonicClicksTheButton) {
    Observed seen;
    HWND dialog = CreateDialogParamA(Self(), kTestDialogName, nullptr, TestDialogProc, reinterpret_cast<LPARAM>(&seen));
    ShowWindow(dialog, SW_SHOW);
    SetFocus(GetDlgItem(dialog, IDOK));
    automation::PressKey('D');
    EXPECT_EQ(IsDlgButtonChecked(dialog, kDitherCheck), BST_CHECKED);
    DestroyWindow(dialog);
}

}  // namespace
}  // namespace user_tests
