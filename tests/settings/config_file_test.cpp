#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "tests/support/expected_pages.h"
#include "tests/support/settings_snapshot.h"

namespace {

using testing_support::ExpectedEffectKeyOrder;
using testing_support::ExpectedGeneralKeysAfter;
using testing_support::ExpectedGeneralKeysBefore;
using testing_support::ExpectedPages;

const ConfigKey* FindKey(const std::string& name) {
    for (const ConfigKey& key : KeyTable())
        if (name == key.name) return &key;
    return nullptr;
}

DWORD Number(const char* name) { return *static_cast<DWORD*>(FindKey(name)->address); }
std::string Text(const char* name) { return static_cast<const char*>(FindKey(name)->address); }

// Every setting as text, to see what a read changed.
std::map<std::string, std::string> AllValues() {
    std::map<std::string, std::string> values;
    for (const ConfigKey& key : KeyTable()) {
        values[key.name] = (key.flags & kKeyText) ? std::string("T:") + static_cast<const char*>(key.address)
                                                  : std::to_string(*static_cast<DWORD*>(key.address));
    }
    return values;
}

class ConfigFile : public testing_support::SettingsTest {
protected:
    std::string Path() const { return (folder / "lumaplug.ini").string(); }
    void WriteFile(const std::string& bytes) const {
        std::ofstream out(Path(), std::ios::binary);
        out << bytes;
    }
    std::string ReadBack() const {
        std::ifstream in(Path(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    void Read(const std::string& bytes, bool shift = false) {
        WriteFile(bytes);
        ReadConfigFileFrom(Path().c_str(), shift);
    }
};

TEST(KeyTable, ListsTheGeneralAndEffectKeysInOrderWithTheirTypes) {
    std::vector<std::string> expected;
    std::vector<unsigned> flags;
    for (const auto& key : ExpectedGeneralKeysBefore()) {
        expected.push_back(key.name);
        flags.push_back(key.flags);
    }
    // Type of every effect key from the pages: check boxes are on/off, the
    // signed angle a text, everything else a number.
    std::map<std::string, unsigned> effectFlags;
    for (const auto& page : ExpectedPages())
        for (const auto& param : page.params)
            if (!param.key.empty())
                effectFlags[param.key] = param.kind == testing_support::Expect::Check    ? 1u
                                         : param.kind == testing_support::Expect::Signed ? 2u
                                                                                         : 4u;
    for (int style = 0; style < 20; ++style) {
        for (const std::string& key : ExpectedEffectKeyOrder(style)) {
            expected.push_back(key);
            ASSERT_TRUE(effectFlags.count(key)) << key << " is on no page table";
            flags.push_back(effectFlags[key]);
        }
    }
    for (const auto& key : ExpectedGeneralKeysAfter()) {
        expected.push_back(key.name);
        flags.push_back(key.flags);
    }
    ASSERT_EQ(KeyTable().size(), expected.size());
    ASSERT_EQ(effectFlags.size(), 303u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(KeyTable()[i].name, expected[i]) << "entry " << i;
        EXPECT_EQ(KeyTable()[i].flags, flags[i]) << expected[i];
    }
}

TEST(KeyTable, StartsWithTheBuiltInValues) {
    testing_support::SettingsSnapshot current;
    testing_support::BuiltInSettings().Restore();
    for (const auto* list : {&ExpectedGeneralKeysBefore(), &ExpectedGeneralKeysAfter()}) {
        for (const auto& key : *list) {
            if (key.builtInText) {
                EXPECT_EQ(Text(key.name), key.builtInText) << key.name;
            } else {
                EXPECT_EQ(Number(key.name), key.builtIn) << key.name;
            }
        }
    }
    for (const auto& page : ExpectedPages()) {
        for (const auto& param : page.params) {
            if (param.key.empty()) continue;
            if (param.kind == testing_support::Expect::Signed) {
                EXPECT_EQ(Text(param.key.c_str()), param.builtInText);
            } else {
                EXPECT_EQ(Number(param.key.c_str()), param.builtIn) << param.key;
            }
        }
    }
    current.Restore();
}

TEST_F(ConfigFile, AFileWithOnlyMainEffectChangesNothingElse) {
    auto before = AllValues();
    Read("MainEffect = 3\r\n");
    auto after = AllValues();
    EXPECT_EQ(after["MainEffect"], "3");
    after["MainEffect"] = before["MainEffect"];
    EXPECT_EQ(after, before);
}

TEST_F(ConfigFile, EqualsSignsAndSpacesAroundThemReadAlike) {
    Read("MainPalette=1\nUpdateDelay = 250\nDitherContrast ==   33\nDitherBrightness   =  = 7\n");
    EXPECT_EQ(MainPalette, 1u);
    EXPECT_EQ(UpdateDelay, 250u);
    EXPECT_EQ(DitherContrast, 33u);
    EXPECT_EQ(DitherBrightness, 7u);
}

TEST_F(ConfigFile, AShortenedKeySetsTheFirstKeyThatBeginsWithIt) {
    Read("Main = 1\nStyle000Fill = 123\nDither = 5\nStyle000D = 9\n");
    EXPECT_EQ(MainDither, 1u);              // before MainEffect and the rest
    EXPECT_EQ(Style000FillColor1, 123u);    // before FillColor2 and FillEnable2
    EXPECT_EQ(DitherBrightness, 5u);
    EXPECT_EQ(DitherContrast, 20u);
    EXPECT_EQ(Style000Density, 9u);         // Density stands before Drift
    EXPECT_EQ(Style000Drift, 8u);
}

TEST_F(ConfigFile, WrittenOnlyKeysAreNotRead) {
    Read("PatchLevel = 77\nVersionNumber = 99\nPa = 5\nV = 3\n");
    EXPECT_EQ(PatchLevel, 1u);
    EXPECT_EQ(VersionNumber, 512u);
}

TEST_F(ConfigFile, WithShiftHeldNothingIsTakenAndTheFileIsRewrittenWithCurrentValues) {
    MainEffect = 4;  // a value current before the read
    Read("MainEffect = 9\nUpdateDelay = 5\n", /*shift=*/true);
    EXPECT_EQ(MainEffect, 4u);
    EXPECT_EQ(UpdateDelay, 1000u);
    ASSERT_TRUE(WriteConfigFileTo(Path().c_str()));
    std::string written = ReadBack();
    EXPECT_NE(written.find("\r\nMainEffect = 4\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nUpdateDelay = 1000\r\n"), std::string::npos);
}

TEST_F(ConfigFile, LongTextsAreCutTo260Characters) {
    std::string longName(300, 'x');
    longName.replace(250, 20, "0123456789abcdefghij");
    Read("CurrentFileName = " + longName + "\r\n");
    EXPECT_EQ(Text("CurrentFileName"), longName.substr(0, 260));
    EXPECT_EQ(CurrentFileName[260], 0);
}

TEST_F(ConfigFile, TheRestOfAVeryLongLineIsNotReadAsALineOfItsOwn) {
    std::string line = "FileNamePath = " + std::string(5000, 'a') + "MainEffect = 7";
    Read(line + "\nUpdateDelay = 20\n");
    EXPECT_EQ(MainEffect, 15u);
    EXPECT_EQ(UpdateDelay, 20u);
    EXPECT_EQ(Text("FileNamePath"), std::string(260, 'a'));
}

TEST_F(ConfigFile, CommentsSectionsBlankLinesAndUnknownKeysAreSkipped) {
    Read(";MainEffect = 2\r\n[PlugIn]\r\n\r\n   \r\n = 0\r\nNoSuchKey = 4\r\nMainEffect = 5\r\n");
    EXPECT_EQ(MainEffect, 5u);
    // A blank line or one without a key must not land on the first key.
    EXPECT_EQ(AddDescriptiveCommentBlock, 1u);
}

TEST_F(ConfigFile, ControlCharactersEndTheLineAndBadNumbersReadAsZero) {
    Read("MainEffect = 3\t9\nUpdateDelay = soon\nMainPalette = -1\nDitherContrast = 99999999999\n");
    EXPECT_EQ(MainEffect, 3u);
    EXPECT_EQ(UpdateDelay, 0u);
    EXPECT_EQ(MainPalette, 0xFFFFFFFFu);  // kept as the unsigned image of -1
    EXPECT_EQ(DitherContrast, 2147483647u);
}

TEST_F(ConfigFile, TextsKeepTheirSpacesAndNonAsciiCharacters) {
    Read("FileNamePath = /home/zoë/Pictures/my photo.png  \r\nOpenPath=\r\n");
    EXPECT_EQ(Text("FileNamePath"), "/home/zoë/Pictures/my photo.png  ");
    EXPECT_EQ(Text("OpenPath"), "");
}

TEST_F(ConfigFile, EmptyPathOrMissingFileKeepsEveryValue) {
    auto before = AllValues();
    ReadConfigFileFrom("", false);
    ReadConfigFileFrom(nullptr, false);
    ReadConfigFileFrom((folder / "absent.ini").string().c_str(), false);
    EXPECT_EQ(AllValues(), before);
}

TEST_F(ConfigFile, AnUncreatableFileIsLeftAloneQuietly) {
    EXPECT_FALSE(WriteConfigFileTo((folder / "no" / "such" / "lumaplug.ini").string().c_str()));
    EXPECT_FALSE(WriteConfigFileTo(""));
}

TEST_F(ConfigFile, WritesTheHeaderAndEveryKeyInTableOrderWithCrLf) {
    ASSERT_TRUE(WriteConfigFileTo(Path().c_str()));
    std::string written = ReadBack();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = written.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(written.substr(start, end - start));
    EXPECT_EQ(start, written.size()) << "the file ends with a complete line";
    EXPECT_EQ(written.find('\n', 0), written.find("\r\n") + 1);
    ASSERT_EQ(lines.size(), 5 + KeyTable().size());
    EXPECT_EQ(lines[0], ";Vellumark animtion plugin configuration file");
    EXPECT_EQ(lines[1], ";Edit this at your own risk");
    // ";Last updated " and ctime's 24 characters: "Wed Jun 30 21:49:08 1993".
    ASSERT_EQ(lines[2].size(), 14u + 24u);
    EXPECT_EQ(lines[2].substr(0, 14), ";Last updated ");
    EXPECT_EQ(lines[2][17], ' ');
    EXPECT_EQ(lines[2][27], ':');
    EXPECT_EQ(lines[3], ";");
    EXPECT_EQ(lines[4], "[PlugIn]");
    EXPECT_EQ(lines[5], "AddDescriptiveCommentBlock = 1");
    EXPECT_EQ(lines[6], "CurrentFileName = untitled.lfx");
    EXPECT_EQ(lines[5 + 22], "Style000Density = 36");
    EXPECT_EQ(lines[lines.size() - 1], "VersionNumber = 512");
    EXPECT_EQ(lines[lines.size() - 3], "Truecolour = 1");
    for (std::size_t i = 0; i < KeyTable().size(); ++i)
        EXPECT_EQ(lines[5 + i].substr(0, std::strlen(KeyTable()[i].name) + 3), std::string(KeyTable()[i].name) + " = ");
    bool angle = false;
    for (const std::string& line : lines) angle = angle || line == "Style019Angle = 30";
    EXPECT_TRUE(angle);
}

TEST_F(ConfigFile, EveryReadableKeyRoundTrips) {
    // Give every setting a value of its own, write, restore the built-ins, read.
    DWORD n = 1000;
    for (const ConfigKey& key : KeyTable()) {
        if (key.flags & kKeyText) {
            std::string text = std::string("text of ") + key.name;
            std::memset(key.address, 0, kSettingTextBytes);
            std::memcpy(key.address, text.data(), text.size());
        } else {
            *static_cast<DWORD*>(key.address) = n++;
        }
    }
    auto written = AllValues();
    ASSERT_TRUE(WriteConfigFileTo(Path().c_str()));
    testing_support::BuiltInSettings().Restore();
    ReadConfigFileFrom(Path().c_str(), false);
    auto read = AllValues();
    // Written-only keys keep their built-in values.
    EXPECT_EQ(read["PatchLevel"], "1");
    EXPECT_EQ(read["VersionNumber"], "512");
    read["PatchLevel"] = written["PatchLevel"];
    read["VersionNumber"] = written["VersionNumber"];
    EXPECT_EQ(read, written);
}

TEST_F(ConfigFile, NumbersAboveTheSignedRangeReadBackAsWritten) {
    // -1 in a hand-edited file, or a list with nothing selected, is stored as
    // 4294967295; reading it must not turn it into 2147483647.
    Read("UpdateDelay = -1\nMainPalette = 4294967295\nFastRemap = 2147483648\nDitherContrast = 4294967296\n");
    EXPECT_EQ(UpdateDelay, 0xFFFFFFFFu);
    EXPECT_EQ(MainPalette, 0xFFFFFFFFu);
    EXPECT_EQ(FastRemap, 0x80000000u);
    EXPECT_EQ(DitherContrast, 2147483647u);  // beyond 32 bits: the largest int, as atoi answers

    auto read = AllValues();
    ASSERT_TRUE(WriteConfigFileTo(Path().c_str()));
    testing_support::BuiltInSettings().Restore();
    ReadConfigFileFrom(Path().c_str(), false);
    EXPECT_EQ(AllValues(), read);
}

TEST_F(ConfigFile, LinesEndedByLineFeedsAloneReadAsWell) {
    MainEffect = 1;
    ASSERT_TRUE(WriteConfigFileTo(Path().c_str()));
    std::string crlf = ReadBack();
    std::string lf;
    for (char c : crlf)
        if (c != '\r') lf.push_back(c);
    MainEffect = 15;
    Read(lf);
    EXPECT_EQ(MainEffect, 1u);
    EXPECT_EQ(Text("CurrentFileName"), "untitled.lfx");  // no stray carriage return kept
}

}  // namespace
