#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "luma/module.h"
#include "luma/resources.h"
#include "tests/user/support.h"

namespace user_tests {
namespace {

HMODULE Self() { return GetModuleHandleA(nullptr); }

std::vector<unsigned char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Data(const char* name) { return std::string(LUMAFEX_SOURCE_DIR) + "/tests/user/data/" + name; }

std::vector<unsigned char> ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return {};
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    return std::vector<unsigned char>(bytes, bytes + SizeofResource(module, found));
}

TEST(Resources, EmbeddedFilesComeBackByteForByte) {
    std::vector<unsigned char> blob = FileBytes(Data("blob.bin"));
    ASSERT_EQ(blob.size(), 772u);
    EXPECT_EQ(ResourceBytes(Self(), MAKEINTRESOURCEA(502), RT_RCDATA), blob);
    EXPECT_EQ(ResourceBytes(nullptr, MAKEINTRESOURCEA(502), RT_RCDATA), blob) << "null names the program itself";
    EXPECT_EQ(ResourceBytes(Self(), "#502", RT_RCDATA), blob) << "\"#502\" is the number 502";
    EXPECT_EQ(ResourceBytes(Self(), MAKEINTRESOURCEA(300), "CUSTOM"), blob) << "type names ignore case";
    std::vector<unsigned char> html = FileBytes(Data("guide.html"));
    EXPECT_EQ(ResourceBytes(Self(), "guide.html", RT_HTML), html);
    HRSRC empty = FindResourceA(Self(), "EMPTY", RT_RCDATA);
    ASSERT_TRUE(empty);
    EXPECT_EQ(SizeofResource(Self(), empty), 0u);
}

TEST(Resources, BitmapsLoseTheirFileHeader) {
    std::vector<unsigned char> file = FileBytes(Data("swatch.bmp"));
    std::vector<unsigned char> packed = ResourceBytes(Self(), MAKEINTRESOURCEA(501), RT_BITMAP);
    ASSERT_EQ(packed.size() + 14, file.size());
    EXPECT_TRUE(std::equal(packed.begin(), packed.end(), file.begin() + 14));
    BITMAPINFOHEADER header;
    std::memcpy(&header, packed.data(), sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 3);
}

TEST(Resources, MissingResourcesSayWhy) {
    SetLastError(0);
    EXPECT_EQ(FindResourceA(Self(), MAKEINTRESOURCEA(9999), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceA(Self(), MAKEINTRESOURCEA(1), RT_MENU), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    int local = 0;
    HMODULE platform = luma::ModuleFromAddress(reinterpret_cast<const void*>(&FindResourceA));
    ASSERT_NE(platform, Self());
    EXPECT_EQ(FindResourceA(platform, MAKEINTRESOURCEA(502), RT_RCDATA), nullptr)
        << "another module's table does not hold the program's resources";
    (void)local;
}

TEST(Resources, StringTable) {
    char buffer[64];
    EXPECT_EQ(LoadStringA(Self(), 6, buffer, sizeof buffer), 12);
    EXPECT_STREQ(buffer, "Memory error");
    char small[7];
    EXPECT_EQ(LoadStringA(Self(), 7, small, sizeof small), 6);
    EXPECT_STREQ(small, "Inform") << "cut and terminated";
    std::strcpy(buffer, "unchanged?");
    EXPECT_EQ(LoadStringA(Self(), 99, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "") << "a missing string empties the buffer";
    const char* direct = nullptr;
    EXPECT_EQ(LoadStringA(Self(), 6, reinterpret_cast<LPSTR>(&direct), 0), 12);
    ASSERT_TRUE(direct);
    EXPECT_EQ(std::string(direct, 12), "Memory error") << "size 0 hands out the string itself";
}

TEST(Resources, RegistrationsComeAndGo) {
    static const char kText[] = "temporary";
    static const luma::Resource kTable[] = {{RT_RCDATA, "TEMPORARY", kText, sizeof kText}};
    {
        luma::ResourceRegistration registration(kTable);
        EXPECT_EQ(registration.module(), Self());
        HRSRC found = FindResourceA(Self(), "Temporary", RT_RCDATA);
        ASSERT_TRUE(found);
        EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(Self(), found))), "temporary");
        // A later registration of the same name wins while it lasts.
        static const char kNewer[] = "newer";
        static const luma::Resource kOverride[] = {{RT_RCDATA, "TEMPORARY", kNewer, sizeof kNewer}};
        luma::RegisterResources(Self(), kOverride, 1);
        found = FindResourceA(Self(), "TEMPORARY", RT_RCDATA);
        EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(Self(), found))), "newer");
        luma::UnregisterResources(Self(), kOverride, 1);
        found = FindResourceA(Self(), "TEMPORARY", RT_RCDATA);
        EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(Self(), found))), "temporary");
    }
    EXPECT_EQ(FindResourceA(Self(), "TEMPORARY", RT_RCDATA), nullptr);
    EXPECT_TRUE(FindResourceA(Self(), MAKEINTRESOURCEA(502), RT_RCDATA)) << "other entries stay";
}

}  // namespace
}  // namespace user_tests
