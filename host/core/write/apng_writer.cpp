// APNG through libpng and zlib. libpng writes the PNG that every viewer
// shows (signature, IHDR, PLTE, tRNS, the first frame as IDAT, IEND); the
// animation chunks go in between with png_write_chunk: acTL and the first
// fcTL before IDAT, then fcTL and fdAT (rows filtered and deflated here) for
// every further frame.
//
// Every frame after the first is kept as the smallest rectangle that holds
// what it changes on the screen (at its offset in fcTL; one pixel when it
// changes nothing), with its own pixels there: blended over the frame before
// and left in place, the rest of the screen shows what it showed.
//
// A PNG has one palette for all frames, so the frames are kept until the end
// and then surveyed: when all of them together use 256 colours or fewer
// (counting transparent as one), the file is paletted, the transparent entry
// first and the only one in tRNS; otherwise it is true colour, with alpha
// when any pixel is transparent. Every frame is blended over the one before
// and left in place, which is what a transparent index means in a GIF.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <unordered_map>
#include <vector>

#include "host/core/host_error.h"
#include "host/core/write/writers.h"

namespace {

static_assert(std::endian::native == std::endian::little, "pixels are kept as red, green, blue, alpha bytes");

constexpr std::uint32_t kTransparent = 0;  // all four bytes zero
constexpr BYTE kDisposeNone = 0;
constexpr BYTE kBlendOver = 1;

struct StoredFrame {
    LONG left = 0;
    LONG top = 0;
    LONG width = 0;
    LONG height = 0;
    std::uint32_t delay = 0;
    std::vector<std::uint32_t> pixels;  // red, green, blue, alpha bytes, rows from the top
};

void PutU32(BYTE* p, std::uint32_t v) {
    p[0] = static_cast<BYTE>(v >> 24);
    p[1] = static_cast<BYTE>(v >> 16);
    p[2] = static_cast<BYTE>(v >> 8);
    p[3] = static_cast<BYTE>(v);
}

void PutU16(BYTE* p, std::uint32_t v) {
    p[0] = static_cast<BYTE>(v >> 8);
    p[1] = static_cast<BYTE>(v);
}

// The delay as the fraction fcTL stores, numerator and denominator of 16 bits.
std::pair<std::uint32_t, std::uint32_t> DelayFraction(std::uint32_t delay, DelayUnit unit) {
    std::uint32_t denominator = unit == DelayUnit::Hundredths ? 100 : 1000;
    if (delay <= 0xFFFF) return {delay, denominator};
    return {static_cast<std::uint32_t>(std::min<std::uint64_t>(DelayInHundredths(delay, unit), 0xFFFF)), 100};
}

// How the file stores its pixels.
struct PixelFormat {
    bool paletted = false;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    std::vector<std::uint32_t> palette;  // paletted: the colours, transparent first when present
    std::unordered_map<std::uint32_t, BYTE> indexOf;
    bool transparentEntry = false;

    int BytesPerPixel() const { return colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3; }
    std::size_t RowBytes(LONG width) const {
        return paletted ? (static_cast<std::size_t>(width) * bitDepth + 7) / 8
                        : static_cast<std::size_t>(width) * BytesPerPixel();
    }
};

PixelFormat ChooseFormat(const std::vector<StoredFrame>& frames) {
    PixelFormat format;
    bool transparent = false, overflow = false;
    std::unordered_map<std::uint32_t, BYTE> seen;
    std::vector<std::uint32_t> opaque;
    for (const StoredFrame& frame : frames) {
        for (std::uint32_t pixel : frame.pixels) {
            if (pixel == kTransparent) {
                transparent = true;
                continue;
            }
            if (overflow || seen.count(pixel)) continue;
            seen.emplace(pixel, 0);
            opaque.push_back(pixel);
            overflow = opaque.size() + (transparent ? 1 : 0) > 256;
        }
    }
    if (overflow || opaque.size() + (transparent ? 1 : 0) > 256) {
        format.colourType = transparent ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
        return format;
    }
    format.paletted = true;
    format.colourType = PNG_COLOR_TYPE_PALETTE;
    format.transparentEntry = transparent;
    if (transparent) format.palette.push_back(kTransparent);
    format.palette.insert(format.palette.end(), opaque.begin(), opaque.end());
    for (std::size_t i = 0; i < format.palette.size(); ++i) format.indexOf[format.palette[i]] = static_cast<BYTE>(i);
    format.bitDepth = 1;
    while ((std::size_t{1} << format.bitDepth) < format.palette.size()) format.bitDepth *= 2;
    return format;
}

void PackRow(const PixelFormat& format, const std::uint32_t* pixels, LONG width, BYTE* out) {
    if (!format.paletted) {
        const int bpp = format.BytesPerPixel();
        for (LONG x = 0; x < width; ++x, out += bpp) std::memcpy(out, &pixels[x], static_cast<std::size_t>(bpp));
        return;
    }
    std::memset(out, 0, format.RowBytes(width));
    const int depth = format.bitDepth;
    for (LONG x = 0; x < width; ++x) {
        unsigned index = format.indexOf.at(pixels[x]);
        std::size_t bit = static_cast<std::size_t>(x) * depth;
        out[bit / 8] |= static_cast<BYTE>(index << (8 - depth - bit % 8));
    }
}

BYTE Paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<BYTE>(a);
    return static_cast<BYTE>(pb <= pc ? b : c);
}

// Appends the filter byte and filtered row. Paletted rows stay unfiltered, as
// the format's authors advise; true-colour rows take whichever of the five
// filters gives the smallest sum of magnitudes.
void AppendFilteredRow(const PixelFormat& format, const BYTE* row, const BYTE* above, std::size_t length,
                       std::vector<BYTE>& out) {
    if (format.paletted) {
        out.push_back(0);
        out.insert(out.end(), row, row + length);
        return;
    }
    const std::size_t bpp = static_cast<std::size_t>(format.BytesPerPixel());
    std::vector<BYTE> best, trial(length);
    std::uint64_t bestScore = UINT64_MAX;
    BYTE bestType = 0;
    for (BYTE type = 0; type <= 4; ++type) {
        std::uint64_t score = 0;
        for (std::size_t i = 0; i < length; ++i) {
            int a = i >= bpp ? row[i - bpp] : 0;
            int b = above ? above[i] : 0;
            int c = above && i >= bpp ? above[i - bpp] : 0;
            int predictor = type == 0 ? 0 : type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : Paeth(a, b, c);
            trial[i] = static_cast<BYTE>(row[i] - predictor);
            score += static_cast<std::uint64_t>(std::abs(static_cast<signed char>(trial[i])));
        }
        if (score < bestScore) {
            bestScore = score;
            bestType = type;
            best.swap(trial);
            trial.resize(length);
        }
    }
    out.push_back(bestType);
    out.insert(out.end(), best.begin(), best.end());
}

std::vector<BYTE> Deflate(const std::vector<BYTE>& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<BYTE> out(size);
    int result = compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) throw HostError("Cannot write the APNG file: compression failed.");
    out.resize(size);
    return out;
}

// What the libpng part needs, prepared beforehand so that the function that
// calls setjmp only hands bytes over.
struct ApngJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ByteSink* sink = nullptr;
    std::exception_ptr writeError;
    char message[200] = {};

    png_uint_32 width = 0, height = 0;
    int bitDepth = 8, colourType = PNG_COLOR_TYPE_RGB;
    png_color palette[256] = {};
    int paletteSize = 0;
    BYTE transparentAlpha[1] = {0};
    int transparentEntries = 0;
    png_text* text = nullptr;
    BYTE animationControl[8] = {};
    const BYTE* const* frameControls = nullptr;  // 26 bytes each
    png_bytep* firstRows = nullptr;
    const std::vector<BYTE>* frameData = nullptr;  // fdAT payloads for frames 1...
    std::size_t frames = 0;
};

void WriteToSink(png_structp png, png_bytep data, std::size_t size) {
    auto* job = static_cast<ApngJob*>(png_get_io_ptr(png));
    try {
        job->sink->Write(data, size);
    } catch (...) {
        job->writeError = std::current_exception();
    }
    if (job->writeError) png_error(png, "write failed");
}

void FlushNothing(png_structp) {}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* job = static_cast<ApngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool Emit(ApngJob& job) {
    if (setjmp(png_jmpbuf(job.png))) return false;
    png_set_write_fn(job.png, &job, WriteToSink, FlushNothing);
    png_set_IHDR(job.png, job.info, job.width, job.height, job.bitDepth, job.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job.paletteSize) png_set_PLTE(job.png, job.info, job.palette, job.paletteSize);
    if (job.transparentEntries) png_set_tRNS(job.png, job.info, job.transparentAlpha, job.transparentEntries, nullptr);
    if (job.text) png_set_text(job.png, job.info, job.text, 1);
    png_set_filter(job.png, PNG_FILTER_TYPE_BASE, job.paletteSize ? PNG_FILTER_NONE : PNG_ALL_FILTERS);
    png_write_info(job.png, job.info);
    png_write_chunk(job.png, reinterpret_cast<png_const_bytep>("acTL"), job.animationControl, 8);
    png_write_chunk(job.png, reinterpret_cast<png_const_bytep>("fcTL"), job.frameControls[0], 26);
    png_write_rows(job.png, job.firstRows, job.height);
    for (std::size_t i = 1; i < job.frames; ++i) {
        png_write_chunk(job.png, reinterpret_cast<png_const_bytep>("fcTL"), job.frameControls[i], 26);
        const std::vector<BYTE>& data = job.frameData[i];
        png_write_chunk(job.png, reinterpret_cast<png_const_bytep>("fdAT"), data.data(), data.size());
    }
    png_write_end(job.png, job.info);
    return true;
}

struct PngWriteStructs {
    ApngJob& job;
    ~PngWriteStructs() {
        if (job.png) png_destroy_write_struct(&job.png, job.info ? &job.info : nullptr);
    }
};

class ApngWriter final : public AnimationWriter {
public:
    explicit ApngWriter(ByteSink& sink) : AnimationWriter(sink) {}

private:
    void WriteStart() override {
        shown_.assign(static_cast<std::size_t>(canvas_.width) * static_cast<std::size_t>(canvas_.height), kTransparent);
    }

    void WriteFrame(const FrameView& frame) override {
        const std::size_t width = static_cast<std::size_t>(frame.Width());
        std::vector<std::uint32_t> pixels(width * static_cast<std::size_t>(frame.Height()));
        for (LONG y = 0; y < frame.Height(); ++y) frame.RgbaRow(y, reinterpret_cast<BYTE*>(pixels.data() + width * y));

        StoredFrame stored;
        stored.delay = frame.Delay();
        if (stored_.empty()) {
            stored.width = frame.Width();
            stored.height = frame.Height();
        } else {
            // The rectangle of the pixels that change the screen.
            LONG left = frame.Width(), right = -1, top = frame.Height(), bottom = -1;
            for (LONG y = 0; y < frame.Height(); ++y) {
                const std::uint32_t* row = pixels.data() + width * y;
                const std::uint32_t* shown = shown_.data() + static_cast<std::size_t>(y) * canvas_.width;
                for (LONG x = 0; x < frame.Width(); ++x)
                    if (row[x] != kTransparent && row[x] != shown[x]) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = y;
                    }
            }
            if (right < 0) left = right = top = bottom = 0;
            stored.left = left;
            stored.top = top;
            stored.width = right - left + 1;
            stored.height = bottom - top + 1;
        }
        stored.pixels.resize(static_cast<std::size_t>(stored.width) * static_cast<std::size_t>(stored.height));
        for (LONG y = 0; y < stored.height; ++y) {
            const std::uint32_t* row = pixels.data() + width * (stored.top + y) + stored.left;
            std::uint32_t* shown = shown_.data() + static_cast<std::size_t>(stored.top + y) * canvas_.width + stored.left;
            std::copy_n(row, stored.width, stored.pixels.data() + static_cast<std::size_t>(y) * stored.width);
            for (LONG x = 0; x < stored.width; ++x)
                if (row[x] != kTransparent) shown[x] = row[x];
        }
        stored_.push_back(std::move(stored));
    }

    // The first frame is the file's still picture and must cover the canvas;
    // what a smaller one leaves open is transparent.
    void CoverCanvas(StoredFrame& first) const {
        if (first.width == canvas_.width && first.height == canvas_.height) return;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(canvas_.width) * canvas_.height, kTransparent);
        for (LONG y = 0; y < first.height; ++y)
            std::copy_n(first.pixels.data() + static_cast<std::size_t>(y) * first.width, first.width,
                        pixels.data() + static_cast<std::size_t>(y) * canvas_.width);
        first.pixels.swap(pixels);
        first.width = canvas_.width;
        first.height = canvas_.height;
    }

    void WriteEnd() override {
        CoverCanvas(stored_.front());
        const PixelFormat format = ChooseFormat(stored_);
        const std::size_t count = stored_.size();

        ApngJob job;
        job.sink = &sink_;
        job.width = static_cast<png_uint_32>(canvas_.width);
        job.height = static_cast<png_uint_32>(canvas_.height);
        job.bitDepth = format.bitDepth;
        job.colourType = format.colourType;
        if (format.paletted) {
            job.paletteSize = static_cast<int>(format.palette.size());
            for (std::size_t i = 0; i < format.palette.size(); ++i) {
                std::uint32_t c = format.palette[i];
                job.palette[i] = png_color{static_cast<png_byte>(c), static_cast<png_byte>(c >> 8), static_cast<png_byte>(c >> 16)};
            }
            job.transparentEntries = format.transparentEntry ? 1 : 0;
        }
        png_text text{};
        std::string keyword = "Comment";
        if (!comment_.empty()) {
            text.compression = PNG_TEXT_COMPRESSION_NONE;
            text.key = keyword.data();
            text.text = comment_.data();
            text.text_length = comment_.size();
            job.text = &text;
        }
        PutU32(job.animationControl, static_cast<std::uint32_t>(count));
        PutU32(job.animationControl + 4, 0);  // plays forever

        std::vector<std::array<BYTE, 26>> controls(count);
        std::vector<const BYTE*> controlPointers(count);
        std::uint32_t sequence = 0;
        std::vector<std::vector<BYTE>> data(count);
        for (std::size_t i = 0; i < count; ++i) {
            const StoredFrame& frame = stored_[i];
            BYTE* c = controls[i].data();
            auto [numerator, denominator] = DelayFraction(frame.delay, canvas_.delayUnit);
            PutU32(c, sequence++);
            PutU32(c + 4, static_cast<std::uint32_t>(frame.width));
            PutU32(c + 8, static_cast<std::uint32_t>(frame.height));
            PutU32(c + 12, static_cast<std::uint32_t>(frame.left));
            PutU32(c + 16, static_cast<std::uint32_t>(frame.top));
            PutU16(c + 20, numerator);
            PutU16(c + 22, denominator);
            c[24] = kDisposeNone;
            c[25] = kBlendOver;
            controlPointers[i] = c;
            if (i == 0) continue;
            // fdAT: the sequence number, then the deflated filtered rows.
            const std::size_t rowBytes = format.RowBytes(frame.width);
            std::vector<BYTE> raw, row(rowBytes), above(rowBytes);
            raw.reserve((rowBytes + 1) * static_cast<std::size_t>(frame.height));
            for (LONG y = 0; y < frame.height; ++y) {
                PackRow(format, frame.pixels.data() + static_cast<std::size_t>(y) * frame.width, frame.width, row.data());
                AppendFilteredRow(format, row.data(), y ? above.data() : nullptr, rowBytes, raw);
                row.swap(above);
            }
            std::vector<BYTE> deflated = Deflate(raw);
            data[i].resize(4 + deflated.size());
            PutU32(data[i].data(), sequence++);
            std::copy(deflated.begin(), deflated.end(), data[i].begin() + 4);
            stored_[i].pixels = {};
        }

        const StoredFrame& first = stored_.front();
        const std::size_t firstRowBytes = format.RowBytes(first.width);
        std::vector<BYTE> firstPixels(firstRowBytes * static_cast<std::size_t>(first.height));
        std::vector<png_bytep> firstRows(static_cast<std::size_t>(first.height));
        for (LONG y = 0; y < first.height; ++y) {
            firstRows[y] = firstPixels.data() + firstRowBytes * y;
            PackRow(format, first.pixels.data() + static_cast<std::size_t>(y) * first.width, first.width, firstRows[y]);
        }
        job.frameControls = controlPointers.data();
        job.firstRows = firstRows.data();
        job.frameData = data.data();
        job.frames = count;

        PngWriteStructs owner{job};
        job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, OnError, OnWarning);
        if (!job.png) throw std::bad_alloc();
        job.info = png_create_info_struct(job.png);
        if (!job.info) throw std::bad_alloc();
        if (!Emit(job)) {
            if (job.writeError) std::rethrow_exception(job.writeError);
            throw HostError(std::string("Cannot write the APNG file: ") + job.message + ".");
        }
    }

    std::vector<StoredFrame> stored_;
    std::vector<std::uint32_t> shown_;  // what the screen shows after the last frame
};

}  // namespace

std::unique_ptr<AnimationWriter> MakeApngWriter(ByteSink& sink) { return std::make_unique<ApngWriter>(sink); }
