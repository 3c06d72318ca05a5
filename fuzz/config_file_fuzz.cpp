// The configuration file reader on any bytes: every text setting stays
// terminated inside its buffer, and what was read survives a write and a
// second read unchanged.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_support.h"
#include "settings/settings.h"

namespace {

struct Value {
    std::string text;  // the whole buffer for texts
    DWORD number = 0;
    bool operator==(const Value&) const = default;
};

std::vector<Value> CurrentValues() {
    std::vector<Value> values;
    for (const ConfigKey& key : KeyTable()) {
        Value value;
        if (key.flags & kKeyText)
            value.text.assign(static_cast<const char*>(key.address), kSettingTextBytes);
        else
            value.number = *static_cast<const DWORD*>(key.address);
        values.push_back(std::move(value));
    }
    return values;
}

void Restore(const std::vector<Value>& values) {
    auto keys = KeyTable();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].flags & kKeyText)
            std::memcpy(keys[i].address, values[i].text.data(), kSettingTextBytes);
        else
            *static_cast<DWORD*>(keys[i].address) = values[i].number;
    }
}

void CheckTexts() {
    for (const ConfigKey& key : KeyTable()) {
        if (!(key.flags & kKeyText)) continue;
        const char* text = static_cast<const char*>(key.address);
        std::size_t length = strnlen(text, kSettingTextBytes);
        if (length >= kSettingTextBytes) fuzzing::Fail("text setting without its terminator", key.name);
        for (std::size_t i = length; i < kSettingTextBytes; ++i)
            if (text[i]) fuzzing::Fail("text setting with bytes left after its end", key.name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<Value> builtIn = CurrentValues();
    static const std::string written = fuzzing::PrivateFolder() + "/written.ini";

    Restore(builtIn);
    ReadConfigFileFrom(fuzzing::WriteInputFile("lumaplug.ini", data, size).c_str(), false);
    CheckTexts();
    const std::vector<Value> read = CurrentValues();

    if (!WriteConfigFileTo(written.c_str())) fuzzing::Fail("cannot write the configuration file", written);
    Restore(builtIn);
    ReadConfigFileFrom(written.c_str(), false);
    const std::vector<Value> reread = CurrentValues();
    auto keys = KeyTable();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (read[i] == reread[i]) continue;
        fuzzing::Fail("a value changed on its way through the file",
                      std::string(keys[i].name) + ": " + std::to_string(read[i].number) + " became " +
                          std::to_string(reread[i].number) + " / \"" + read[i].text.c_str() + "\" became \"" +
                          reread[i].text.c_str() + "\"");
    }
    return 0;
}
