#include "effects/bad_video.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dialog/main_dialog.h"
#include "effects/effect_bodies.h"
#include "effects/source_image.h"
#include "image/packed_dib.h"
#include "luma/automation.h"
#include "luma/crt.h"
#include "luma/testing.h"
#include "plugin/guards.h"
#include "plugin/host_interface.h"
#include "tests/support/effect_harness.h"
#include "tests/support/frame_digest.h"
#include "tests/support/fault_walk.h"
#include "tests/support/pictures.h"

namespace {

using testing_support::BuiltFrames;
using testing_support::HostRequest;

constexpr int kLightField = 787;
constexpr int kDarkField = 789;
constexpr int kShortField = 791;
constexpr int kLongField = 793;
constexpr int kSeedField = 795;
constexpr int kFlashBox = 797;
constexpr int kFadeBox = 798;
constexpr int kSnowFlashBox = 799;
constexpr int kRasterBox = 800;
constexpr int kBlockBox = 801;
constexpr int kMonitorList = 802;
constexpr int kMonitorField = 804;
constexpr int kMediumField = 806;
constexpr int kBoxes[5] = {kFlashBox, kFadeBox, kSnowFlashBox, kRasterBox, kBlockBox};

constexpr COLORREF kLight = RGB(221, 228, 244);
constexpr COLORREF kDark = RGB(51, 51, 51);
constexpr COLORREF kBody = RGB(70, 71, 65);
constexpr unsigned kSeed = 9453;  // the page's built-in seed
// The snow fade's frames: two fades of 16 steps each way, less the two
// steps that share a frame, and the hold.
constexpr int kFadeFrames = 63;

const std::filesystem::path kOutput = std::filesystem::path(LUMAFEX_BINARY_DIR) / "effects_test_output";

// The pixels of a picture, top row first.
struct Pixels {
    LONG width = 0;
    LONG height = 0;
    std::vector<COLORREF> values;
    COLORREF operator()(LONG x, LONG y) const { return values[static_cast<std::size_t>(y) * width + x]; }
    bool operator==(const Pixels&) const = default;
};

Pixels Read(HGLOBAL dib) {
    Pixels p;
    GlobalLockGuard<BYTE> bytes(dib);
    DibLayout layout;
    if (!bytes || !DibLayout::From(bytes.get(), layout)) return p;
    p.width = layout.width;
    p.height = layout.height;
    p.values.reserve(static_cast<std::size_t>(p.width) * p.height);
    for (LONG y = 0; y < p.height; ++y) {
        const BYTE* row = layout.Row(bytes.get(), y);
        for (LONG x = 0; x < p.width; ++x) p.values.push_back(layout.Read(row, x));
    }
    return p;
}

BYTE Channel(COLORREF c, int i) { return static_cast<BYTE>(c >> (8 * i)); }

COLORREF PerChannel(auto f) { return RGB(f(0), f(1), f(2)); }

COLORREF SnowColour(int n, COLORREF light, COLORREF dark) {
    return PerChannel([&](int c) { return Channel(dark, c) * (255 - n) / 255 + Channel(light, c) * n / 255; });
}

// A snow image as its draws make it: one number per pair of pixels, row by
// row from the top, a pair starting at x = width still drawing.
Pixels DrawSnow(LONG width, LONG height) {
    Pixels s{width, height, std::vector<COLORREF>(static_cast<std::size_t>(width) * height)};
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x <= width; x += 2) {
            const int n = crt::rand() % 256;
            if (x < width) s.values[y * width + x] = SnowColour(n, kLight, kDark);
            if (x + 1 < width) s.values[y * width + x + 1] = SnowColour(std::min(n + n / 2, 255), kLight, kDark);
        }
    return s;
}

bool AllOf(const Pixels& p, auto predicate) {
    for (LONG y = 0; y < p.height; ++y)
        for (LONG x = 0; x < p.width; ++x)
            if (!predicate(x, y, p(x, y))) return false;
    return true;
}

bool IsSolid(const Pixels& p, COLORREF colour) {
    return AllOf(p, [&](LONG, LONG, COLORREF c) { return c == colour; });
}

bool IsPureSnow(const Pixels& p) {
    std::set<COLORREF> snow;
    for (int n = 0; n < 256; ++n) snow.insert(SnowColour(n, kLight, kDark));
    return AllOf(p, [&](LONG, LONG, COLORREF c) { return snow.count(c) != 0; });
}

// Even rows from the top become scan lines, odd rows keep the picture.
bool IsRaster(const Pixels& p, const Pixels& picture) {
    return AllOf(p, [&](LONG x, LONG y, COLORREF c) {
        const COLORREF was = picture(x, y);
        if (y % 2) return c == was;
        return c == PerChannel([&](int i) { return Channel(kDark, i) * 240 / 255 + Channel(was, i) * 15 / 255; });
    });
}

// A block error with blocks of some size from size to size + 5: every
// block is untouched or one flat colour.
bool IsBlockError(const Pixels& p, const Pixels& picture, LONG size) {
    for (LONG s = size; s < size + 6; ++s) {
        bool fits = true;
        for (LONG top = 0; top < p.height && fits; top += s)
            for (LONG left = 0; left < p.width && fits; left += s) {
                bool untouched = true, flat = true;
                for (LONG y = top; y < std::min(top + s, p.height); ++y)
                    for (LONG x = left; x < std::min(left + s, p.width); ++x) {
                        untouched = untouched && p(x, y) == picture(x, y);
                        flat = flat && p(x, y) == p(left, top);
                    }
                fits = untouched || flat;
            }
        if (fits) return true;
    }
    return false;
}

// Per channel trunc(a x alpha / 255) + trunc(b x (255 - alpha) / 255).
Pixels Blend(const Pixels& a, const Pixels& b, int alpha) {
    Pixels out = a;
    for (std::size_t i = 0; i < out.values.size(); ++i)
        out.values[i] = PerChannel([&](int c) {
            return Channel(a.values[i], c) * alpha / 255 + Channel(b.values[i], c) * (255 - alpha) / 255;
        });
    return out;
}

// The lengths the programme draws first, one for each disturbance but the
// snow fade, in the order of play.
std::vector<int> DrawnLengths(unsigned seed, int count) {
    crt::srand(seed);
    std::vector<int> lengths;
    for (int i = 0; i < count; ++i) lengths.push_back(crt::rand() % 24 + 12);
    return lengths;
}

// Every frame's bytes and delay, in order.
std::string BuildDigest(const BuiltFrames& built) {
    std::vector<BYTE> all;
    for (int i = 0; i < built.count(); ++i) {
        std::vector<BYTE> frame = testing_support::BlockBytes(built[i].image);
        all.insert(all.end(), frame.begin(), frame.end());
        const DWORD delay = built[i].delay;
        all.insert(all.end(), reinterpret_cast<const BYTE*>(&delay), reinterpret_cast<const BYTE*>(&delay) + 4);
    }
    return testing_support::Sha256Hex(all.data(), all.size());
}

void WritePng(HGLOBAL dib, const std::string& name) {
    const Pixels p = Read(dib);
    std::vector<png_byte> rgb;
    for (COLORREF c : p.values)
        for (int i = 0; i < 3; ++i) rgb.push_back(Channel(c, i));
    std::filesystem::create_directories(kOutput);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(p.width);
    image.height = static_cast<png_uint_32>(p.height);
    image.format = PNG_FORMAT_RGB;
    EXPECT_TRUE(png_image_write_to_file(&image, (kOutput / name).c_str(), 0, rgb.data(), 0, nullptr))
        << image.message;
}

class BadVideo : public testing_support::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        effect = testing_support::EffectIndex("Bad Video");
        ASSERT_GE(effect, 0);
        SetField(kLightField, static_cast<int>(kLight));
        SetField(kDarkField, static_cast<int>(kDark));
        SetField(kMonitorField, static_cast<int>(kBody));
    }

    // Checks exactly the listed disturbance boxes, in the order given.
    void Programme(std::initializer_list<int> checked) {
        for (int box : kBoxes) SetCheck(box, false);
        for (int box : checked) SetCheck(box, true);
    }

    void Monitor(int type) { SelectItem(kMonitorList, type); }

    // Loads a random picture as the SourceImage.
    Pixels LoadPicture(LONG width, LONG height, unsigned seed = 7) {
        std::mt19937 random(seed);
        HGLOBAL picture = testing_support::RandomPackedDib(random, width, height, 24);
        Pixels pixels = Read(picture);
        SetSourceImage(picture);
        return pixels;
    }

    std::vector<testing_support::HostRequest> Progress() const {
        std::vector<testing_support::HostRequest> reports;
        for (const auto& r : host->requests)
            if (r.code == kRequestProgress) reports.push_back(r);
        return reports;
    }

    int effect = -1;
};

TEST_F(BadVideo, NothingCheckedPlaysTheSnowFadeAlone) {
    // An odd width: the last pair of each row keeps only its first pixel.
    const Pixels picture = LoadPicture(5, 3);
    Programme({});
    Monitor(kNoMonitor);
    SetField(kSeedField, 2345);
    SetField(kShortField, 3);
    SetField(kLongField, 77);
    BuiltFrames built = Build(effect);
    ASSERT_EQ(built.result, 1);

    // The fade as its phases describe it: cloud over, clear, hold, cloud
    // over, clear. Each step makes fresh snow, then draws its delay, and
    // blends at level k / 16; the last clouding step's frame is replaced by
    // the first clearing step's.
    crt::srand(2345);
    std::vector<std::pair<Pixels, DWORD>> expected;
    auto step = [&](bool clouding, int k) {
        const Pixels s = DrawSnow(picture.width, picture.height);
        const DWORD delay = static_cast<DWORD>(crt::rand() % 4 + 3);
        const int a = k * 255 / 16;
        return std::pair{clouding ? Blend(s, picture, a) : Blend(picture, s, a), delay};
    };
    for (int fade = 0; fade < 2; ++fade) {
        for (int k = 0; k < 16; ++k) {
            auto frame = step(true, k);
            if (k < 15) expected.push_back(frame);
        }
        for (int k = 0; k < 16; ++k) expected.push_back(step(false, k));
        if (fade == 0) expected.emplace_back(picture, 77);
    }
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kFadeFrames));
    ASSERT_EQ(built.count(), kFadeFrames);
    for (int i = 0; i < built.count(); ++i) {
        EXPECT_EQ(Read(built[i].image), expected[i].first) << "frame " << i;
        EXPECT_EQ(built[i].delay, expected[i].second) << "frame " << i;
    }
    for (int i : {0, 31, 32}) EXPECT_EQ(Read(built[i].image), picture) << i;
    for (int i : {15, 47}) EXPECT_TRUE(IsPureSnow(Read(built[i].image))) << i;

    const auto reports = Progress();
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(kFadeFrames));
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].a, static_cast<std::int64_t>(i));
        EXPECT_EQ(reports[i].b, 65) << "the progress total counts every fade step";
    }
}

TEST_F(BadVideo, DisturbancesPlayInTheirFixedOrderWhateverIsChecked) {
    const Pixels picture = LoadPicture(32, 24);
    Monitor(kNoMonitor);
    SetField(kSeedField, 1234);
    SetField(kLongField, 77);
    Programme({kBlockBox, kRasterBox, kSnowFlashBox, kFadeBox, kFlashBox});
    BuiltFrames backwards = Build(effect);
    Programme({kFlashBox, kFadeBox, kSnowFlashBox, kRasterBox, kBlockBox});
    host->requests.clear();
    BuiltFrames forwards = Build(effect);
    ASSERT_EQ(backwards.result, 1);
    ASSERT_EQ(forwards.result, 1);
    EXPECT_EQ(BuildDigest(backwards), BuildDigest(forwards));

    const std::vector<int> lengths = DrawnLengths(1234, 4);
    const int flash = lengths[0], snowFlash = lengths[1], raster = lengths[2], blocks = lengths[3];
    ASSERT_EQ(forwards.count(), flash + kFadeFrames + snowFlash + raster + blocks);
    const auto reports = Progress();
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(forwards.count()));
    for (const auto& r : reports) EXPECT_EQ(r.b, flash + snowFlash + raster + blocks + 65);

    int i = 0;
    for (int k = 0; k < flash; ++k, ++i) {
        const Pixels f = Read(forwards[i].image);
        if (k % 2 == 0) EXPECT_EQ(f, picture) << "flash " << k;
        else EXPECT_TRUE(IsSolid(f, (k & 2) ? kLight : kDark)) << "flash " << k;
    }
    const int fade = i;
    EXPECT_EQ(forwards[fade + 31].delay, 77u);
    EXPECT_EQ(Read(forwards[fade + 31].image), picture);
    EXPECT_TRUE(IsPureSnow(Read(forwards[fade + 15].image)));
    i += kFadeFrames;
    for (int k = 0; k < snowFlash; ++k, ++i) {
        const Pixels f = Read(forwards[i].image);
        if (k % 2 == 0) EXPECT_EQ(f, picture) << "snow flash " << k;
        else EXPECT_TRUE(IsPureSnow(f) && !(f == picture)) << "snow flash " << k;
    }
    for (int k = 0; k < raster; ++k, ++i) {
        const Pixels f = Read(forwards[i].image);
        if (k % 2 == 0) EXPECT_EQ(f, picture) << "raster " << k;
        else EXPECT_TRUE(IsRaster(f, picture)) << "raster " << k;
    }
    int changed = 0;
    for (int k = 0; k < blocks; ++k, ++i) {
        const Pixels f = Read(forwards[i].image);
        if (k % 4 == 0) {
            EXPECT_EQ(f, picture) << "block error " << k;
            continue;
        }
        EXPECT_TRUE(IsBlockError(f, picture, 4)) << "block error " << k;
        changed += !(f == picture);
    }
    EXPECT_GT(changed, 0);

    // Two of them, checked last one first: the flash still leads.
    Programme({kBlockBox, kFlashBox});
    BuiltFrames pair = Build(effect);
    Programme({kFlashBox, kBlockBox});
    EXPECT_EQ(BuildDigest(Build(effect)), BuildDigest(pair));
    const std::vector<int> two = DrawnLengths(1234, 2);
    ASSERT_EQ(pair.count(), two[0] + two[1]);
    for (int k = 1; k < two[0]; k += 2)
        EXPECT_TRUE(IsSolid(Read(pair[k].image), (k & 2) ? kLight : kDark)) << "flash " << k;
    for (int k = two[0]; k < pair.count(); ++k) {
        const Pixels f = Read(pair[k].image);
        EXPECT_TRUE(IsBlockError(f, picture, 4) && !IsSolid(f, kLight) && !IsSolid(f, kDark)) << "block error " << k;
    }
}

TEST_F(BadVideo, DelaysStayInTheirRangesAndNeverReachZero) {
    LoadPicture(16, 12);
    Monitor(kNoMonitor);
    Programme({kFlashBox, kFadeBox, kSnowFlashBox, kRasterBox, kBlockBox});
    SetField(kSeedField, 4321);
    SetField(kLongField, 77);
    for (int medium : {1, 2, 10}) {
        for (int shortDelay : {1, 3}) {
            SetField(kMediumField, medium);
            SetField(kShortField, shortDelay);
            BuiltFrames built = Build(effect);
            ASSERT_EQ(built.result, 1);
            const std::vector<int> lengths = DrawnLengths(4321, 4);
            auto expectRange = [&](int from, int count, int lo, int hi, const char* what) {
                for (int i = from; i < from + count; ++i) {
                    EXPECT_GE(built[i].delay, static_cast<DWORD>(std::max(lo, 1))) << what << " frame " << i;
                    EXPECT_LT(built[i].delay, static_cast<DWORD>(std::max(hi, 2))) << what << " frame " << i;
                }
            };
            int at = 0;
            expectRange(at, lengths[0], 4 * medium / 10, 25 * medium / 10, "flash");
            at += lengths[0];
            expectRange(at, 31, shortDelay, 25 * shortDelay / 10, "fade");
            expectRange(at + 32, 31, shortDelay, 25 * shortDelay / 10, "fade");
            at += kFadeFrames;
            expectRange(at, lengths[1] + lengths[2], 4 * medium / 10, 25 * medium / 10, "snow or raster flash");
            at += lengths[1] + lengths[2];
            expectRange(at, lengths[3], medium / 10, 5 * medium, "block error");
            for (int i = 0; i < built.count(); ++i) EXPECT_GT(built[i].delay, 0u) << i;
        }
    }
}

TEST_F(BadVideo, FlashAndSnowFlashDrawTheirNumbersInOrder) {
    // An even width: the pair starting at x = width still takes a draw.
    for (LONG width : {4L, 5L}) {
        const Pixels picture = LoadPicture(width, 2);
        Monitor(kNoMonitor);
        SetField(kSeedField, 777);
        SetField(kMediumField, 10);
        Programme({kSnowFlashBox});
        BuiltFrames built = Build(effect);
        ASSERT_EQ(built.result, 1);
        crt::srand(777);
        const int length = crt::rand() % 24 + 12;
        ASSERT_EQ(built.count(), length);
        for (int k = 0; k < length; ++k) {
            // The delay is drawn before the snow.
            EXPECT_EQ(built[k].delay, static_cast<DWORD>(crt::rand() % 21 + 4)) << k;
            if (k % 2 == 0) continue;
            EXPECT_EQ(Read(built[k].image), DrawSnow(width, 2)) << "width " << width << " frame " << k;
        }
    }
}

TEST_F(BadVideo, BlockErrorBandsStartWithinTheFirst32767Counts) {
    // The band is placed with rand(), never above 32767: on a 640 x 480
    // picture with blocks of 30 to 35 pixels it ends above row 140.
    const Pixels picture = LoadPicture(640, 480);
    Programme({kBlockBox});
    Monitor(kNoMonitor);
    int changed = 0;
    for (int seed : {100, 9453, 32760}) {
        SetField(kSeedField, seed);
        BuiltFrames built = Build(effect);
        ASSERT_EQ(built.result, 1);
        for (int i = 0; i < built.count(); ++i) {
            const Pixels f = Read(built[i].image);
            LONG lowest = -1;
            for (LONG y = 0; y < f.height; ++y)
                for (LONG x = 0; x < f.width; ++x)
                    if (f(x, y) != picture(x, y)) lowest = y;
            EXPECT_LT(lowest, 140) << "seed " << seed << " frame " << i;
            changed += lowest >= 0;
        }
    }
    EXPECT_GT(changed, 10);
}

// Entry of the 3-3-2 palette: red and green in eighths, blue in quarters.
COLORREF GlitchPalette(int entry) {
    const BYTE eighths[8] = {0, 36, 72, 108, 144, 180, 216, 255};
    const BYTE quarters[4] = {0, 85, 170, 255};
    return RGB(eighths[(entry >> 5) & 7], eighths[(entry >> 2) & 7], quarters[entry & 3]);
}

TEST_F(BadVideo, BlockErrorsFlattenTheDrawnBandAndGlitchThroughTheThreeThreeTwoPalette) {
    const Pixels picture = LoadPicture(640, 480, 11);
    Programme({kBlockBox});
    Monitor(kNoMonitor);
    SetField(kSeedField, 4711);
    SetField(kMediumField, 10);
    BuiltFrames built = Build(effect);
    ASSERT_EQ(built.result, 1);

    // Delays in trunc(10 / 10) .. 5 x 10 - 1.
    const std::int64_t area = 640 * 480;
    crt::srand(4711);
    const int total = crt::rand() % 24 + 12;
    ASSERT_EQ(built.count(), total);
    int glitched = 0, flattened = 0;
    for (int k = 0; k < total; ++k) {
        SCOPED_TRACE(k);
        if (k % 4 == 0) {
            EXPECT_EQ(built[k].delay, static_cast<DWORD>(crt::rand() % 49 + 1));
            EXPECT_EQ(Read(built[k].image), picture);
            continue;
        }
        const std::int64_t start = crt::rand() % area;
        const std::int64_t length = crt::rand() % (area - start);
        EXPECT_EQ(built[k].delay, static_cast<DWORD>(crt::rand() % 49 + 1));
        const LONG size = 30 + crt::rand() % 6;  // max(4, 480 / 16) and up to 5 more
        const bool glitch = crt::rand() % 2 != 0;
        // Blocks row by row, each counting size x size however much of it
        // lies inside the picture.
        Pixels expected = picture;
        std::int64_t count = 0;
        for (LONG top = 0; top < 480; top += size)
            for (LONG left = 0; left < 640; left += size, count += size * size) {
                if (count < start || count >= start + length) continue;
                const LONG right = std::min<LONG>(left + size, 640), bottom = std::min<LONG>(top + size, 480);
                unsigned sum[3] = {0, 0, 0}, pixels = 0;
                for (LONG y = top; y < bottom; ++y)
                    for (LONG x = left; x < right; ++x, ++pixels)
                        for (int c = 0; c < 3; ++c) sum[c] += Channel(picture(x, y), c);
                COLORREF colour = PerChannel([&](int c) { return sum[c] / pixels; });
                if (glitch && crt::rand() % 3 == 0) {
                    const COLORREF p = GlitchPalette(crt::rand() % 256);
                    colour = PerChannel([&](int c) { return (Channel(colour, c) + Channel(p, c)) / 2; });
                    ++glitched;
                }
                ++flattened;
                for (LONG y = top; y < bottom; ++y)
                    for (LONG x = left; x < right; ++x) expected.values[y * 640 + x] = colour;
            }
        EXPECT_EQ(Read(built[k].image), expected);
    }
    EXPECT_GT(flattened, 0);
    EXPECT_GT(glitched, 0);
}

TEST(MonitorShade, ScalesEachChannelAndKeepsTheHueWhenLightened) {
    EXPECT_EQ(MonitorShade(kBody, 1.55), RGB(108, 110, 100));
    EXPECT_EQ(MonitorShade(kBody, 1.95), RGB(136, 138, 126));
    EXPECT_EQ(MonitorShade(kBody, 0.5), RGB(35, 35, 32));
    // 390, 195, 97 lowered by the largest excess, 135, and floored at 0.
    EXPECT_EQ(MonitorShade(RGB(200, 100, 50), 1.95), RGB(255, 60, 0));
    EXPECT_EQ(MonitorShade(RGB(255, 255, 255), 1.55), RGB(255, 255, 255));
}

struct MonitorPicture {
    GlobalBlock overlay;
    GlobalBlock mask;
};

MonitorPicture MakeTestMonitor(int type, LONG width, LONG height) {
    HGLOBAL overlay = nullptr, mask = nullptr;
    EXPECT_TRUE(MakeMonitor(type, width, height, kBody, &overlay, &mask));
    return {GlobalBlock(overlay), GlobalBlock(mask)};
}

TEST(BadVideoMonitor, NoneMakesNothingAndImpossibleSizesFailCleanly) {
    HGLOBAL overlay = reinterpret_cast<HGLOBAL>(1), mask = reinterpret_cast<HGLOBAL>(1);
    EXPECT_TRUE(MakeMonitor(kNoMonitor, 40, 30, kBody, &overlay, &mask));
    EXPECT_EQ(overlay, nullptr);
    EXPECT_EQ(mask, nullptr);
    const std::size_t blocks = luma::LiveGlobalBlocks(), objects = luma::LiveGdiObjects();
    // No room for the drawing at four times the size, or no size at all.
    for (auto [width, height] : {std::pair{0, 30}, {40, -1}, {0x7FFFFFFF / 4 + 1, 1}, {60000, 60000}}) {
        EXPECT_FALSE(MakeMonitor(kRetroMonitor, width, height, kBody, &overlay, &mask)) << width << "x" << height;
        EXPECT_EQ(overlay, nullptr);
        EXPECT_EQ(mask, nullptr);
    }
    EXPECT_EQ(luma::LiveGlobalBlocks(), blocks);
    EXPECT_EQ(luma::LiveGdiObjects(), objects);
}

TEST(BadVideoMonitor, CornersFollowEachShape) {
    MonitorPicture retro = MakeTestMonitor(kRetroMonitor, 400, 300);
    MonitorPicture studio = MakeTestMonitor(kStudioMonitor, 400, 300);
    MonitorPicture flat = MakeTestMonitor(kFlatScreenMonitor, 400, 300);
    const Pixels retroMask = Read(retro.mask.get()), studioMask = Read(studio.mask.get()),
                 flatMask = Read(flat.mask.get());
    // The cushion bulges far into the corner, the studio screen's corner is
    // rounded, the flat screen's square.
    EXPECT_EQ(retroMask(25, 25), 255u);
    EXPECT_EQ(studioMask(25, 25), 0u);
    EXPECT_EQ(studioMask(16, 16), 255u);
    EXPECT_EQ(flatMask(20, 20), 0u);
    // Only the retro set has a gloss across its corners.
    const Pixels retroOverlay = Read(retro.overlay.get()), studioOverlay = Read(studio.overlay.get());
    for (auto [x, y] : {std::pair{10, 10}, {389, 10}, {389, 289}}) {
        EXPECT_EQ(studioOverlay(x, y), kBody);
        for (int c = 0; c < 3; ++c) EXPECT_GT(Channel(retroOverlay(x, y), c), Channel(kBody, c)) << x << "," << y;
    }
    // The flat screen's mitre lines run from its corners.
    const Pixels flatOverlay = Read(flat.overlay.get());
    EXPECT_GT(Channel(flatOverlay(7, 7), 1), Channel(kBody, 1));
    EXPECT_EQ(flatOverlay(12, 5), kBody);
}

TEST_F(BadVideo, NoneLeavesEveryFrameWithoutAMonitor) {
    const Pixels picture = LoadPicture(64, 48);
    Programme({kFlashBox, kRasterBox});
    Monitor(kNoMonitor);
    GlobalBlock preview = Preview(effect);
    ASSERT_TRUE(preview);
    EXPECT_EQ(Read(preview.get()), picture);
    BuiltFrames built = Build(effect);
    ASSERT_EQ(built.result, 1);
    const std::vector<int> lengths = DrawnLengths(kSeed, 2);
    ASSERT_EQ(built.count(), lengths[0] + lengths[1]);
    for (int i = 0; i < built.count(); ++i) {
        const Pixels f = Read(built[i].image);
        const int k = i < lengths[0] ? i : i - lengths[0];
        if (k % 2 == 0) EXPECT_EQ(f, picture) << i;
        else if (i < lengths[0]) EXPECT_TRUE(IsSolid(f, (k & 2) ? kLight : kDark)) << i;
        else EXPECT_TRUE(IsRaster(f, picture)) << i;
    }
}

// Per channel trunc(frame x (255 - m) / 255) + trunc(overlay x m / 255).
Pixels Compose(const Pixels& frame, const Pixels& overlay, const Pixels& mask) {
    Pixels out = frame;
    for (std::size_t i = 0; i < out.values.size(); ++i) {
        const unsigned m = mask.values[i];
        out.values[i] = PerChannel([&](int c) {
            return Channel(frame.values[i], c) * (255 - m) / 255 + Channel(overlay.values[i], c) * m / 255;
        });
    }
    return out;
}

class BadVideoOnMonitor : public BadVideo, public testing::WithParamInterface<int> {};

TEST_P(BadVideoOnMonitor, ScreenshotShowsTheBodyInTheRimAndEveryFrameIsComposedThroughTheMask) {
    const int type = GetParam();
    const char* names[] = {"none", "retro", "studio", "flat_screen"};
    // The sample picture on the monitor, written out to be looked at.
    GlobalBlock sample(GetSourceImageCopy());
    const Pixels picture = Read(sample.get());
    ASSERT_EQ(picture.width, 400);
    ASSERT_EQ(picture.height, 300);
    Programme({kFlashBox});
    Monitor(type);
    GlobalBlock shot = Preview(effect);
    ASSERT_TRUE(shot);
    WritePng(shot.get(), std::string("bad_video_") + names[type] + ".png");
    const Pixels f = Read(shot.get());
    ASSERT_EQ(f.width, 400);
    ASSERT_EQ(f.height, 300);

    MonitorPicture monitor = MakeTestMonitor(type, 400, 300);
    ASSERT_TRUE(monitor.overlay && monitor.mask);
    const Pixels mask = Read(monitor.mask.get()), overlay = Read(monitor.overlay.get());
    for (auto [x, y] : {std::pair{0, 0}, {399, 0}, {0, 299}, {399, 299}}) EXPECT_EQ(mask(x, y), 255u) << x << "," << y;
    EXPECT_EQ(mask(200, 150), 0u);
    {
        GlobalLockGuard<BITMAPINFOHEADER> header(monitor.mask.get());
        EXPECT_EQ(header->biBitCount, 8);
    }
    for (int c = 0; c < 3; ++c) {
        EXPECT_LT(Channel(overlay(0, 150), c), Channel(kBody, c)) << "outer edge";
        EXPECT_GT(Channel(overlay(15, 150), c), Channel(kBody, c)) << "upper-left rim";
        EXPECT_GT(Channel(overlay(384, 150), c), Channel(kBody, c)) << "lower-right rim";
    }
    // The rim is 5 % of the shorter side, 15 pixels; the body shows between
    // the outer edge and the light rim, the picture in the middle.
    for (auto [x, y] : {std::pair{7, 150}, {392, 150}, {200, 7}, {200, 292}}) EXPECT_EQ(f(x, y), kBody) << x << "," << y;
    EXPECT_EQ(f(200, 150), picture(200, 150));
    EXPECT_EQ(f, Compose(picture, overlay, mask));

    // A whole build on a small picture: each frame is the same frame without
    // a monitor, composed through the mask.
    LoadPicture(64, 48);
    Programme({kFlashBox, kSnowFlashBox, kRasterBox, kBlockBox});
    Monitor(kNoMonitor);
    BuiltFrames bare = Build(effect);
    Monitor(type);
    BuiltFrames covered = Build(effect);
    ASSERT_EQ(bare.result, 1);
    ASSERT_EQ(covered.result, 1);
    ASSERT_EQ(covered.count(), bare.count());
    MonitorPicture small = MakeTestMonitor(type, 64, 48);
    const Pixels smallMask = Read(small.mask.get()), smallOverlay = Read(small.overlay.get());
    for (int i = 0; i < bare.count(); ++i) {
        EXPECT_EQ(Read(covered[i].image), Compose(Read(bare[i].image), smallOverlay, smallMask)) << i;
        EXPECT_EQ(covered[i].delay, bare[i].delay) << i;
    }
}

std::string MonitorName(const testing::TestParamInfo<int>& info) {
    const char* names[] = {"None", "Retro", "Studio", "FlatScreen"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Types, BadVideoOnMonitor, testing::Values(kRetroMonitor, kStudioMonitor, kFlatScreenMonitor),
                         MonitorName);

TEST_F(BadVideo, PreviewIsTheBuildsFirstFrameAndPlainFramesFollowTheEnd) {
    for (int type : {kNoMonitor, kRetroMonitor}) {
        Monitor(type);
        GlobalBlock preview = Preview(effect);
        BuiltFrames built = Build(effect);
        ASSERT_TRUE(preview);
        ASSERT_EQ(built.result, 1);
        EXPECT_TRUE(testing_support::SameBlock(preview.get(), built[0].image));
        // Past the programme every frame is the plain picture, as the first is.
        auto sequence = RenderSequence(BadVideoBody, built.count() + 2);
        ASSERT_EQ(sequence.size(), static_cast<std::size_t>(built.count() + 2));
        for (int i = 0; i < built.count(); ++i)
            ASSERT_TRUE(testing_support::SameBlock(sequence[i].get(), built[i].image)) << i;
        for (int i = built.count(); i < built.count() + 2; ++i)
            EXPECT_TRUE(testing_support::SameBlock(sequence[i].get(), built[0].image)) << i;
    }
}

TEST_F(BadVideo, EqualSettingsGiveEqualFramesAndAnotherSeedOthers) {
    LoadPicture(48, 36);
    Programme({kFlashBox, kFadeBox, kSnowFlashBox, kRasterBox, kBlockBox});
    Monitor(kStudioMonitor);
    SetField(kSeedField, 500);
    const std::string first = BuildDigest(Build(effect));
    EXPECT_EQ(BuildDigest(Build(effect)), first);
    SetField(kSeedField, 501);
    EXPECT_NE(BuildDigest(Build(effect)), first);
}

TEST_F(BadVideo, DegeneratePicturesBuild) {
    // Pictures too small for a block, a rim or the flood fill's seed, and
    // long thin ones whose monitor drawing is far from square.
    Programme({kFlashBox, kFadeBox, kSnowFlashBox, kRasterBox, kBlockBox});
    for (auto [width, height] : {std::pair{1L, 1L}, {2L, 2L}, {2L, 1L}, {1L, 3L}, {7L, 5L}, {3L, 1000L}, {1000L, 3L}}) {
        const Pixels picture = LoadPicture(width, height);
        for (int type : {kNoMonitor, kRetroMonitor, kStudioMonitor, kFlatScreenMonitor}) {
            SCOPED_TRACE(testing::Message() << width << "x" << height << " monitor " << type);
            Monitor(type);
            const std::size_t blocks = luma::LiveGlobalBlocks(), objects = luma::LiveGdiObjects();
            {
                BuiltFrames built = Build(effect);
                ASSERT_EQ(built.result, 1);
                const std::vector<int> lengths = DrawnLengths(kSeed, 4);
                EXPECT_EQ(built.count(), kFadeFrames + lengths[0] + lengths[1] + lengths[2] + lengths[3]);
                for (int i = 0; i < built.count(); ++i) {
                    GlobalLockGuard<BITMAPINFOHEADER> header(built[i].image);
                    ASSERT_EQ(header->biWidth, width);
                    ASSERT_EQ(header->biHeight, height);
                    ASSERT_EQ(header->biBitCount, 24);
                }
                // Without a monitor the flash's first frame is the picture itself.
                if (type == kNoMonitor) {
                    EXPECT_EQ(Read(built[0].image), picture);
                }
            }
            EXPECT_EQ(luma::LiveGlobalBlocks(), blocks);
            EXPECT_EQ(luma::LiveGdiObjects(), objects);
        }
    }
}

TEST_F(BadVideo, FailedAllocationsLeaveNothingBehind) {
    // The sample picture: a failed SourceImage copy has nothing to fall back on.
    Programme({kFlashBox});
    Monitor(kNoMonitor);
    EXPECT_GT(testing_support::WalkAllocationFailures([&] { return Build(effect).result == 1; }), 10);

    // A small loaded picture. A failed copy of it falls back to the sample
    // picture: the build then succeeds on the wrong picture, which the walk
    // counts as a failure of this one, and a preview may show either picture.
    LoadPicture(24, 18);
    auto buildsTheLoadedPicture = [&] {
        BuiltFrames built = Build(effect);
        if (built.result != 1) return false;
        GlobalLockGuard<BITMAPINFOHEADER> header(built[0].image);
        return header->biWidth == 24;
    };
    Programme({kFlashBox, kFadeBox, kSnowFlashBox, kRasterBox, kBlockBox});
    EXPECT_GT(testing_support::WalkAllocationFailures(buildsTheLoadedPicture), 100);
    Programme({kFlashBox});
    for (int type : {kRetroMonitor, kStudioMonitor, kFlatScreenMonitor}) {
        Monitor(type);
        EXPECT_GT(testing_support::WalkAllocationFailures(buildsTheLoadedPicture), 20) << type;
        EXPECT_GT(testing_support::WalkAllocationFailures([&] { return static_cast<bool>(Preview(effect)); }, false),
                  20)
            << type;
    }
}

TEST_F(BadVideo, AWholeRunDeliversTheProgrammeToATrueColourHost) {
    // The page set through the dialog as a user would, Build pressed, and
    // the frames the host receives compared with the same settings built
    // here apart.
    LoadPicture(96, 72, 5);
    CloseDialog();
    testing_support::TestHost png(kTrueColourFlag, 16);
    luma::automation::CurrentScript()
        .SelectItem("Effect", "Bad Video")
        .SetCheck(kTrueColourBox, true)
        .SetCheck("Effect flash", true)
        .SetCheck("Effect snow flash", true)
        .SetCheck("Effect JPEG error", false)
        .SelectItem("Monitor type", "Flat Screen")
        .Click("Build");
    ASSERT_EQ(PLUGIN16DoBuild(nullptr, png.context()), 1);
    EXPECT_FALSE(luma::automation::GetReport().scriptRanOut);

    OpenDialog();
    EXPECT_TRUE(IsDlgButtonChecked(dialog, kFlashBox) && IsDlgButtonChecked(dialog, kSnowFlashBox) &&
                !IsDlgButtonChecked(dialog, kBlockBox));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kMonitorList, CB_GETCURSEL, 0, 0), kFlatScreenMonitor);
    BuiltFrames reference = Build(effect);
    ASSERT_EQ(reference.result, 1);
    const std::vector<int> lengths = DrawnLengths(kSeed, 3);
    ASSERT_EQ(reference.count(), lengths[0] + kFadeFrames + lengths[1] + lengths[2]);

    ASSERT_EQ(png.Count(kRequestNewAnimation), 1u);
    const TaskRecord task = *png.Of(kRequestNewAnimation)[0]->task;
    EXPECT_EQ(task.width, 96u);
    EXPECT_EQ(task.height, 72u);
    EXPECT_EQ(task.frameCount, static_cast<std::uint32_t>(reference.count()));
    const auto added = png.Of(kRequestAddFrame);
    ASSERT_EQ(added.size(), static_cast<std::size_t>(reference.count()));
    for (int i = 0; i < reference.count(); ++i) {
        EXPECT_EQ(added[i]->frame, testing_support::BlockBytes(reference[i].image)) << i;
        EXPECT_EQ(added[i]->image->delay, reference[i].delay) << i;
    }
    ASSERT_EQ(png.Count(kRequestFinish), 1u);
    EXPECT_EQ(png.Of(kRequestFinish)[0]->a, 1);

    // The effect's own progress, counted against its planned total.
    const int planned = lengths[0] + lengths[1] + lengths[2] + 65;
    std::vector<std::int64_t> counted;
    for (const HostRequest* r : png.Of(kRequestProgress))
        if (r->b == planned) counted.push_back(r->a);
    ASSERT_EQ(counted.size(), static_cast<std::size_t>(reference.count()));
    for (std::size_t i = 0; i < counted.size(); ++i) EXPECT_EQ(counted[i], static_cast<std::int64_t>(i));
}

TEST_F(BadVideo, GoldenFrames) {
    // The sample picture with the page's defaults: Retro, snow fade, raster
    // flash and block error.
    BuiltFrames defaults = Build(effect);
    ASSERT_EQ(defaults.result, 1);
    const std::vector<int> defaultLengths = DrawnLengths(kSeed, 2);
    EXPECT_EQ(defaults.count(), kFadeFrames + defaultLengths[0] + defaultLengths[1]);
    EXPECT_EQ(BuildDigest(defaults), "4c0ffd3974c652a0dbfc6e914c90d89f5a6bee9078cd2ca1babc2b5dadb162c6");

    // Every disturbance on a flat screen, a frame of each written out to be
    // looked at.
    Programme({kFlashBox, kFadeBox, kSnowFlashBox, kRasterBox, kBlockBox});
    Monitor(kFlatScreenMonitor);
    SetField(kSeedField, 2024);
    BuiltFrames all = Build(effect);
    ASSERT_EQ(all.result, 1);
    EXPECT_EQ(BuildDigest(all), "6d7ddfc0cc05872710d0378c45dba5f57e1f1ab5b2704f3f4b18d6aea24b0222");
    const std::vector<int> lengths = DrawnLengths(2024, 4);
    const int fade = lengths[0], snowFlash = fade + kFadeFrames, raster = snowFlash + lengths[1],
              blocks = raster + lengths[2];
    const std::pair<int, const char*> shots[] = {{1, "flash"},          {fade + 8, "fade"},
                                                 {snowFlash + 1, "snow_flash"}, {raster + 1, "raster"},
                                                 {blocks + 1, "block_error"}, {blocks + 2, "block_error2"}};
    for (auto [frame, name] : shots) WritePng(all[frame].image, std::string("bad_video_") + name + ".png");

    // And on a studio monitor over a small picture.
    LoadPicture(64, 48);
    Monitor(kStudioMonitor);
    BuiltFrames studio = Build(effect);
    ASSERT_EQ(studio.result, 1);
    EXPECT_EQ(BuildDigest(studio), "93baa71c76a8714cd5d1bb8b0cc0cce861b3b220f295a9ecafad996422b43357");
}

}  // namespace
