#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "dialog/main_dialog.h"
#include "luma/automation.h"
#include "luma/gdiplus_sessions.h"
#include "plugin/folders.h"
#include "plugin/host_interface.h"
#include "plugin/lifecycle.h"
#include "plugin/message_dialog.h"
#include "resources/plugin_resources.h"
#include "settings/config_file.h"
#include "settings/settings.h"
#include "tests/support/dialog_fixture.h"

namespace {

namespace automation = luma::automation;
using testing_support::AnswerMessage;
using testing_support::TestHost;
using testing_support::TextOf;

const char kTooOld[] =
    "You need a newer version of Celwright Professional or Reelwright to support this plugin.\n\n"
    "Please visit the Vellumark web page to update your software.";

class Lifecycle : public testing_support::MainDialogTest {};

bool MarkerClassRegistered() {
    WNDCLASSA wc{};
    return GetClassInfoA(PluginModule(), kMarkerWindowClass, &wc) != FALSE;
}

TEST_F(Lifecycle, AHostBelowVersion16IsRefusedWithItsMessage) {
    for (unsigned version : {0u, 1u, 15u}) {
        TestHost old(kHundredthsFlag, version);
        int result = -1;
        std::string text = AnswerMessage([&] { result = PLUGIN16DoBuild(nullptr, old.context()); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(text, kTooOld);
        EXPECT_TRUE(old.requests.empty());
        EXPECT_EQ(luma::LiveGdiplusSessions(), 0u);
        EXPECT_FALSE(MarkerClassRegistered());
    }
}

TEST_F(Lifecycle, NoHostRecordIsAnInternalError) {
    int result = -1;
    EXPECT_EQ(AnswerMessage([&] { result = PLUGIN16DoBuild(nullptr, nullptr); }), "Internal error");
    EXPECT_EQ(result, 0);
}

TEST_F(Lifecycle, EachRunRegistersAndUnregistersItsClassFontsAndGdiplus) {
    for (int run = 0; run < 2; ++run) {
        TestHost host(kHundredthsFlag, 16);
        bool duringRun = false;
        automation::CurrentScript().Do("look inside the run", [&] {
            duringRun = MarkerClassRegistered() && Fonts().arial14 && Fonts().sansSerif14 && Fonts().arial12 &&
                        luma::LiveGdiplusSessions() == 1 && CurrentHostContext() == host.context();
            return automation::Click(IDCANCEL);
        });
        EXPECT_EQ(PLUGIN16DoBuild(nullptr, host.context()), 1);
        EXPECT_TRUE(duringRun) << "run " << run;
        EXPECT_FALSE(MarkerClassRegistered());
        EXPECT_EQ(Fonts().arial14, nullptr);
        EXPECT_EQ(Fonts().arial12, nullptr);
        EXPECT_EQ(luma::LiveGdiplusSessions(), 0u);
        EXPECT_EQ(CurrentHostContext(), nullptr);
    }
}

TEST_F(Lifecycle, ReturnsOneWhateverHappenedInTheDialog) {
    TestHost host(kHundredthsFlag, 16);
    // Nothing scripted: the dialog ends as Cancel would.
    EXPECT_EQ(PLUGIN16DoBuild(nullptr, host.context()), 1);
    EXPECT_TRUE(automation::GetReport().scriptRanOut);
    // The configuration file was written when the dialog closed.
    EXPECT_TRUE(std::filesystem::exists(folder / "config" / "Vellumark" / "lumaplug.ini"));
}

TEST_F(Lifecycle, AHostWithoutCallbackGetsInternalErrorFromTheDialog) {
    TestHost host(kHundredthsFlag, 16);
    host.context()->callback = nullptr;
    std::string message;
    automation::CurrentScript().Do("answer the message", [&] {
        HWND box = automation::ActiveWindow();
        message = TextOf(GetDlgItem(box, kMessageTextId));
        return automation::Click(IDOK, box);
    });
    EXPECT_EQ(PLUGIN16DoBuild(nullptr, host.context()), 1);
    EXPECT_EQ(message, "Internal error");
    // The dialog that cannot work closes itself.
    EXPECT_FALSE(automation::GetReport().scriptRanOut);
}

TEST_F(Lifecycle, AnEmptyOpenPathBecomesTheDocumentsFolder) {
    OpenPath[0] = 0;
    TestHost host(kHundredthsFlag, 16);
    StartRun(host.context());
    std::string documents = DocumentsFolder("");
    EndRun(nullptr);
    EXPECT_EQ(std::string(OpenPath), documents);
    ASSERT_FALSE(documents.empty());
    EXPECT_EQ(documents.back(), '/');
}

TEST_F(Lifecycle, TheModuleFolderEndsInASeparator) {
    TestHost host(kHundredthsFlag, 16);
    StartRun(host.context());
    std::string folderOfModule = ModuleFolder();
    EndRun(nullptr);
    ASSERT_FALSE(folderOfModule.empty());
    EXPECT_EQ(folderOfModule.front(), '/');
    EXPECT_EQ(folderOfModule.back(), '/');
}

TEST_F(Lifecycle, FoldersAreBuiltUnderTheSpecialFolders) {
    std::string config = (folder / "config").string();
    EXPECT_EQ(std::string(MakerFolder("lumaplug.ini")), config + "/Vellumark/lumaplug.ini");
    EXPECT_EQ(std::string(DataFolder("MARKER00470.mkr")), config + "/Vellumark/Lumafex/MARKER00470.mkr");
    EXPECT_EQ(std::string(MakerFolder("")), config + "/Vellumark/");
    char documents[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE));
    std::string expected = documents;
    if (expected.back() != '/') expected += '/';
    EXPECT_EQ(std::string(DocumentsFolder("untitled.lfx")), expected + "untitled.lfx");

    // A trailing separator is not doubled.
    setenv("XDG_CONFIG_HOME", (config + "/").c_str(), 1);
    EXPECT_EQ(std::string(MakerFolder("x")), config + "/Vellumark/x");
}

TEST_F(Lifecycle, EachFolderFunctionHasItsOwnBuffer) {
    const char* maker = MakerFolder("a");
    const char* data = DataFolder("b");
    const char* documents = DocumentsFolder("c");
    EXPECT_NE(maker, data);
    EXPECT_NE(data, documents);
    std::string makerText = maker;
    DataFolder("other");
    EXPECT_EQ(std::string(maker), makerText);
    EXPECT_EQ(MakerFolder("z"), maker);  // the next call overwrites it
}

TEST_F(Lifecycle, LongPathsAreCutToTheBufferSize) {
    std::string deep = (folder / std::string(200, 'd')).string();
    ASSERT_LT(deep.size(), static_cast<std::size_t>(MAX_PATH));
    std::filesystem::create_directories(deep);
    setenv("XDG_CONFIG_HOME", deep.c_str(), 1);
    std::string path = DataFolder(std::string(100, 'n').c_str());
    EXPECT_EQ(path.size(), static_cast<std::size_t>(MAX_PATH - 1));
    EXPECT_EQ(path.substr(0, deep.size()), deep);
}

TEST_F(Lifecycle, AMissingSpecialFolderGivesEmptyPathsAndQuietFileOperations) {
    setenv("XDG_CONFIG_HOME", (folder / "does-not-exist").c_str(), 1);
    EXPECT_STREQ(MakerFolder("lumaplug.ini"), "");
    EXPECT_STREQ(DataFolder("MARKER00470.mkr"), "");
    MainEffect = 3;
    ReadConfigFile();
    WriteConfigFile();
    EXPECT_EQ(MainEffect, 3u);
    EXPECT_FALSE(std::filesystem::exists(folder / "does-not-exist"));
}

TEST(Strings, TheErrorTextsAndTheMissingStringText) {
    EXPECT_STREQ(LoadResourceString(0), "Ok");
    EXPECT_STREQ(LoadResourceString(6), "Memory error");
    EXPECT_STREQ(LoadResourceString(12), "Too many colours");
    EXPECT_STREQ(LoadResourceString(15), "Library error");
    const char* texts[] = {"Ok", "Error opening file", "Corrupted file", "Error reading file", "Function cancelled",
                           "Unsupported function", "Memory error", "Information error", "Unsupported format",
                           "Error renaming file", "Error creating file", "Error writing file", "Too many colours",
                           "Unsuitable image", "Resource error", "Library error"};
    for (UINT id = 0; id < 16; ++id) EXPECT_STREQ(LoadResourceString(id), texts[id]) << id;
    EXPECT_STREQ(LoadResourceString(16), "String table error - this application may be damaged");
    EXPECT_STREQ(LoadResourceString(9999), "String table error - this application may be damaged");
    // One shared buffer.
    EXPECT_EQ(LoadResourceString(1), LoadResourceString(2));
}

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override { automation::Reset(); }
    void TearDown() override { automation::Reset(); }
};

TEST_F(MessageBoxes, ShowsTheTextCentredWithItsFocusOnOk) {
    bool centred = false, focused = false;
    std::string title, text;
    automation::CurrentScript().Do("look at the box", [&] {
        HWND box = automation::ActiveWindow();
        RECT r;
        GetWindowRect(box, &r);
        centred = r.left == (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2 &&
                  r.top == (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
        focused = GetFocus() == GetDlgItem(box, IDOK);
        title = TextOf(box);
        text = TextOf(GetDlgItem(box, kMessageTextId));
        return automation::Click("Ok", box);
    });
    MessageDialog(nullptr, "Something to say");
    EXPECT_TRUE(centred);
    EXPECT_TRUE(focused);
    EXPECT_EQ(title, "Message");
    EXPECT_EQ(text, "Something to say");
    EXPECT_FALSE(automation::GetReport().scriptRanOut);
}

TEST_F(MessageBoxes, QuestionsEndWithTheButtonPressed) {
    bool focusOnYes = false;
    automation::CurrentScript().Do("look", [&] {
        focusOnYes = GetFocus() == GetDlgItem(automation::ActiveWindow(), IDYES);
        return true;
    });
    automation::CurrentScript().Click("No");
    EXPECT_EQ(QuestionDialog(nullptr, "Go on?", kYesNoTemplate), IDNO);
    EXPECT_TRUE(focusOnYes);
    automation::CurrentScript().Click("Yes");
    EXPECT_EQ(QuestionDialog(nullptr, "Go on?", kYesNoTemplate), IDYES);
    automation::CurrentScript().Click("Cancel");
    EXPECT_EQ(QuestionDialog(nullptr, "Save first?", kYesNoCancelTemplate), IDCANCEL);
    EXPECT_EQ(QuestionDialog(nullptr, "No such box", "NOSUCHBOX"), 0);
}

}  // namespace
