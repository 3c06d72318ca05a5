#include <commdlg.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "luma/automation.h"
#include "luma/driver.h"
#include "tests/user/support.h"

extern "C" int luma_c_program_main(void);

namespace user_tests {
namespace {

namespace automation = luma::automation;
namespace fs = std::filesystem;

// Sets environment variables for a test and puts them back afterwards.
class Environment {
public:
    void Set(const char* name, const std::string& value) {
        Remember(name);
        setenv(name, value.c_str(), 1);
    }
    void Unset(const char* name) {
        Remember(name);
        unsetenv(name);
    }
    ~Environment() {
        for (auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    void Remember(const char* name) {
        for (auto& s : saved_)
            if (s.first == name) return;
        const char* v = std::getenv(name);
        saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "lumafex-user-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string Folder(int csidl, BOOL create = FALSE) {
    char path[MAX_PATH];
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, create)) return "<none>";
    return path;
}

class Shell : public Clean {};

TEST_F(Shell, ApplicationDataIsTheXdgConfigFolder) {
    TempDir home;
    Environment env;
    env.Set("HOME", home.path());
    env.Unset("XDG_CONFIG_HOME");
    EXPECT_EQ(Folder(CSIDL_APPDATA), "<none>") << "~/.config does not exist yet";
    EXPECT_EQ(Folder(CSIDL_APPDATA, TRUE), home.path() + "/.config") << "made when asked to";
    EXPECT_TRUE(fs::is_directory(home.path() + "/.config"));
    fs::create_directories(home.path() + "/elsewhere");
    env.Set("XDG_CONFIG_HOME", home.path() + "/elsewhere");
    EXPECT_EQ(Folder(CSIDL_APPDATA), home.path() + "/elsewhere");
    env.Set("XDG_CONFIG_HOME", "relative/is/ignored");
    EXPECT_EQ(Folder(CSIDL_APPDATA), home.path() + "/.config");
    char path[MAX_PATH];
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path), S_OK);
    EXPECT_STREQ(path, (home.path() + "/.config").c_str());
}

TEST_F(Shell, DocumentsFollowTheUserDirsThenDocumentsThenHome) {
    TempDir home;
    Environment env;
    env.Set("HOME", home.path());
    env.Unset("XDG_CONFIG_HOME");
    env.Unset("XDG_DOCUMENTS_DIR");
    EXPECT_EQ(Folder(CSIDL_PERSONAL), home.path()) << "no documents folder at all: home";
    fs::create_directories(home.path() + "/Documents");
    EXPECT_EQ(Folder(CSIDL_PERSONAL), home.path() + "/Documents");
    fs::create_directories(home.path() + "/.config");
    fs::create_directories(home.path() + "/Papers");
    std::ofstream(home.path() + "/.config/user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
    EXPECT_EQ(Folder(CSIDL_PERSONAL), home.path() + "/Papers");
    fs::remove_all(home.path() + "/Papers");
    EXPECT_EQ(Folder(CSIDL_PERSONAL), home.path() + "/Documents") << "a configured folder that is gone is passed over";
    EXPECT_EQ(Folder(0x1234), "<none>") << "a folder the platform does not know";
}

class RecordingDriver : public luma::Driver {
public:
    unsigned long long Now() override { return 0; }
    luma::WaitResult WaitForInput(HWND, std::optional<unsigned long long>) override {
        return luma::WaitResult::kExhausted;
    }
    UINT PopupMenu(const luma::PopupMenuRequest&) override { return 0; }
    std::optional<luma::FileDialogAnswer> FileDialog(const luma::FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) return std::nullopt;
        luma::FileDialogAnswer a{answers.front(), 0};
        answers.erase(answers.begin());
        return a;
    }
    void Beep(UINT) override {}
    std::vector<luma::FileDialogRequest> requests;
    std::vector<std::string> answers;
};

OPENFILENAMEA OpenRequest(char* buffer, DWORD size, const std::string& dir) {
    static std::string initial;
    initial = dir;
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = "LFX files\0*.LFX\0All files\0*.*\0\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    ofn.lpstrInitialDir = initial.c_str();
    ofn.lpstrDefExt = "LFX";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return ofn;
}

TEST_F(Shell, OpenDialogAnswersThroughTheDriver) {
    TempDir dir;
    std::ofstream(dir.path() + "/doc.LFX") << "x";
    RecordingDriver driver;
    driver.answers = {"doc"};
    luma::SetDriver(&driver);
    char buffer[MAX_PATH] = "";
    OPENFILENAMEA ofn = OpenRequest(buffer, sizeof buffer, dir.path());
    std::string cwd = fs::current_path();
    BOOL ok = GetOpenFileNameA(&ofn);
    luma::SetDriver(nullptr);
    ASSERT_TRUE(ok);
    EXPECT_EQ(std::string(buffer), dir.path() + "/doc.LFX") << "the default extension is added to a bare name";
    EXPECT_EQ(ofn.nFileOffset, dir.path().size() + 1);
    EXPECT_EQ(std::string(buffer + ofn.nFileExtension), "LFX");
    EXPECT_EQ(fs::current_path(), cwd) << "OFN_NOCHANGEDIR keeps the current folder";
    ASSERT_EQ(driver.requests.size(), 1u);
    const auto& request = driver.requests[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.initialDir, dir.path());
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].first, "LFX files");
    EXPECT_EQ(request.filters[0].second, "*.LFX");
    EXPECT_EQ(request.filters[1].second, "*.*");
    EXPECT_EQ(request.defaultExtension, "LFX");
}

TEST_F(Shell, OpenDialogRefusesMissingFilesAndCancels) {
    TempDir dir;
    char buffer[MAX_PATH] = "";
    OPENFILENAMEA ofn = OpenRequest(buffer, sizeof buffer, dir.path());
    automation::AnswerNextFileDialog("missing.lfx");
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u) << "cancelled, no error";
    const auto& events = automation::GetReport().events;
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].find("does not exist"), std::string::npos);
    EXPECT_NE(events[1].find("cancelled"), std::string::npos);
    automation::CancelNextFileDialog();
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    ofn.lStructSize = 12;
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
}

TEST_F(Shell, SaveDialogChangesTheFolderUnlessToldNot) {
    TempDir dir;
    char buffer[MAX_PATH] = "";
    OPENFILENAMEA ofn = OpenRequest(buffer, sizeof buffer, dir.path());
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    fs::path cwd = fs::current_path();
    automation::AnswerNextFileDialog("new.txt");
    BOOL ok = GetSaveFileNameA(&ofn);
    fs::path after = fs::current_path();
    fs::current_path(cwd);
    ASSERT_TRUE(ok);
    EXPECT_EQ(std::string(buffer), dir.path() + "/new.txt") << "an extension typed is kept";
    EXPECT_TRUE(ofn.Flags & OFN_EXTENSIONDIFFERENT);
    EXPECT_EQ(after, fs::path(dir.path())) << "Windows moves the current folder to the file's";
}

TEST_F(Shell, TooSmallABufferSaysHowBig) {
    TempDir dir;
    std::ofstream(dir.path() + "/a-rather-long-file-name.LFX") << "x";
    char buffer[8] = "";
    OPENFILENAMEA ofn = OpenRequest(buffer, sizeof buffer, dir.path());
    automation::AnswerNextFileDialog("a-rather-long-file-name.LFX");
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    WORD needed;
    std::memcpy(&needed, buffer, sizeof needed);
    EXPECT_EQ(needed, dir.path().size() + 1 + 27 + 1);
}

struct HookNotes {
    LPARAM initParam = 0;
    bool initDone = false;
    int fileOks = 0;
    HWND frame = nullptr;
    RECT frameAtDestroy{};
};
HookNotes* hookNotes = nullptr;

UINT_PTR CALLBACK Hook(HWND hook, UINT msg, WPARAM, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: hookNotes->initParam = lParam; return TRUE;
    case WM_NOTIFY: {
        auto* n = reinterpret_cast<OFNOTIFYA*>(lParam);
        if (n->hdr.code == CDN_INITDONE) {
            hookNotes->initDone = true;
            hookNotes->frame = GetParent(hook);
            MoveWindow(GetParent(hook), 10, 20, 400, 300, TRUE);
        }
        if (n->hdr.code == CDN_FILEOK) {
            // Refuse the first name, accept the second.
            SetWindowLongPtrA(hook, DWLP_MSGRESULT, hookNotes->fileOks++ == 0 ? 1 : 0);
            return TRUE;
        }
        return FALSE;
    }
    case WM_DESTROY: GetWindowRect(GetParent(hook), &hookNotes->frameAtDestroy); return FALSE;
    default: return FALSE;
    }
}

TEST_F(Shell, ExplorerHookSeesTheDialogsLife) {
    TempDir dir;
    HookNotes notes;
    hookNotes = &notes;
    char buffer[MAX_PATH] = "";
    OPENFILENAMEA ofn = OpenRequest(buffer, sizeof buffer, dir.path());
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    ofn.lpfnHook = Hook;
    automation::AnswerNextFileDialog("first.LFX");
    automation::AnswerNextFileDialog("second.LFX");
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(std::string(buffer), dir.path() + "/second.LFX");
    EXPECT_EQ(notes.initParam, reinterpret_cast<LPARAM>(&ofn));
    EXPECT_TRUE(notes.initDone);
    EXPECT_EQ(notes.fileOks, 2);
    EXPECT_TRUE(notes.frame && !(GetWindowLongA(notes.frame, GWL_STYLE) & WS_CHILD));
    EXPECT_EQ(notes.frameAtDestroy.left, 10);
    EXPECT_EQ(notes.frameAtDestroy.right - notes.frameAtDestroy.left, 400) << "the frame keeps the size the hook gave it";
    EXPECT_FALSE(IsWindow(notes.frame));
    hookNotes = nullptr;
}

TEST_F(Shell, PlainCProgramRunsToItsEnd) {
    automation::CurrentScript().Wait(100);
    EXPECT_EQ(luma_c_program_main(), 7);
    EXPECT_FALSE(automation::GetReport().scriptRanOut);
}

}  // namespace
}  // namespace user_tests
