// The effect framework: the records handed to effects, the frame list a
// build fills, and the operations every effect shares.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "effects/frame_list.h"
#include "plugin/host_interface.h"

// Marks a BuildContext made for the preview.
inline constexpr DWORD kPreviewFlag = 0x2;

struct BuildContext {
    HWND page;  // the main dialog, where every page control lives
    FrameList* frames;
    void* reserved8;
    HostContext* host;  // null during a preview
    HGLOBAL previewImage;  // set by Preview
    BYTE reserved40[32];
    DWORD flags;
    void* state;  // the effect's per-build state
};
static_assert(offsetof(BuildContext, frames) == 8 && offsetof(BuildContext, host) == 24 &&
              offsetof(BuildContext, previewImage) == 32 && offsetof(BuildContext, reserved40) == 40 &&
              offsetof(BuildContext, flags) == 72 && offsetof(BuildContext, state) == 80 &&
              sizeof(BuildContext) == 88);

using PageSetupOperation = int (*)(BuildContext* context);
using PreviewOperation = int (*)(BuildContext* context);
using BuildOperation = int (*)(BuildContext* context);
// 0x00BBGGRR, or kNoBackground.
using BackgroundColourOperation = DWORD (*)(HWND page, int ask);
// code: 1 page left, 2 page shown, 3 refresh.
using PageEventOperation = int (*)(HWND page, int code);

inline constexpr DWORD kNoBackground = 0xFFFFFFFF;
inline constexpr int kPageLeft = 1;
inline constexpr int kPageShown = 2;
inline constexpr int kPageRefresh = 3;

struct EffectRecord {
    const char* name;
    PageSetupOperation PageSetup;
    PreviewOperation Preview;
    BuildOperation Build;
    BackgroundColourOperation BackgroundColour;
    PageEventOperation PageEvent;
    const DWORD* PageControlList;  // every control id of the page, ended by 0
    void* reserved;
};

// Appends a copy of record. Returns 0 when memory fails; the list is then
// unchanged and the frame still the caller's.
int AppendFrame(FrameList* list, const FrameRecord* record);

// Frees every frame's image and mask and the block; the list is then empty.
void FreeFrameList(FrameList* list);

// The default operations.
DWORD DefaultBackgroundColour(HWND page, int ask);
int DefaultPageEvent(HWND page, int code);
