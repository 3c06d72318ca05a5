#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

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
