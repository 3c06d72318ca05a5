// The shell's special folders, mapped to the XDG folders of the user, and
// the common file dialogs, answered by the driver. Paths use "/".
#include <commdlg.h>
#include <shlobj.h>

#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "headless/headless.h"
#include "wm.h"

namespace {

thread_local DWORD dialogError = 0;

std::string Home() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

bool IsDirectory(const std::string& path) {
    struct stat st{};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st{};
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

std::string FromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string ConfigHome() {
    std::string dir = FromEnvironment("XDG_CONFIG_HOME");
    if (!dir.empty()) return dir;
    std::string home = Home();
    return home.empty() ? std::string() : home + "/.config";
}

// A folder of user-dirs.dirs ("$HOME/Documents"), the way xdg-user-dirs writes it.
std::string UserDir(const char* key) {
    std::string fromEnv = FromEnvironment(key);
    if (!fromEnv.empty()) return fromEnv;
    std::string config = ConfigHome();
    if (config.empty()) return {};
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    std::string prefix = std::string(key) + "=";
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, prefix.size(), prefix) != 0) continue;
        std::string value = line.substr(start + prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = Home() + value.substr(5);
        if (!value.empty() && value[0] == '/') return value;
    }
    return {};
}

std::string Documents() {
    std::string xdg = UserDir("XDG_DOCUMENTS_DIR");
    if (IsDirectory(xdg)) return xdg;
    std::string home = Home();
    if (IsDirectory(home + "/Documents")) return home + "/Documents";
    return home;
}

std::string FolderPath(int folder) {
    switch (folder & 0xFF) {
    case CSIDL_APPDATA: return ConfigHome();
    case CSIDL_PERSONAL: return Documents();
    case CSIDL_LOCAL_APPDATA: {
        std::string dir = FromEnvironment("XDG_DATA_HOME");
        if (!dir.empty()) return dir;
        std::string home = Home();
        return home.empty() ? std::string() : home + "/.local/share";
    }
    case CSIDL_DESKTOP: {
        std::string xdg = UserDir("XDG_DESKTOP_DIR");
        if (IsDirectory(xdg)) return xdg;
        std::string home = Home();
        if (IsDirectory(home + "/Desktop")) return home + "/Desktop";
        return home;
    }
    default: return {};
    }
}

bool MakeDirectories(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return IsDirectory(path);
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Join(const std::string& dir, const std::string& name) {
    if (name.empty() || name[0] == '/' || dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string CurrentDirectory() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

// A minimal child dialog for an Explorer-style hook without a template of its own.
struct EmptyChildTemplate {
    DLGTEMPLATE header;
    WORD menu = 0, cls = 0, title = 0;
};

}  // namespace

extern "C" {

BOOL WINAPI SHGetSpecialFolderPathA(HWND, LPSTR path, int folder, BOOL create) {
    if (!path) return FALSE;
    path[0] = '\0';
    std::string dir = FolderPath(folder);
    if (dir.empty() || dir.size() >= MAX_PATH) return FALSE;
    if (!IsDirectory(dir) && !((create || (folder & CSIDL_FLAG_CREATE)) && MakeDirectories(dir))) return FALSE;
    std::memcpy(path, dir.c_str(), dir.size() + 1);
    return TRUE;
}

HRESULT WINAPI SHGetFolderPathA(HWND owner, int folder, HANDLE, DWORD, LPSTR path) {
    if (!path) return E_INVALIDARG;
    path[0] = '\0';
    std::string dir = FolderPath(folder);
    if (dir.empty()) return E_INVALIDARG;
    if (dir.size() >= MAX_PATH) return E_FAIL;
    if (SHGetSpecialFolderPathA(owner, path, folder, (folder & CSIDL_FLAG_CREATE) != 0)) return S_OK;
    std::memcpy(path, dir.c_str(), dir.size() + 1);
    return S_FALSE;  // a valid folder that does not exist
}

DWORD WINAPI CommDlgExtendedError(void) { return dialogError; }

}  // extern "C"

namespace {

std::vector<std::pair<std::string, std::string>> Filters(LPCSTR filter) {
    std::vector<std::pair<std::string, std::string>> out;
    while (filter && *filter) {
        std::string name = filter;
        filter += name.size() + 1;
        std::string pattern = *filter ? filter : "";
        filter += pattern.size() + 1;
        out.emplace_back(name, pattern);
        if (pattern.empty()) break;
    }
    return out;
}

// The Explorer-style frame and the application's hook dialog inside it.
struct HookedDialog {
    HWND frame = nullptr;
    HWND hook = nullptr;

    HookedDialog(LPOPENFILENAMEA ofn, bool save) {
        if (!(ofn->Flags & OFN_ENABLEHOOK) || !ofn->lpfnHook) return;
        int width = 563, height = 419;
        int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        const char* title = ofn->lpstrTitle ? ofn->lpstrTitle : (save ? "Save As" : "Open");
        frame = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, "#32770", title,
                                WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME | DS_3DLOOK, x, y,
                                width, height, ofn->hwndOwner, nullptr, nullptr, nullptr);
        if (!frame) return;
        auto proc = reinterpret_cast<DLGPROC>(ofn->lpfnHook);
        if (ofn->Flags & OFN_ENABLETEMPLATE) {
            hook = CreateDialogParamA(ofn->hInstance, ofn->lpTemplateName, frame, proc, reinterpret_cast<LPARAM>(ofn));
        } else {
            EmptyChildTemplate t{};
            t.header.style = DS_CONTROL | DS_3DLOOK | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
            hook = CreateDialogIndirectParamA(nullptr, &t.header, frame, proc, reinterpret_cast<LPARAM>(ofn));
        }
        if (!hook) return;
        Notify(ofn, CDN_INITDONE, nullptr);
        if (IsWindow(frame)) ShowWindow(frame, SW_SHOWNORMAL);
    }

    ~HookedDialog() {
        if (frame && IsWindow(frame)) DestroyWindow(frame);
    }

    // Sends a notification to the hook; true when the hook answered nonzero.
    bool Notify(LPOPENFILENAMEA ofn, UINT code, LPSTR file) {
        if (!hook || !IsWindow(hook)) return false;
        OFNOTIFYA n{};
        n.hdr.hwndFrom = frame;
        n.hdr.idFrom = 0;
        n.hdr.code = code;
        n.lpOFN = ofn;
        n.pszFile = file;
        SendMessageA(hook, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
        return IsWindow(hook) && GetWindowLongPtrA(hook, DWLP_MSGRESULT) != 0;
    }
};

BOOL FileDialog(LPOPENFILENAMEA ofn, bool save) {
    dialogError = 0;
    if (!ofn || (ofn->lStructSize != sizeof(OPENFILENAMEA) && ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400A)) {
        dialogError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (!ofn->lpstrFile || ofn->nMaxFile == 0) {
        dialogError = CDERR_INITIALIZATION;
        return FALSE;
    }
    luma::FileDialogRequest request;
    request.save = save;
    request.owner = ofn->hwndOwner;
    request.title = ofn->lpstrTitle ? ofn->lpstrTitle : (save ? "Save As" : "Open");
    std::string initialFile(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
    request.initialFile = initialFile;
    std::string initialDir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : "";
    if (initialDir.empty() && initialFile.find('/') != std::string::npos) initialDir = DirectoryOf(initialFile);
    if (initialDir.empty()) initialDir = CurrentDirectory();
    request.initialDir = initialDir;
    request.filters = Filters(ofn->lpstrFilter);
    request.filterIndex = ofn->nFilterIndex ? static_cast<int>(ofn->nFilterIndex) : 1;
    request.defaultExtension = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
    request.flags = ofn->Flags;

    // Modal: the owner takes no input while the dialog is open.
    HWND owner = ofn->hwndOwner && IsWindow(ofn->hwndOwner) ? GetAncestor(ofn->hwndOwner, GA_ROOT) : nullptr;
    bool disabled = owner && IsWindowEnabled(owner) && !EnableWindow(owner, FALSE);
    struct Reenable {
        HWND owner;
        bool active;
        ~Reenable() {
            if (active && IsWindow(owner)) EnableWindow(owner, TRUE);
        }
    } reenable{owner, disabled};

    HookedDialog hooked(ofn, save);
    request.frame = hooked.frame;
    for (;;) {
        std::optional<luma::FileDialogAnswer> answer = luma::CurrentDriver().FileDialog(request);
        if (!answer || answer->path.empty()) return FALSE;
        std::string path = Join(initialDir, answer->path);
        std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
        if (name.empty()) {
            luma::headless::NoteEvent("the file dialog was answered with a folder, not a file: " + path);
            continue;
        }
        if (name.find('.') == std::string::npos && !request.defaultExtension.empty()) {
            path += "." + request.defaultExtension;
            name += "." + request.defaultExtension;
        }
        if ((ofn->Flags & OFN_PATHMUSTEXIST) && !IsDirectory(DirectoryOf(path).empty() ? "/" : DirectoryOf(path))) {
            luma::headless::NoteEvent("the file dialog refused " + path + ": the folder does not exist");
            continue;
        }
        if (!save && (ofn->Flags & OFN_FILEMUSTEXIST) && !Exists(path)) {
            luma::headless::NoteEvent("the file dialog refused " + path + ": the file does not exist");
            continue;
        }
        if (path.size() + 1 > ofn->nMaxFile) {
            // Too long for the caller's buffer: its first two bytes tell the size needed.
            dialogError = FNERR_BUFFERTOOSMALL;
            if (ofn->nMaxFile >= 2) {
                WORD needed = static_cast<WORD>(std::min<size_t>(path.size() + 1, 0xFFFF));
                std::memcpy(ofn->lpstrFile, &needed, sizeof needed);
            }
            return FALSE;
        }
        std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
        size_t nameAt = path.size() - name.size();
        ofn->nFileOffset = static_cast<WORD>(nameAt);
        size_t dot = name.rfind('.');
        ofn->nFileExtension = static_cast<WORD>(dot == std::string::npos ? path.size() : nameAt + dot + 1);
        if (ofn->lpstrFileTitle && ofn->nMaxFileTitle) {
            size_t n = std::min<size_t>(name.size(), ofn->nMaxFileTitle - 1);
            std::memcpy(ofn->lpstrFileTitle, name.c_str(), n);
            ofn->lpstrFileTitle[n] = '\0';
        }
        if (answer->filterIndex > 0) ofn->nFilterIndex = static_cast<DWORD>(answer->filterIndex);
        ofn->Flags &= ~(OFN_READONLY | OFN_EXTENSIONDIFFERENT);
        std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
        if (!request.defaultExtension.empty() && strcasecmp(extension.c_str(), request.defaultExtension.c_str()) != 0)
            ofn->Flags |= OFN_EXTENSIONDIFFERENT;
        if (hooked.Notify(ofn, CDN_FILEOK, ofn->lpstrFile)) continue;  // the hook refused the name
        if (!(ofn->Flags & OFN_NOCHANGEDIR)) {
            std::string dir = DirectoryOf(path);
            if (!dir.empty() && chdir(dir.c_str()) != 0) luma::headless::NoteEvent("could not enter " + dir);
        }
        return TRUE;
    }
}

}  // namespace

extern "C" {

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn) { return FileDialog(ofn, false); }

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn) { return FileDialog(ofn, true); }

}  // extern "C"
