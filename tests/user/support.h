// Helpers of the window-manager tests: a message log that window procedures
// write to, a test window class, and a guard that checks nothing is left
// behind (windows, timers, menus, global blocks) when a test ends.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "luma/automation.h"
#include "luma/testing.h"

namespace user_tests {

struct Logged {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Every message the logging procedures see, in order.
std::vector<Logged>& Log();
void ClearLog();

// The messages of the log (optionally only those of one window), as names
// where the test knows them ("WM_CREATE") and numbers otherwise.
std::vector<std::string> Names(HWND only = nullptr);
std::string Name(UINT msg);

// A class whose procedure logs every message and hands it to DefWindowProc.
const char* LoggingClass();

// A window of the logging class.
HWND MakeWindow(DWORD style, HWND parent, int id = 0, RECT rect = {10, 10, 110, 60}, DWORD exStyle = 0);

// Checks that a test leaves no window, timer, menu or global block behind
// and resets the automation state between tests.
class Clean : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    size_t blocks_ = 0;
};

}  // namespace user_tests
