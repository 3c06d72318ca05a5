// The Qt driver on windows of the test's own: which widget each window gets,
// platform changes shown without echo, a user's actions turned into the
// notifications the control classes send, mouse input, timers, the wait
// cursor, popup menus and file dialogs.
#include <gtest/gtest.h>

#include <commctrl.h>
#include <commdlg.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <string>
#include <vector>

#include "luma/qt_driver.h"
#include "luma/testing.h"
#include "tests/qt/qt_support.h"

namespace {

using qt_testing::QtTest;
using qt_testing::RunFor;

constexpr int kEdit = 101, kCheck = 102, kPush = 103, kCombo = 104, kLabel = 105, kCustom = 106;

struct Heard {
    int id;
    int code;
};
std::vector<Heard> commands;
std::vector<std::pair<UINT, POINT>> mouse;  // custom window: message, client point
int timerTicks = 0;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) commands.push_back(Heard{LOWORD(wParam), HIWORD(wParam)});
    if (msg == WM_TIMER) ++timerTicks;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK CustomProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LBUTTONDOWN || msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP)
        mouse.push_back({msg, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}});
    if (msg == WM_LBUTTONDOWN) SetCapture(hwnd);
    if (msg == WM_LBUTTONUP) ReleaseCapture();
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &r, red);
        DeleteObject(red);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    WNDCLASSA parent{};
    parent.lpfnWndProc = ParentProc;
    parent.lpszClassName = "QtTestParent";
    parent.hbrBackground = GetSysColorBrush(COLOR_3DFACE);
    RegisterClassA(&parent);
    WNDCLASSA custom{};
    custom.lpfnWndProc = CustomProc;
    custom.lpszClassName = "QtTestCustom";
    RegisterClassA(&custom);
}

class QtDriverTest : public QtTest {
protected:
    void SetUp() override {
        QtTest::SetUp();
        RegisterClasses();
        commands.clear();
        mouse.clear();
        timerTicks = 0;
        qt = std::make_unique<luma::qt::ScopedQtDriver>();
        top = CreateWindowExA(0, "QtTestParent", "Driver test", WS_OVERLAPPEDWINDOW, 40, 30, 400, 300, nullptr,
                              nullptr, nullptr, nullptr);
        ASSERT_TRUE(top);
        auto child = [&](const char* cls, const char* text, DWORD style, int id, int x, int y, int w, int h) {
            return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, top,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        };
        edit = child("EDIT", "", WS_BORDER | ES_AUTOHSCROLL, kEdit, 10, 10, 120, 22);
        check = child("BUTTON", "&Check", BS_AUTOCHECKBOX, kCheck, 10, 40, 120, 20);
        push = child("BUTTON", "Push", BS_PUSHBUTTON, kPush, 10, 70, 80, 24);
        combo = child("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, kCombo, 10, 100, 150, 120);
        label = child("STATIC", "&Name:", SS_LEFT, kLabel, 200, 10, 80, 16);
        custom = child("QtTestCustom", "", 0, kCustom, 200, 40, 100, 80);
        ShowWindow(top, SW_SHOW);
        UpdateWindow(top);
        RunFor(50);
    }
    void TearDown() override {
        if (IsWindow(top)) DestroyWindow(top);
        qt.reset();
        QtTest::TearDown();
    }
    QWidget* W(HWND hwnd) { return qt->driver().WidgetOf(hwnd); }
    // The notifications from a control, focus changes left out.
    std::vector<int> Codes(int id) {
        std::vector<int> out;
        for (const Heard& h : commands)
            if (h.id == id && h.code != EN_SETFOCUS && h.code != EN_KILLFOCUS &&
                !(id == kCombo && (h.code == CBN_SETFOCUS || h.code == CBN_KILLFOCUS)))
                out.push_back(h.code);
        return out;
    }
    std::string Text(HWND hwnd) {
        char buffer[256] = {};
        GetWindowTextA(hwnd, buffer, sizeof buffer);
        return buffer;
    }

    std::unique_ptr<luma::qt::ScopedQtDriver> qt;
    HWND top = nullptr, edit = nullptr, check = nullptr, push = nullptr, combo = nullptr, label = nullptr,
         custom = nullptr;
};

TEST_F(QtDriverTest, EachWindowGetsItsKindOfWidgetAtItsPlace) {
    EXPECT_TRUE(dynamic_cast<QLineEdit*>(W(edit)));
    EXPECT_TRUE(dynamic_cast<QCheckBox*>(W(check)));
    EXPECT_TRUE(dynamic_cast<QPushButton*>(W(push)));
    EXPECT_TRUE(dynamic_cast<QComboBox*>(W(combo)));
    EXPECT_TRUE(dynamic_cast<QLabel*>(W(label)));
    QWidget* view = W(custom);
    ASSERT_TRUE(view);
    EXPECT_FALSE(dynamic_cast<QLabel*>(view) || dynamic_cast<QAbstractButton*>(view));
    EXPECT_EQ(qt->driver().WindowOf(view), custom);
    EXPECT_EQ(view->parentWidget(), W(top));
    EXPECT_EQ(view->geometry(), QRect(200, 40, 100, 80));
    EXPECT_TRUE(W(top)->isVisible());
    RECT client;
    GetClientRect(top, &client);
    EXPECT_EQ(W(top)->size(), QSize(client.right, client.bottom));
    EXPECT_EQ(W(top)->windowTitle(), "Driver test");
    EXPECT_EQ(static_cast<QLabel*>(W(label))->text(), "Name:");
    EXPECT_EQ(static_cast<QCheckBox*>(W(check))->text(), "&Check");  // Qt's own mnemonic mark

    // The custom window's widget shows what its procedure painted.
    QImage shot = W(top)->grab().toImage();
    EXPECT_EQ(shot.pixelColor(250, 80), QColor(255, 0, 0));
}

TEST_F(QtDriverTest, PlatformChangesShowWithoutEcho) {
    SetWindowTextA(edit, "abc");
    CheckDlgButton(top, kCheck, BST_CHECKED);
    for (const char* item : {"One", "Two", "Three"}) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageA(combo, CB_SETCURSEL, 2, 0);
    SetWindowTextA(label, "A && B");
    RunFor(50);
    EXPECT_EQ(static_cast<QLineEdit*>(W(edit))->text(), "abc");
    EXPECT_TRUE(static_cast<QCheckBox*>(W(check))->isChecked());
    auto* list = static_cast<QComboBox*>(W(combo));
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentText(), "Three");
    EXPECT_EQ(static_cast<QLabel*>(W(label))->text(), "A & B");
    // Only the edit's own EN_UPDATE/EN_CHANGE for WM_SETTEXT; nothing came back from the widgets.
    EXPECT_EQ(Codes(kEdit), (std::vector<int>{EN_UPDATE, EN_CHANGE}));
    EXPECT_TRUE(Codes(kCheck).empty());
    EXPECT_TRUE(Codes(kCombo).empty());

    EnableWindow(push, FALSE);
    ShowWindow(label, SW_HIDE);
    MoveWindow(custom, 210, 50, 60, 30, TRUE);
    RunFor(20);
    EXPECT_FALSE(W(push)->isEnabled());
    EXPECT_FALSE(W(label)->isVisible());
    EXPECT_EQ(W(custom)->geometry(), QRect(210, 50, 60, 30));
}

TEST_F(QtDriverTest, AUsersActionsBecomeTheControlsNotifications) {
    SetWindowTextA(edit, "ab");
    for (const char* item : {"One", "Two", "Three"}) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    RunFor(20);
    commands.clear();

    auto* field = static_cast<QLineEdit*>(W(edit));
    QApplication::setActiveWindow(W(top));
    field->setFocus();
    field->end(false);
    QTest::keyClicks(field, "cd");
    RunFor(20);
    EXPECT_EQ(Text(edit), "abcd");
    EXPECT_EQ(GetFocus(), edit);
    std::vector<int> editCodes = Codes(kEdit);
    EXPECT_EQ(std::count(editCodes.begin(), editCodes.end(), EN_CHANGE), 2);

    QTest::mouseClick(W(check), Qt::LeftButton);
    RunFor(20);
    EXPECT_EQ(IsDlgButtonChecked(top, kCheck), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(Codes(kCheck), std::vector<int>{BN_CLICKED});

    QTest::mouseClick(W(push), Qt::LeftButton);
    RunFor(20);
    EXPECT_EQ(Codes(kPush), std::vector<int>{BN_CLICKED});

    // A disabled button's widget takes no click, so nothing reaches the window.
    EnableWindow(push, FALSE);
    RunFor(10);
    QTest::mouseClick(W(push), Qt::LeftButton);
    RunFor(20);
    EXPECT_EQ(Codes(kPush).size(), 1u);

    auto* list = static_cast<QComboBox*>(W(combo));
    QTest::mouseClick(list, Qt::LeftButton);
    RunFor(600);  // the list ignores a release right after it opened
    QAbstractItemView* view = list->view();
    ASSERT_TRUE(view->isVisible());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(1, 0)).center());
    RunFor(50);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Codes(kCombo), (std::vector<int>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
}

TEST_F(QtDriverTest, MouseInputReachesTheWindowProcedureInClientCoordinates) {
    QWidget* view = W(custom);
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(5, 7));
    QTest::mouseMove(view, QPoint(30, 20));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(31, 21));
    RunFor(30);
    ASSERT_GE(mouse.size(), 3u);
    EXPECT_EQ(mouse.front().first, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(mouse.front().second.x, 5);
    EXPECT_EQ(mouse.front().second.y, 7);
    EXPECT_EQ(mouse.back().first, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(mouse.back().second.x, 31);
    EXPECT_EQ(mouse.back().second.y, 21);
    bool moved = false;
    for (auto& [msg, at] : mouse) moved |= msg == WM_MOUSEMOVE && at.x == 30 && at.y == 20;
    EXPECT_TRUE(moved);
}

TEST_F(QtDriverTest, DestroyedWindowsTakeTheirWidgetsWithThem) {
    QPointer<QWidget> frame = W(top), field = W(edit), view = W(custom);
    DestroyWindow(custom);
    EXPECT_FALSE(view);
    EXPECT_EQ(W(custom), nullptr);
    DestroyWindow(top);
    EXPECT_FALSE(frame);
    EXPECT_FALSE(field);
    EXPECT_EQ(W(edit), nullptr);
}

TEST_F(QtDriverTest, TimersRunInRealTimeWhileTheLoopWaitsInQt) {
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(SetTimer(top, 7, 120, nullptr));
    MSG msg;
    while (timerTicks == 0 && GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    KillTimer(top, 7);
    EXPECT_EQ(timerTicks, 1);
    EXPECT_GE(clock.elapsed(), 115);  // never early
}

TEST_F(QtDriverTest, TheWaitCursorShowsWhileTheWaitCursorIsSet) {
    HCURSOR before = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ASSERT_TRUE(QApplication::overrideCursor());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_FALSE(QApplication::overrideCursor());
    SetCursor(before);
}

TEST_F(QtDriverTest, PopupMenusAreQMenus) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 31, "&Open");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | MF_GRAYED, 32, "Gone");
    AppendMenuA(menu, MF_STRING, 33, "&Save\tCtrl+S");
    QStringList seen;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!shown) return;
        answer.stop();
        QAction* save = nullptr;
        for (QAction* action : shown->actions()) {
            if (action->isSeparator()) continue;
            seen << action->text() + (action->isEnabled() ? "" : " (off)");
            if (action->text().startsWith("&Save")) save = action;
        }
        if (!save) {
            shown->close();
            return;
        }
        shown->setActiveAction(save);
        QTest::keyClick(shown, Qt::Key_Return);
    });
    answer.start(50);
    UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD, 60, 60, 0, top, nullptr));
    DestroyMenu(menu);
    EXPECT_EQ(chosen, 33u);
    EXPECT_EQ(seen, (QStringList{"&Open", "Gone (off)", "&Save\tCtrl+S"}));
}

TEST_F(QtDriverTest, FileDialogsAreQFileDialogs) {
    std::ofstream(folder / "picture.png") << "x";
    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = top;
    ofn.lpstrFilter = "Pictures\0*.png;*.bmp\0All files\0*.*\0";
    ofn.nFilterIndex = 2;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    std::string dir = folder.string();
    ofn.lpstrInitialDir = dir.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST;
    QStringList filters;
    QString shownFilter, shownFolder;
    // The name is typed: selectFile() leaves the field alone while it has the
    // focus, and the dialog then has nothing to accept.
    auto chosen = qt_testing::AnswerNext<QFileDialog>("the open dialog", [&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        shownFilter = dialog.selectedNameFilter();
        shownFolder = dialog.directory().absolutePath();
        dialog.selectNameFilter(filters.value(0));
        qt_testing::TypeFileName(dialog, "picture.png");
        qt_testing::PressAccept(dialog);
    });
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_TRUE(chosen->Done());
    EXPECT_EQ(std::string(file), (folder / "picture.png").string());
    EXPECT_EQ(filters, (QStringList{"Pictures (*.png *.bmp)", "All files (*.*)"}));
    EXPECT_EQ(shownFilter, "All files (*.*)");
    EXPECT_EQ(shownFolder.toStdString(), std::filesystem::canonical(folder).string());
    EXPECT_EQ(ofn.nFilterIndex, 1u);

    // A file that is not there is not taken: the dialog stays until cancelled.
    file[0] = '\0';
    bool refused = false;
    auto missing = qt_testing::AnswerNext<QFileDialog>("the open dialog, a missing file", [&](QFileDialog& dialog) {
        qt_testing::TypeFileName(dialog, "absent.png");
        qt_testing::PressAccept(dialog);
        refused = dialog.isVisible();
        dialog.reject();
    });
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_TRUE(missing->Done());
    EXPECT_TRUE(refused);
    EXPECT_EQ(file[0], '\0');
    EXPECT_EQ(CommDlgExtendedError(), 0u);  // cancelled, not failed

    // Saving: a new name in the folder, the default extension added.
    ofn.Flags = OFN_OVERWRITEPROMPT;
    ofn.lpstrDefExt = "bmp";
    ofn.nFilterIndex = 1;
    auto saved = qt_testing::AnswerNext<QFileDialog>("the save dialog", [&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        qt_testing::TypeFileName(dialog, "new");
        qt_testing::PressAccept(dialog);
    });
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_TRUE(saved->Done());
    EXPECT_EQ(std::string(file), (folder / "new.bmp").string());
}

}  // namespace
