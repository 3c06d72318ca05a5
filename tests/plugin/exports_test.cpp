#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <unistd.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "luma/automation.h"
#include "plugin/host_interface.h"

namespace {

// Names the module's dynamic symbol table defines for other files to use.
std::set<std::string> ExportedNames(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (bytes.size() < sizeof(Elf64_Ehdr)) return names;
    auto* eh = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
    auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const char* strings = bytes.data() + sections[sections[i].sh_link].sh_offset;
        auto* symbols = reinterpret_cast<const Elf64_Sym*>(bytes.data() + sections[i].sh_offset);
        std::size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (std::size_t k = 0; k < count; ++k) {
            int bind = ELF64_ST_BIND(symbols[k].st_info);
            if (symbols[k].st_shndx != SHN_UNDEF && (bind == STB_GLOBAL || bind == STB_WEAK) && symbols[k].st_name)
                names.insert(strings + symbols[k].st_name);
        }
    }
    return names;
}

TEST(PluginModule, ExportsExactlyTheThreeEntryPoints) {
    EXPECT_EQ(ExportedNames(LUMAFEX_PLUGIN_PATH),
              (std::set<std::string>{"DllMain", "PLUGIN16DoBuild", "PLUGIN16GetPluginParams"}));
}

class LoadedPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        lib = dlopen(LUMAFEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        params = reinterpret_cast<GetPluginParamsFunction>(dlsym(lib, "PLUGIN16GetPluginParams"));
        ASSERT_NE(params, nullptr);
    }
    void TearDown() override {
        if (lib) dlclose(lib);
    }
    void* lib = nullptr;
    GetPluginParamsFunction params = nullptr;
};

TEST_F(LoadedPlugin, DescribesItselfInTheInfoRecord) {
    alignas(8) unsigned char record[400];
    std::memset(record, 0xCC, sizeof record);
    auto* info = reinterpret_cast<PluginInfoRecord*>(record);
    info->size = 334;
    EXPECT_EQ(params(info), 1);
    EXPECT_EQ(info->size, 334u);
    EXPECT_EQ(info->version, kInterfaceVersion);
    EXPECT_STREQ(info->name, "Lumafex");
    std::size_t notice = strnlen(info->notice, 65);
    EXPECT_GT(notice, 0u);
    EXPECT_LE(notice, 64u);
    EXPECT_EQ(record[200], 0);  // past the name, inside the zero-filled size
    EXPECT_EQ(record[333], 0);
    EXPECT_EQ(record[334], 0xCC);  // beyond it, untouched
}

TEST_F(LoadedPlugin, SmallRecordSizeZeroFillsOnlyThatManyBytes) {
    alignas(8) unsigned char record[400];
    std::memset(record, 0xCC, sizeof record);
    auto* info = reinterpret_cast<PluginInfoRecord*>(record);
    info->size = 8;
    EXPECT_EQ(params(info), 1);
    EXPECT_EQ(info->version, kInterfaceVersion);
    EXPECT_STREQ(info->name, "Lumafex");  // still written at its place
    EXPECT_EQ(record[8 + 100], 0xCC);      // not zeroed
}

}  // namespace

namespace {

// The module's own run: refused for an old host with the plug-in's message
// box, opened and closed for a current one.
class ModuleRun : public ::testing::Test {
protected:
    void SetUp() override {
        config = std::filesystem::temp_directory_path() / ("lumafex-module-" + std::to_string(getpid()));
        std::filesystem::create_directories(config / "Vellumark");
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        luma::automation::Reset();
        lib = dlopen(LUMAFEX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        build = reinterpret_cast<DoBuildFunction>(dlsym(lib, "PLUGIN16DoBuild"));
        ASSERT_NE(build, nullptr);
    }
    void TearDown() override {
        if (lib) dlclose(lib);
        luma::automation::Reset();
        unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(config, ignored);
    }
    static std::int64_t Callback(void*, std::uint32_t, std::int64_t, void*) { return 1; }

    std::filesystem::path config;
    void* lib = nullptr;
    DoBuildFunction build = nullptr;
};

TEST_F(ModuleRun, AnOldHostIsRefusedWithTheMessage) {
    HostContext host{};
    host.size = sizeof host;
    host.version = 15u << 8;
    host.callback = Callback;
    std::string message;
    luma::automation::CurrentScript().Do("answer", [&] {
        HWND box = luma::automation::ActiveWindow();
        char text[512] = {};
        GetDlgItemTextA(box, 101, text, sizeof text);
        message = text;
        return luma::automation::Click(IDOK, box);
    });
    EXPECT_EQ(build(nullptr, &host), 0);
    EXPECT_EQ(message,
              "You need a newer version of Celwright Professional or Reelwright to support this plugin.\n\n"
              "Please visit the Vellumark web page to update your software.");
}

TEST_F(ModuleRun, ACurrentHostGetsTheDialogAndOneBack) {
    HostContext host{};
    host.size = sizeof host;
    host.version = 16u << 8;
    host.callback = Callback;
    host.flags = kHundredthsFlag;
    std::string title;
    luma::automation::CurrentScript().Do("close", [&] {
        HWND dialog = luma::automation::ActiveWindow();
        char text[64] = {};
        GetWindowTextA(dialog, text, sizeof text);
        title = text;
        return luma::automation::Click(IDCANCEL, dialog);
    });
    EXPECT_EQ(build(nullptr, &host), 1);
    EXPECT_EQ(title, "Lumafex");
    EXPECT_TRUE(std::filesystem::exists(config / "Vellumark" / "lumaplug.ini"));
}

}  // namespace
