#include "tests/host/host_test_support.h"

#include <gtest/gtest.h>

#include <gif_lib.h>
#include <png.h>
#include <webp/encode.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "image/packed_dib.h"
#include "plugin/guards.h"

namespace host_testing {

namespace {

void PutU16(std::vector<BYTE>& out, std::uint32_t v) {
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}

void PutU32(std::vector<BYTE>& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

std::uint32_t BigU32(const BYTE* p) { return (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

struct PngWriteJob {
    std::vector<BYTE>* out;
    int width, height, colourType;
    bool interlaced;
    png_bytep* rows;
};

void AppendPng(png_structp png, png_bytep data, std::size_t size) {
    auto* job = static_cast<PngWriteJob*>(png_get_io_ptr(png));
    job->out->insert(job->out->end(), data, data + size);
}

void NoFlush(png_structp) {}

// Only trivial locals between setjmp and the calls that may jump.
bool WritePngRows(PngWriteJob& job, png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &job, AppendPng, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(job.width), static_cast<png_uint_32>(job.height), 8,
                 job.colourType, job.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, job.rows);
    png_write_end(png, info);
    return true;
}

std::vector<BYTE> WritePng(int width, int height, int colourType, int channels, const std::vector<BYTE>& pixels,
                           bool interlaced) {
    std::vector<BYTE> out;
    std::vector<BYTE> copy(pixels);
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) rows[y] = copy.data() + static_cast<std::size_t>(y) * width * channels;
    PngWriteJob job{&out, width, height, colourType, interlaced, rows.data()};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool ok = WritePngRows(job, png, info);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok);
    return out;
}

int AppendGif(GifFileType* gif, const GifByteType* data, int size) {
    auto* out = static_cast<std::vector<BYTE>*>(gif->UserData);
    out->insert(out->end(), data, data + size);
    return size;
}

}  // namespace

Rgb SmoothPicture() {
    Rgb p;
    p.width = p.height = 32;
    p.pixels.resize(32 * 32 * 3);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            int bx = x / 2, by = y / 2;
            BYTE* px = p.At(x, y);
            px[0] = static_cast<BYTE>(bx * 17);
            px[1] = static_cast<BYTE>(by * 17);
            px[2] = static_cast<BYTE>(255 - (bx + by) * 8);
        }
    return p;
}

Rgb PictureOf(HGLOBAL dib) {
    Rgb p;
    GlobalLockGuard<BYTE> bits(dib);
    EXPECT_TRUE(bits);
    if (!bits) return p;
    EXPECT_TRUE(PackedDibFits(bits.get(), GlobalSize(dib)));
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(bits.get());
    EXPECT_EQ(h->biBitCount, 24);
    p.width = h->biWidth;
    p.height = h->biHeight;
    p.pixels.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            DWORD v = GetDibPixel(bits.get(), x, y);
            BYTE* px = p.At(x, y);
            px[0] = GetRValue(v);
            px[1] = GetGValue(v);
            px[2] = GetBValue(v);
        }
    return p;
}

int LargestDifference(const Rgb& a, const Rgb& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return 256;
    int largest = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) largest = std::max(largest, std::abs(a.pixels[i] - b.pixels[i]));
    return largest;
}

std::vector<BYTE> BmpFile(const Rgb& picture, bool topDown) {
    const std::size_t stride = DibStride(picture.width, 24);
    const std::size_t imageBytes = stride * picture.height;
    std::vector<BYTE> out;
    out.push_back('B');
    out.push_back('M');
    PutU32(out, static_cast<std::uint32_t>(54 + imageBytes));
    PutU32(out, 0);
    PutU32(out, 54);
    PutU32(out, 40);
    PutU32(out, static_cast<std::uint32_t>(picture.width));
    PutU32(out, static_cast<std::uint32_t>(topDown ? -picture.height : picture.height));
    PutU16(out, 1);
    PutU16(out, 24);
    for (int i = 0; i < 6; ++i) PutU32(out, i == 1 ? static_cast<std::uint32_t>(imageBytes) : 0);
    for (int row = 0; row < picture.height; ++row) {
        int y = topDown ? row : picture.height - 1 - row;
        for (int x = 0; x < picture.width; ++x) {
            const BYTE* px = picture.At(x, y);
            out.push_back(px[2]);
            out.push_back(px[1]);
            out.push_back(px[0]);
        }
        out.resize(out.size() + (stride - 3 * picture.width), 0);
    }
    return out;
}

std::vector<BYTE> PngFile(const Rgb& picture, bool interlaced) {
    return WritePng(picture.width, picture.height, PNG_COLOR_TYPE_RGB, 3, picture.pixels, interlaced);
}

std::vector<BYTE> PngFileWithAlpha(int width, int height, const std::vector<BYTE>& rgba, bool interlaced) {
    return WritePng(width, height, PNG_COLOR_TYPE_RGB_ALPHA, 4, rgba, interlaced);
}

namespace {

std::vector<BYTE> Jpeg(int width, int height, int components, const BYTE* samples, int quality,
                       const std::vector<jpeg_scan_info>& scans, bool progressive) {
    static const J_COLOR_SPACE spaces[] = {JCS_UNKNOWN, JCS_GRAYSCALE, JCS_UNKNOWN, JCS_RGB, JCS_CMYK};
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = spaces[components];
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    // Colour kept at full resolution, so that only quantization loses detail.
    for (int i = 0; i < cinfo.num_components; ++i) cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    if (progressive) jpeg_simple_progression(&cinfo);
    if (!scans.empty()) {
        cinfo.scan_info = scans.data();
        cinfo.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<BYTE*>(samples) + std::size_t(cinfo.next_scanline) * width * components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<BYTE> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace

std::vector<BYTE> JpegFile(const Rgb& picture, int quality) {
    return Jpeg(picture.width, picture.height, 3, picture.pixels.data(), quality, {}, false);
}

std::vector<BYTE> JpegFileOf(int width, int height, int components, const std::vector<BYTE>& samples,
                             const std::vector<jpeg_scan_info>& scans, bool progressive) {
    return Jpeg(width, height, components, samples.data(), 100, scans, progressive);
}

std::vector<BYTE> GifFile(const Rgb& picture, bool interlaced, int transparent) {
    std::map<std::uint32_t, int> indexOf;
    std::vector<GifColorType> colours;
    std::vector<GifPixelType> pixels;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const BYTE* px = picture.At(x, y);
            std::uint32_t key = px[0] | (px[1] << 8) | (px[2] << 16);
            auto [it, added] = indexOf.try_emplace(key, static_cast<int>(colours.size()));
            if (added) colours.push_back(GifColorType{px[0], px[1], px[2]});
            pixels.push_back(static_cast<GifPixelType>(it->second));
        }
    EXPECT_LE(colours.size(), 256u);
    colours.resize(256, GifColorType{0, 0, 0});
    std::vector<BYTE> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, map);
    if (transparent >= 0) {
        GraphicsControlBlock gcb{DISPOSE_DO_NOT, false, 0, pixels[0]};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    }
    EGifPutImageDesc(gif, 0, 0, picture.width, picture.height, interlaced, nullptr);
    std::vector<int> order;
    if (interlaced) {
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < picture.height; y += step[pass]) order.push_back(y);
    } else {
        for (int y = 0; y < picture.height; ++y) order.push_back(y);
    }
    for (int y : order) EGifPutLine(gif, pixels.data() + static_cast<std::size_t>(y) * picture.width, picture.width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::vector<BYTE> GifWithScreen(int screenWidth, int screenHeight, int left, int top, int width, int height) {
    std::vector<BYTE> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    GifColorType colours[2] = {{0, 0, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 1, 0, map);
    EGifPutImageDesc(gif, left, top, width, height, false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(width), 1);
    for (int y = 0; y < height; ++y) EGifPutLine(gif, line.data(), width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::vector<BYTE> WebPFile(const Rgb& picture) {
    uint8_t* data = nullptr;
    std::size_t size = WebPEncodeLosslessRGB(picture.pixels.data(), picture.width, picture.height, picture.width * 3, &data);
    std::vector<BYTE> out(data, data + size);
    WebPFree(data);
    return out;
}

std::vector<BYTE> WebPFileWithAlpha(int width, int height, const std::vector<BYTE>& rgba) {
    uint8_t* data = nullptr;
    std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &data);
    std::vector<BYTE> out(data, data + size);
    WebPFree(data);
    return out;
}

std::vector<PngChunk> PngChunks(const std::vector<BYTE>& file) {
    std::vector<PngChunk> chunks;
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        std::uint32_t length = BigU32(file.data() + at);
        if (at + 12 + length > file.size()) {
            ADD_FAILURE() << "chunk runs past the end of the file";
            break;
        }
        PngChunk chunk;
        chunk.type.assign(reinterpret_cast<const char*>(file.data() + at + 4), 4);
        chunk.data.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                          file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
        uLong crc = crc32(0, file.data() + at + 4, length + 4);
        chunk.crcGood = crc == BigU32(file.data() + at + 8 + length);
        chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    EXPECT_EQ(at, file.size()) << "bytes left after the last chunk";
    return chunks;
}

Rgba ReadPng(const std::vector<BYTE>& file) {
    Rgba out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        ADD_FAILURE() << "libpng cannot read the file: " << image.message;
        return out;
    }
    image.format = PNG_FORMAT_RGBA;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        ADD_FAILURE() << "libpng cannot read the pixels: " << image.message;
        out.pixels.clear();
    }
    png_image_free(&image);
    return out;
}

std::vector<BYTE> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumafex-host-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
    EXPECT_FALSE(path_.empty());
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TemporaryFolder::Files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace host_testing
