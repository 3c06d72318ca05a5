// Settings documents on any bytes, opened into the real main dialog: nothing
// crashes or leaks, and the state a document leaves behind is saved and
// opened again without change (a second save gives the same file). One
// dialog takes every input in turn, as a user opens one document after
// another; saving and opening all of its controls is what each input costs.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "dialog/main_dialog.h"
#include "effects/source_image.h"
#include "fuzz/support/fuzz_support.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "plugin/lifecycle.h"
#include "resources/plugin_resources.h"
#include "settings/documents.h"

namespace {

namespace automation = luma::automation;

// The only picture path the host decodes; every other one fails as a
// missing file would.
constexpr char kKnownPicture[] = "known-picture.bmp";

HGLOBAL knownPicture = nullptr;

std::int64_t Answer(void*, std::uint32_t code, std::int64_t, void* b) {
    if (code == kRequestDecodeImage) {
        const char* path = static_cast<const char*>(b);
        return path && std::strcmp(path, kKnownPicture) == 0 ? reinterpret_cast<std::int64_t>(CopyGlobalBlock(knownPicture))
                                                             : 0;
    }
    return code == kRequestStatusText || code == kRequestProgress ? 1 : 0;
}

HostContext hostContext{sizeof(HostContext), kInterfaceVersion, 0, 0, Answer, 0, kHundredthsFlag};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct Session {
    HWND dialog = nullptr;

    Session() {
        knownPicture = CreatePackedDib(6, 5, nullptr, 24);
        FillDibRect(GlobalLock(knownPicture), 0, 0, 3, 5, 0x3366CC);
        GlobalUnlock(knownPicture);
        // A picture is always loaded, so a document that loads another one
        // leaves as many blocks as it found.
        SetSourceImage(CopyGlobalBlock(knownPicture));
        if (!StartRun(&hostContext)) fuzzing::Fail("the run did not start");
        dialog = CreateDialogParamA(PluginModule(), MAKEINTRESOURCE(kMainDialogTemplate), nullptr, MainDialogProc,
                                    reinterpret_cast<LPARAM>(&hostContext));
        if (!dialog) fuzzing::Fail("the main dialog did not open");
        automation::Pump();
        // Documents change values, not pixels: a hidden dialog paints no
        // preview after each one, which leaves time for many more inputs.
        ShowWindow(dialog, SW_HIDE);
        automation::Pump();
        automation::Reset();
    }

    void Open(const std::string& path) {
        OpenDocument(dialog, path.c_str());
        automation::Pump();
    }
};

Session* session = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::Start();
    // Lives as long as the process, as the dialog does in a host.
    static Session opened;
    session = &opened;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string first = fuzzing::PrivateFolder() + "/first.lfx";
    static const std::string second = fuzzing::PrivateFolder() + "/second.lfx";
    const fuzzing::LeakCheck leaks;

    session->Open(fuzzing::WriteInputFile("input.lfx", data, size));
    if (!SaveDocument(session->dialog, first.c_str())) fuzzing::Fail("cannot save the document");
    session->Open(first);
    if (!SaveDocument(session->dialog, second.c_str())) fuzzing::Fail("cannot save the document again");
    const std::string a = ReadFile(first), b = ReadFile(second);
    if (a != b) {
        std::size_t at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
        std::size_t line = a.rfind('\n', at);
        line = line == std::string::npos ? 0 : line + 1;
        fuzzing::Fail("a saved document opened and saved again differs",
                      a.substr(line, a.find('\n', at) - line) + " | " + b.substr(line, b.find('\n', at) - line));
    }

    automation::Reset();
    leaks.Check("opening a document left something behind");
    return 0;
}
