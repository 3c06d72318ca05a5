#include "tests/support/dialog_fixture.h"

#include <cstdlib>
#include <memory>

#include "dialog/main_dialog.h"
#include "effects/source_image.h"
#include "luma/automation.h"
#include "plugin/lifecycle.h"
#include "plugin/message_dialog.h"
#include "resources/plugin_resources.h"

namespace testing_support {

namespace automation = luma::automation;

void MainDialogTest::SetUp() {
    const char* home = std::getenv("XDG_CONFIG_HOME");
    hadConfigHome_ = home != nullptr;
    if (home) savedConfigHome_ = home;
    // The configuration file and marker files go to this test's own folder.
    std::filesystem::create_directories(folder / "config" / "Vellumark" / "Lumafex");
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    automation::Reset();
}

void MainDialogTest::TearDown() {
    CloseDialog();
    SetSourceImage(nullptr);
    automation::Reset();
    if (hadConfigHome_) setenv("XDG_CONFIG_HOME", savedConfigHome_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}

HWND MainDialogTest::OpenDialog(std::uint8_t hostFlags) {
    CloseDialog();
    host = std::make_unique<TestHost>(hostFlags);
    StartRun(host->context());
    dialog = CreateDialogParamA(PluginModule(), MAKEINTRESOURCE(kMainDialogTemplate), nullptr, MainDialogProc,
                                reinterpret_cast<LPARAM>(host->context()));
    automation::Pump();
    return dialog;
}

void MainDialogTest::CloseDialog() {
    if (dialog) {
        DestroyWindow(dialog);
        automation::Pump();
        EndRun(nullptr);
    }
    dialog = nullptr;
    host.reset();
}

std::string AnswerMessage(const std::function<void()>& action) {
    auto text = std::make_shared<std::string>();
    automation::CurrentScript().Do("answer the message", [text] {
        HWND box = automation::ActiveWindow();
        *text = TextOf(GetDlgItem(box, kMessageTextId));
        return automation::Click(IDOK, box);
    });
    action();
    automation::CurrentScript().Clear();
    return *text;
}

void ChooseEffect(HWND dialog, const char* name) {
    HWND list = GetDlgItem(dialog, kEffectList);
    LRESULT index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kEffectList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kEffectList, CBN_CLOSEUP), reinterpret_cast<LPARAM>(list));
    automation::Pump();
}

std::string TextOf(HWND window) {
    char text[2048] = {};
    if (window) GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace testing_support
