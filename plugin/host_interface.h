// The records and request codes exchanged between the plug-in and its host.
// Their byte layout is the interface: both sides compile this header.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

inline constexpr std::uint32_t kInterfaceVersion = 0x1000;
// Hosts older than this interface version byte are refused.
inline constexpr unsigned kMinimumHostVersionByte = 16;

using HostCallback = std::int64_t (*)(void* task, std::uint32_t code, std::int64_t a, void* b);

enum HostRequest : std::uint32_t {
    kRequestNewAnimation = 1,
    kRequestAddFrame = 2,
    kRequestComment = 3,
    kRequestFinish = 4,
    kRequestNewTestAnimation = 5,
    kRequestChooseImageFile = 6,
    kRequestDecodeImage = 8,
    kRequestShowHelp = 9,
    kRequestStatusText = 10,
    kRequestChooseColour = 11,
    kRequestProgress = 13,
    kRequestBuildPressed = 18,
};

// HostContext flags.
inline constexpr std::uint8_t kHundredthsFlag = 0x01;
inline constexpr std::uint8_t kTrueColourFlag = 0x02;

struct PluginInfoRecord {
    std::uint32_t size;
    std::uint32_t version;
    char name[261];
    char notice[65];
};

struct HostContext {
    std::uint32_t size;
    std::uint32_t version;  // bits 8..15: interface version byte
    std::uint32_t buttonStyle;
    std::uint32_t reserved12;
    HostCallback callback;
    std::uint64_t reserved24;
    std::uint8_t flags;
};

struct ColourRequest {
    std::uint32_t size;
    std::uint32_t version;
    const BYTE* triples;  // 256 RGB triples
    std::uint32_t tripleBits;  // 24
    std::uint32_t unset20;
    COLORREF colour;  // in and out
    std::uint32_t zero28;
    HWND owner;
};

struct TaskRecord {
    std::uint32_t size;
    std::uint32_t version;
    HWND owner;
    std::uint32_t zero16;
    std::uint32_t bitsPerPixel;
    std::uint32_t width;
    std::uint32_t height;
    BYTE palette[768];
    std::uint32_t zero800;
    std::uint32_t frameCount;
    BYTE reserved[272];
};

struct ImageRecord {
    std::uint32_t size;
    std::uint32_t version;
    HGLOBAL image;
    std::uint32_t zero16;
    std::uint32_t transparencyFlag;
    BYTE zero24[8];
    std::uint32_t delay;
    std::uint32_t frameIndex;
    std::int32_t transparentIndex;  // -1: none
    BYTE reserved[68];
};

static_assert(offsetof(PluginInfoRecord, version) == 4 && offsetof(PluginInfoRecord, name) == 8 &&
              offsetof(PluginInfoRecord, notice) == 269 && sizeof(PluginInfoRecord) >= 334);
static_assert(offsetof(HostContext, buttonStyle) == 8 && offsetof(HostContext, callback) == 16 &&
              offsetof(HostContext, flags) == 32);
static_assert(sizeof(ColourRequest) == 40 && offsetof(ColourRequest, triples) == 8 &&
              offsetof(ColourRequest, tripleBits) == 16 && offsetof(ColourRequest, colour) == 24 &&
              offsetof(ColourRequest, owner) == 32);
static_assert(sizeof(TaskRecord) == 1080 && offsetof(TaskRecord, owner) == 8 &&
              offsetof(TaskRecord, bitsPerPixel) == 20 && offsetof(TaskRecord, width) == 24 &&
              offsetof(TaskRecord, height) == 28 && offsetof(TaskRecord, palette) == 32 &&
              offsetof(TaskRecord, zero800) == 800 && offsetof(TaskRecord, frameCount) == 804 &&
              offsetof(TaskRecord, reserved) == 808);
static_assert(sizeof(ImageRecord) == 112 && offsetof(ImageRecord, image) == 8 &&
              offsetof(ImageRecord, transparencyFlag) == 20 && offsetof(ImageRecord, delay) == 32 &&
              offsetof(ImageRecord, frameIndex) == 36 && offsetof(ImageRecord, transparentIndex) == 40 &&
              offsetof(ImageRecord, reserved) == 44);

// The exported entry points, as a host resolves them by name.
using GetPluginParamsFunction = int (*)(PluginInfoRecord*);
using DoBuildFunction = int (*)(HWND, HostContext*);

#define LUMA_EXPORT extern "C" __attribute__((visibility("default")))

LUMA_EXPORT BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
LUMA_EXPORT int PLUGIN16GetPluginParams(PluginInfoRecord* info);
LUMA_EXPORT int PLUGIN16DoBuild(HWND parent, HostContext* context);
