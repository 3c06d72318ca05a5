#include "settings/settings.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "settings/text_parse.h"

DWORD AddDescriptiveCommentBlock = 1;
char CurrentFileName[kSettingTextBytes] = "untitled.lfx";
char DefaultTextureFileName[kSettingTextBytes] = "lumaplug.fft";
DWORD DitherBrightness = 20;
DWORD DitherContrast = 20;
DWORD FastRemap = 0;
char FileNamePath[kSettingTextBytes] = "";
DWORD FirstRun = 1;
char ImageFile[kSettingTextBytes] = "";
DWORD MainDither = 0;
DWORD MainEffect = 15;
DWORD MainMaskBackground = 1;
DWORD MainPalette = 6;
DWORD MainRolling = 1;
DWORD MainSupercompress = 0;
char MatrixLibrary[kSettingTextBytes] = "lumaplug.mtx";
char MatrixDefaultTile[kSettingTextBytes] = "";
char OpenPath[kSettingTextBytes] = "";
DWORD PatchLevel = 1;
DWORD SampleWindowKeyLine = 0;
DWORD SolidBackground = 1;
DWORD ShowFileOpenPreview = 1;
DWORD Truecolour = 1;
DWORD UpdateDelay = 1000;
DWORD VersionNumber = 512;

#define PAGE(n)
#define END_PAGE()
#define SPIN(var, builtIn, ...) DWORD var = builtIn;
#define DELAY(var, builtIn, ...) DWORD var = builtIn;
#define UNSTORED_DELAY(var, builtIn, ...) DWORD var = builtIn;
#define SIGNED(var, builtIn, ...) char var[kSettingTextBytes] = builtIn;
#define COLOUR(var, builtIn, ...) DWORD var = builtIn;
#define CHECK(var, builtIn, ...) DWORD var = builtIn;
#define COMBO(var, builtIn, ...) DWORD var = builtIn;
#define PAD(var, builtIn, ...) DWORD var = builtIn;
#define HIDDEN(var, builtIn) DWORD var = builtIn;
#define LABEL(...)
#include "settings/effect_params.def"
#include "settings/effect_params_undef.h"

namespace {

#define KEY(name, flags) ConfigKey{#name, &name, flags}

constexpr ConfigKey kKeys[] = {
    KEY(AddDescriptiveCommentBlock, kKeyOnOff),
    KEY(CurrentFileName, kKeyText),
    KEY(DefaultTextureFileName, kKeyText),
    KEY(DitherBrightness, kKeyNumber),
    KEY(DitherContrast, kKeyNumber),
    KEY(FastRemap, kKeyOnOff),
    KEY(FileNamePath, kKeyText),
    KEY(FirstRun, kKeyOnOff),
    KEY(ImageFile, kKeyText),
    KEY(MainDither, kKeyOnOff),
    KEY(MainEffect, kKeyNumber),
    KEY(MainMaskBackground, kKeyOnOff),
    KEY(MainPalette, kKeyNumber),
    KEY(MainRolling, kKeyOnOff),
    KEY(MainSupercompress, kKeyOnOff),
    KEY(MatrixLibrary, kKeyText),
    KEY(MatrixDefaultTile, kKeyText),
    KEY(OpenPath, kKeyText),
    KEY(PatchLevel, kKeyNumber | kKeyWrittenOnly),
    KEY(SampleWindowKeyLine, kKeyOnOff),
    KEY(SolidBackground, kKeyOnOff),
    KEY(ShowFileOpenPreview, kKeyOnOff),

#define PAGE(n)
#define END_PAGE()
#define SPIN(var, ...) KEY(var, kKeyNumber),
#define DELAY(var, ...) KEY(var, kKeyNumber),
#define UNSTORED_DELAY(...)
#define SIGNED(var, ...) KEY(var, kKeyText),
#define COLOUR(var, ...) KEY(var, kKeyNumber),
#define CHECK(var, ...) KEY(var, kKeyOnOff),
#define COMBO(var, ...) KEY(var, kKeyNumber),
#define PAD(var, ...) KEY(var, kKeyNumber),
#define HIDDEN(var, builtIn) KEY(var, kKeyNumber),
#define LABEL(...)
#include "settings/effect_params.def"
#include "settings/effect_params_undef.h"

    KEY(Truecolour, kKeyOnOff),
    KEY(UpdateDelay, kKeyNumber),
    KEY(VersionNumber, kKeyNumber | kKeyWrittenOnly),
};

#undef KEY

constexpr std::size_t kGeneralKeyCount = 25;
constexpr std::size_t kEffectKeyCount = 303;
static_assert(std::size(kKeys) == kGeneralKeyCount + kEffectKeyCount);

constexpr bool SameName(const char* a, const char* b) {
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

constexpr bool NamesAreUnique() {
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        for (std::size_t k = i + 1; k < std::size(kKeys); ++k)
            if (SameName(kKeys[i].name, kKeys[k].name)) return false;
    return true;
}
static_assert(NamesAreUnique());

constexpr bool StartsWith(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (*text != *prefix) return false;
    return true;
}

// The effect keys stand between the general ones and run from StyleNumber 0
// to 19 without going back.
constexpr bool EffectKeysInStyleOrder() {
    int last = 0;
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        const char* name = kKeys[i].name;
        bool effect = i >= 22 && i < 22 + kEffectKeyCount;
        if (StartsWith(name, "Style") != effect) return false;
        if (!effect) continue;
        int style = (name[5] - '0') * 100 + (name[6] - '0') * 10 + (name[7] - '0');
        if (style < last || style > 19) return false;
        last = style;
    }
    return last == 19;
}
static_assert(EffectKeysInStyleOrder());

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Longest line kept; the rest of a longer line is passed over, never read as
// a line of its own.
constexpr std::size_t kLineLimit = 4096;

bool ReadLine(std::FILE* file, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line.size() < kLineLimit) line.push_back(static_cast<char>(c));
    }
    return any;
}

const ConfigKey* FindReadableKey(std::string_view prefix) {
    for (const ConfigKey& key : kKeys) {
        if (key.flags & kKeyWrittenOnly) continue;
        if (std::string_view(key.name).substr(0, prefix.size()) == prefix) return &key;
    }
    return nullptr;
}

void ApplyConfigLine(std::string_view line) {
    if (!line.empty() && line.front() == ';') return;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (static_cast<unsigned char>(line[i]) < 32) {
            line = line.substr(0, i);
            break;
        }
    }
    std::size_t end = 0;
    while (end < line.size() && static_cast<unsigned char>(line[end]) > 32 && line[end] != '=') ++end;
    // An empty key would match the first key of the table; a blank line must not.
    if (end == 0) return;
    const ConfigKey* key = FindReadableKey(line.substr(0, end));
    if (!key) return;

    std::size_t value = end;
    while (value < line.size() && line[value] == ' ') ++value;
    if (value < line.size() && line[value] == '=') {
        while (value < line.size() && (line[value] == '=' || line[value] == ' ')) ++value;
    }
    std::string_view text = line.substr(value);
    if (key->flags & kKeyText) {
        CopyTextSetting(static_cast<char*>(key->address), kSettingTextBytes, text);
    } else {
        *static_cast<DWORD*>(key->address) = ParseSettingNumber(text);
    }
}

}  // namespace

std::span<const ConfigKey> KeyTable() { return kKeys; }

void ReadConfigFileFrom(const char* path, bool shiftHeld) {
    if (!path || !*path) return;
    File file(std::fopen(path, "rb"));
    if (!file || shiftHeld) return;
    std::string line;
    while (ReadLine(file.get(), line)) ApplyConfigLine(line);
}

bool WriteConfigFileTo(const char* path) {
    if (!path || !*path) return false;
    File file(std::fopen(path, "wb"));
    if (!file) return false;

    std::time_t now = std::time(nullptr);
    char stamp[32] = {};
    if (!ctime_r(&now, stamp)) stamp[0] = 0;
    stamp[24] = 0;

    bool ok = std::fprintf(file.get(),
                           ";Vellumark animtion plugin configuration file\r\n"
                           ";Edit this at your own risk\r\n"
                           ";Last updated %s\r\n"
                           ";\r\n"
                           "[PlugIn]\r\n",
                           stamp) > 0;
    for (const ConfigKey& key : kKeys) {
        if (key.flags & kKeyText) {
            ok = ok && std::fprintf(file.get(), "%s = %s\r\n", key.name,
                                    static_cast<const char*>(key.address)) > 0;
        } else {
            ok = ok && std::fprintf(file.get(), "%s = %u\r\n", key.name,
                                    static_cast<unsigned>(*static_cast<const DWORD*>(key.address))) > 0;
        }
    }
    std::FILE* raw = file.release();
    return std::fclose(raw) == 0 && ok;
}
