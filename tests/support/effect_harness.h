// Runs one effect the way the main dialog does: its page lives in the main
// dialog, fields are set there, and Preview and Build get a BuildContext on
// that dialog. For effect tests: stated edge cases, loops that close (frame N
// equals frame 0), the preview equal to the build's frame 0, golden hashes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "effects/common_build.h"
#include "effects/frame_list.h"
#include "plugin/guards.h"
#include "tests/support/dialog_fixture.h"

namespace testing_support {

// The frames of one build; frees them at the end of its scope.
class BuiltFrames {
public:
    BuiltFrames() = default;
    BuiltFrames(BuiltFrames&& other) noexcept;
    BuiltFrames& operator=(BuiltFrames&&) = delete;
    ~BuiltFrames();

    int result = 0;  // what Build returned
    int count() const { return list.count; }
    FrameRecord operator[](int i) const;  // a copy: the list keeps the images

    FrameList list;
};

// The effect's build on its page in the main dialog, as the page stands,
// apart from the build pipeline; host is the host context the effect sees.
BuiltFrames BuildOnPage(HWND mainDialog, int effect, HostContext* host = nullptr);

class EffectTest : public MainDialogTest {
protected:
    void SetUp() override;

    // Sets a page field, check box or list selection as the user would, so
    // bound settings follow.
    void SetField(int id, int value);
    void SetText(int id, const std::string& text);
    void SetCheck(int id, bool checked);
    void SelectItem(int id, int index);

    // Preview and Build of the effect at table index (effect list order).
    GlobalBlock Preview(int effect);
    BuiltFrames Build(int effect);

    // count consecutive frames of a body whose state is made for the page as
    // it stands (Frames and all), as the build loop renders them: frames past
    // the page's Frames show whether the motion closes its loop. Empty when
    // the state cannot be made; a frame that fails to render is null.
    std::vector<GlobalBlock> RenderSequence(const EffectBody& body, int count);
};

// Table index of the effect with this name; -1 when there is none.
int EffectIndex(const char* name);

// FNV-1a over every byte of a global block: a golden value for a frame.
std::uint64_t BlockHash(HGLOBAL block);

// Whether two blocks hold the same bytes.
bool SameBlock(HGLOBAL a, HGLOBAL b);

}  // namespace testing_support
