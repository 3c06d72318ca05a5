// The QApplication the tests share (offscreen, whatever the display) and a
// configuration folder of each test's own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class QApplication;

namespace qt_testing {

QApplication& App();

// Lets Qt and the platform run for ms milliseconds of real time.
void RunFor(int ms);

class QtTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path folder;

private:
    std::string savedConfigHome_;
    bool hadConfigHome_ = false;
};

// Where screenshots are kept for a look after the run.
std::filesystem::path ArtifactFolder();

}  // namespace qt_testing
