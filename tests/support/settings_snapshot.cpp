#include "tests/support/settings_snapshot.h"

#include <unistd.h>

#include <cstring>

#include "effects/page_tables.h"
#include "settings/settings.h"

namespace testing_support {

SettingsSnapshot::SettingsSnapshot() {
    for (const ConfigKey& key : KeyTable()) {
        bool text = key.flags & kKeyText;
        saved_.push_back({key.address, text, text ? 0 : *static_cast<DWORD*>(key.address),
                          text ? std::string(static_cast<const char*>(key.address)) : std::string()});
    }
    for (const auto& page : kPageParams)
        for (const PageParam& param : page)
            if (param.kind == PageParamKind::UnstoredDelay)
                saved_.push_back({param.setting, false, *static_cast<DWORD*>(param.setting), {}});
}

void SettingsSnapshot::Restore() const {
    for (const Saved& s : saved_) {
        if (s.text) {
            std::memset(s.address, 0, kSettingTextBytes);
            std::memcpy(s.address, s.chars.data(), s.chars.size());
        } else {
            *static_cast<DWORD*>(s.address) = s.number;
        }
    }
}

namespace {
// Settings are constant-initialised, so this sees their built-in values.
const SettingsSnapshot builtIn;
}  // namespace

const SettingsSnapshot& BuiltInSettings() { return builtIn; }

SettingsTest::SettingsTest() {
    static int serial = 0;
    folder = std::filesystem::temp_directory_path() /
             ("lumafex-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(folder);
    BuiltInSettings().Restore();
}

SettingsTest::~SettingsTest() {
    BuiltInSettings().Restore();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace testing_support
