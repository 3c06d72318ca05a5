#include "tests/support/effect_harness.h"

#include <cstring>
#include <utility>

#include "effects/effect_table.h"
#include "effects/framework.h"
#include "effects/source_image.h"
#include "luma/automation.h"

namespace testing_support {

BuiltFrames::BuiltFrames(BuiltFrames&& other) noexcept
    : result(other.result), list(std::exchange(other.list, FrameList{})) {}

BuiltFrames::~BuiltFrames() { FreeFrameList(&list); }

FrameRecord BuiltFrames::operator[](int i) const {
    GlobalLockGuard<FrameRecord> records(list.records);
    return records.get()[i];
}

void EffectTest::SetUp() {
    MainDialogTest::SetUp();
    OpenDialog();
}

void EffectTest::SetField(int id, int value) { SetText(id, std::to_string(value)); }

void EffectTest::SetText(int id, const std::string& text) {
    SetDlgItemTextA(dialog, id, text.c_str());
    luma::automation::Pump();
}

void EffectTest::SetCheck(int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    luma::automation::Pump();
}

void EffectTest::SelectItem(int id, int index) {
    HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    luma::automation::Pump();
}

GlobalBlock EffectTest::Preview(int effect) {
    BuildContext context{};
    context.page = dialog;
    if (!EffectTable[effect].Preview(&context)) return GlobalBlock();
    return GlobalBlock(context.previewImage);
}

BuiltFrames BuildOnPage(HWND mainDialog, int effect, HostContext* host) {
    BuiltFrames frames;
    BuildContext context{};
    context.page = mainDialog;
    context.frames = &frames.list;
    context.host = host;
    frames.result = EffectTable[effect].Build(&context);
    return frames;
}

BuiltFrames EffectTest::Build(int effect) { return BuildOnPage(dialog, effect, host->context()); }

std::vector<GlobalBlock> EffectTest::RenderSequence(const EffectBody& body, int count) {
    std::vector<GlobalBlock> frames;
    BuildContext context{};
    context.page = dialog;
    context.host = host->context();
    if (body.state) std::memset(body.state, 0, body.stateSize);
    context.state = body.state;
    LONG width = 0, height = 0;
    {
        GlobalBlock source(GetSourceImageCopy());
        GlobalLockGuard<BITMAPINFOHEADER> header(source.get());
        if (!header) return frames;
        width = header->biWidth;
        height = header->biHeight;
    }
    if (!body.Initialise || !body.Initialise(&context, width, height)) return frames;
    for (int i = 0; i < count; ++i) frames.emplace_back(body.RenderFrame(&context, i));
    if (body.FreeState) body.FreeState(&context);
    return frames;
}

int EffectIndex(const char* name) {
    for (int i = 0; i < kEffectCount; ++i)
        if (std::strcmp(EffectTable[i].name, name) == 0) return i;
    return -1;
}

std::uint64_t BlockHash(HGLOBAL block) {
    std::uint64_t hash = 1469598103934665603ull;
    SIZE_T size = GlobalSize(block);
    GlobalLockGuard<BYTE> bytes(block);
    for (SIZE_T i = 0; bytes && i < size; ++i) hash = (hash ^ bytes.get()[i]) * 1099511628211ull;
    return hash;
}

bool SameBlock(HGLOBAL a, HGLOBAL b) {
    SIZE_T size = GlobalSize(a);
    if (size != GlobalSize(b)) return false;
    GlobalLockGuard<BYTE> x(a), y(b);
    return x && y && std::memcmp(x.get(), y.get(), size) == 0;
}

}  // namespace testing_support
