// The plug-in's settings: process-wide variables with built-in values, and
// the key table that joins each to its name in the configuration file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>

// Texts live in fixed buffers of this many bytes (at most 260 characters).
inline constexpr std::size_t kSettingTextBytes = 261;

// General settings, named as their configuration keys.
extern DWORD AddDescriptiveCommentBlock;
extern char CurrentFileName[kSettingTextBytes];
extern char DefaultTextureFileName[kSettingTextBytes];
// Two-colour dithering: brightness and contrast of the tone table.
extern DWORD DitherBrightness;
extern DWORD DitherContrast;
// Non-zero: colours without an exact palette entry are looked up in a
// 15-bit table instead of searched exactly.
extern DWORD FastRemap;
extern char FileNamePath[kSettingTextBytes];
extern DWORD FirstRun;
extern char ImageFile[kSettingTextBytes];
extern DWORD MainDither;
extern DWORD MainEffect;
extern DWORD MainMaskBackground;
extern DWORD MainPalette;
extern DWORD MainRolling;
extern DWORD MainSupercompress;
extern char MatrixLibrary[kSettingTextBytes];
extern char MatrixDefaultTile[kSettingTextBytes];
extern char OpenPath[kSettingTextBytes];
extern DWORD PatchLevel;
extern DWORD SampleWindowKeyLine;
extern DWORD SolidBackground;
extern DWORD ShowFileOpenPreview;
extern DWORD Truecolour;
extern DWORD UpdateDelay;
extern DWORD VersionNumber;

// The effects' settings ("Style" + StyleNumber + parameter name).
#include "settings/effect_settings.h"

// Type flags of a key.
inline constexpr DWORD kKeyOnOff = 0x1;
inline constexpr DWORD kKeyText = 0x2;
inline constexpr DWORD kKeyNumber = 0x4;
inline constexpr DWORD kKeyWrittenOnly = 0x100;

struct ConfigKey {
    const char* name;
    void* address;  // DWORD for on/off values and numbers, kSettingTextBytes chars for texts
    DWORD flags;
};

// Every key in the order the configuration file lists them.
std::span<const ConfigKey> KeyTable();

// The configuration file's name inside the MakerFolder.
inline constexpr const char kConfigFileName[] = "lumaplug.ini";

// Reads the configuration file at path over the current values. Nothing is
// taken when the path is empty, the file cannot be read, or shiftHeld (the
// user asked for defaults).
void ReadConfigFileFrom(const char* path, bool shiftHeld);

// Rewrites the file at path with every key; a file that cannot be created is
// left alone without complaint. Returns whether the whole file was written.
bool WriteConfigFileTo(const char* path);
