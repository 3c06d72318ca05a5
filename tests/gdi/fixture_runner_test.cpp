// Replays every reference case through our GDI with the reference
// generator itself and compares pixel by pixel with the reference images.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "luma/testing.h"

extern "C" int gdiref_main(int argc, char** argv);

namespace {

namespace fs = std::filesystem;

// Cases that may differ from the reference, each with its reason. Every
// case that is not identical must be listed here.
const std::map<std::string, std::string> kExplainedDifferences = {};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // top-down rows, 3 bytes a pixel
};

bool readBmp(const fs::path& path, Image& image) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M') return false;
    auto u32 = [&](std::size_t at) {
        return static_cast<unsigned>(data[at]) | (data[at + 1] << 8) | (data[at + 2] << 16) |
               (static_cast<unsigned>(data[at + 3]) << 24);
    };
    unsigned offset = u32(10);
    int width = static_cast<int>(u32(18)), height = static_cast<int>(u32(22));
    int bits = data[28] | (data[29] << 8);
    if (bits != 24 || width <= 0 || height <= 0) return false;
    std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (data.size() < offset + stride * height) return false;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        std::copy_n(data.begin() + offset + stride * (height - 1 - y), width * 3,
                    image.rgb.begin() + static_cast<std::ptrdiff_t>(y) * width * 3);
    return true;
}

// The primitive a case exercises: its name up to the first underscore.
std::string kindOf(const std::string& name) { return name.substr(0, name.find('_')); }

std::vector<std::string> caseNames(const fs::path& cases) {
    std::vector<std::string> names;
    std::ifstream in(cases);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string command, name;
        if (words >> command && command == "case" && words >> name) names.push_back(name);
    }
    return names;
}

// The reference was drawn with these system colours (its README records
// them); our default scheme is the classic one, put back afterwards.
class ReferenceSysColors {
public:
    ReferenceSysColors() {
        const COLORREF reference[] = {RGB(255, 255, 255), RGB(227, 227, 227), RGB(166, 166, 166),
                                      RGB(106, 106, 106), RGB(245, 245, 245)};
        for (int i = 0; i < 5; ++i) saved_[i] = GetSysColor(kIndexes[i]);
        EXPECT_TRUE(SetSysColors(5, kIndexes, reference));
    }
    ~ReferenceSysColors() { SetSysColors(5, kIndexes, saved_); }

private:
    static constexpr INT kIndexes[5] = {COLOR_3DHIGHLIGHT, COLOR_3DLIGHT, COLOR_3DSHADOW, COLOR_3DDKSHADOW,
                                        COLOR_3DFACE};
    COLORREF saved_[5];
};

struct KindStats {
    int cases = 0;
    int identical = 0;
    long long pixels = 0;
    long long samePixels = 0;
};

TEST(GdiFixtures, EveryCaseMatchesTheReferenceRendering) {
    const fs::path fixtures = GDI_FIXTURES_DIR;
    const fs::path out = fs::path(LUMAFEX_BINARY_DIR) / "gdi_fixture_output";
    fs::remove_all(out);
    fs::create_directories(out);
    ReferenceSysColors colours;

    std::size_t objectsBefore = luma::LiveGdiObjects(), dcsBefore = luma::LiveDeviceContexts();
    std::string casesPath = (fixtures / "cases.txt").string(), outPath = out.string();
    std::string program = "gdiref";
    char* argv[] = {program.data(), casesPath.data(), outPath.data(), nullptr};
    std::fflush(stdout);
    ASSERT_EQ(gdiref_main(3, argv), 0);
    EXPECT_EQ(luma::LiveGdiObjects(), objectsBefore) << "the replay leaked GDI objects";
    EXPECT_EQ(luma::LiveDeviceContexts(), dcsBefore) << "the replay leaked device contexts";

    std::vector<std::string> names = caseNames(fixtures / "cases.txt");
    ASSERT_EQ(names.size(), 250u);
    std::map<std::string, KindStats> kinds;
    KindStats total;
    std::vector<std::string> unexplained;
    std::ostringstream differing;
    for (const std::string& name : names) {
        Image expected, actual;
        ASSERT_TRUE(readBmp(fixtures / "expected" / (name + ".bmp"), expected)) << name;
        ASSERT_TRUE(readBmp(out / (name + ".bmp"), actual)) << name;
        ASSERT_EQ(expected.width, actual.width) << name;
        ASSERT_EQ(expected.height, actual.height) << name;
        long long same = 0, count = static_cast<long long>(expected.width) * expected.height;
        for (long long i = 0; i < count; ++i)
            same += std::equal(expected.rgb.begin() + i * 3, expected.rgb.begin() + i * 3 + 3, actual.rgb.begin() + i * 3);
        KindStats& k = kinds[kindOf(name)];
        for (KindStats* s : {&k, &total}) {
            ++s->cases;
            s->identical += same == count;
            s->pixels += count;
            s->samePixels += same;
        }
        if (same != count) {
            auto reason = kExplainedDifferences.find(name);
            differing << "  " << name << ": " << (count - same) << " pixels differ; "
                      << (reason == kExplainedDifferences.end() ? "NOT EXPLAINED" : reason->second) << "\n";
            if (reason == kExplainedDifferences.end()) unexplained.push_back(name);
        }
    }

    std::ostringstream report;
    report << "GDI fixture cases by primitive (identical cases, identical pixels):\n";
    for (const auto& [kind, s] : kinds)
        report << "  " << std::left << std::setw(12) << kind << std::right << std::setw(4) << s.identical << "/"
               << std::setw(3) << s.cases << "  " << std::fixed << std::setprecision(3)
               << 100.0 * s.samePixels / s.pixels << " %\n";
    double caseShare = 100.0 * total.identical / total.cases;
    double pixelShare = 100.0 * total.samePixels / total.pixels;
    report << "  all         " << std::setw(4) << total.identical << "/" << std::setw(3) << total.cases << "  "
           << std::fixed << std::setprecision(3) << pixelShare << " %\n";
    if (!differing.str().empty()) report << "Cases that differ:\n" << differing.str();
    std::cout << report.str();

    EXPECT_GE(caseShare, 98.0) << "too few identical cases";
    EXPECT_GE(pixelShare, 99.9) << "too few identical pixels";
    EXPECT_TRUE(unexplained.empty()) << "cases differ without a stated reason";
}

}  // namespace
