// Saving and restoring every setting, so tests that change settings leave
// the process as they found it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

class SettingsSnapshot {
public:
    // Takes every setting: the key table's and the unstored page delays.
    SettingsSnapshot();
    void Restore() const;

private:
    struct Saved {
        void* address;
        bool text;
        DWORD number;
        std::string chars;
    };
    std::vector<Saved> saved_;
};

// The settings as the program started, before any test ran.
const SettingsSnapshot& BuiltInSettings();

// A test that puts the built-in settings back when it ends and owns a fresh
// temporary folder.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest();
    ~SettingsTest() override;
    std::filesystem::path folder;
};

}  // namespace testing_support
