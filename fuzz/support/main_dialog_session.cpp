#include "fuzz/support/main_dialog_session.h"

#include <cstdint>
#include <cstring>

#include "dialog/main_dialog.h"
#include "effects/source_image.h"
#include "fuzz/support/fuzz_support.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "plugin/lifecycle.h"
#include "resources/plugin_resources.h"

namespace fuzzing {
namespace {

namespace automation = luma::automation;

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

HWND Open() {
    knownPicture = CreatePackedDib(6, 5, nullptr, 24);
    FillDibRect(GlobalLock(knownPicture), 0, 0, 3, 5, 0x3366CC);
    GlobalUnlock(knownPicture);
    // A picture is always loaded, so an input that loads another one leaves
    // as many blocks as it found.
    SetSourceImage(CopyGlobalBlock(knownPicture));
    if (!StartRun(&hostContext)) Fail("the run did not start");
    HWND dialog = CreateDialogParamA(PluginModule(), MAKEINTRESOURCE(kMainDialogTemplate), nullptr, MainDialogProc,
                                     reinterpret_cast<LPARAM>(&hostContext));
    if (!dialog) Fail("the main dialog did not open");
    automation::Pump();
    ShowWindow(dialog, SW_HIDE);
    automation::Pump();
    automation::Reset();
    return dialog;
}

}  // namespace

HWND MainDialog() {
    // Lives as long as the process, as the dialog does in a host.
    static const HWND dialog = Open();
    return dialog;
}

}  // namespace fuzzing
