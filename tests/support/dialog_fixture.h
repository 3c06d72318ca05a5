// The main dialog opened without a modal loop, for tests that operate its
// pages and documents; settings, folders and the picture are put back
// afterwards.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "tests/support/settings_snapshot.h"
#include "tests/support/test_host.h"

namespace testing_support {

class MainDialogTest : public SettingsTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the main dialog for host (its set-up runs as in a real run).
    HWND OpenDialog(std::uint8_t hostFlags = kHundredthsFlag);
    void CloseDialog();

    std::unique_ptr<TestHost> host;
    HWND dialog = nullptr;

private:
    std::string savedConfigHome_;
    bool hadConfigHome_ = false;
};

// Runs action and answers the first message dialog it shows with its OK
// button; returns the message's text, empty when none was shown.
std::string AnswerMessage(const std::function<void()>& action);

// Selects the effect named in the main dialog's effect list and closes the
// list, as after the user's choice, so the dialog switches pages.
void ChooseEffect(HWND dialog, const char* name);

// Window text of a control.
std::string TextOf(HWND window);

}  // namespace testing_support
