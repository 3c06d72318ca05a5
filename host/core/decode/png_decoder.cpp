// PNG through libpng. libpng reports errors with longjmp, so everything it
// may jump over lives in PngJob, which has no destructor: the functions that
// call setjmp keep only trivial locals, and the owners of memory (the png
// structures, the picture, the work rows) sit in DecodePng around them.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/core/decode/decoders.h"
#include "host/core/host_error.h"

namespace {

struct PngJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const BYTE* data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
    char message[200] = {};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool alpha = false;
    int passes = 1;
    // Filled in before ReadRows: the picture's rows and, with alpha, where
    // libpng's blue-green-red-alpha rows go before they are laid over white.
    BYTE* const* rows = nullptr;
    BYTE* work = nullptr;
    bool workHoldsAllRows = false;
};

void ReadFromMemory(png_structp png, png_bytep out, std::size_t count) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (count > job->size - job->at) png_error(png, "the file is truncated");
    std::memcpy(out, job->data + job->at, count);
    job->at += count;
}

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool ReadHeader(PngJob& job) {
    if (setjmp(png_jmpbuf(job.png))) return false;
    png_set_read_fn(job.png, &job, ReadFromMemory);
    // The host checks the size itself, with its own message; libpng's default
    // limit of a million pixels a side must not answer first.
    png_set_user_limits(job.png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(job.png, job.info);
    png_set_expand(job.png);
    png_set_strip_16(job.png);
    png_set_gray_to_rgb(job.png);
    png_set_bgr(job.png);
    job.passes = png_set_interlace_handling(job.png);
    png_read_update_info(job.png, job.info);
    job.width = png_get_image_width(job.png, job.info);
    job.height = png_get_image_height(job.png, job.info);
    job.alpha = png_get_channels(job.png, job.info) == 4;
    return png_get_channels(job.png, job.info) == (job.alpha ? 4 : 3) && png_get_bit_depth(job.png, job.info) == 8;
}

void LayOverWhite(const BYTE* bgra, BYTE* bgr, png_uint_32 width) {
    for (png_uint_32 x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        bgr[0] = OverWhite(bgra[0], bgra[3]);
        bgr[1] = OverWhite(bgra[1], bgra[3]);
        bgr[2] = OverWhite(bgra[2], bgra[3]);
    }
}

bool ReadRows(PngJob& job) {
    if (setjmp(png_jmpbuf(job.png))) return false;
    const std::size_t workStride = std::size_t{job.width} * 4;
    for (int pass = 0; pass < job.passes; ++pass) {
        for (png_uint_32 y = 0; y < job.height; ++y) {
            if (!job.alpha) {
                png_read_row(job.png, job.rows[y], nullptr);
                continue;
            }
            BYTE* work = job.work + (job.workHoldsAllRows ? workStride * y : 0);
            png_read_row(job.png, work, nullptr);
            if (!job.workHoldsAllRows) LayOverWhite(work, job.rows[y], job.width);
        }
    }
    if (job.workHoldsAllRows)
        for (png_uint_32 y = 0; y < job.height; ++y) LayOverWhite(job.work + workStride * y, job.rows[y], job.width);
    png_read_end(job.png, nullptr);
    return true;
}

// Owns the png structures of a job.
struct PngReadStructs {
    PngJob& job;
    ~PngReadStructs() {
        if (job.png) png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
    }
};

[[noreturn]] void Failed(const PngJob& job) {
    if (std::strcmp(job.message, "the file is truncated") == 0) throw HostError("the PNG file is truncated");
    throw HostError(std::string("the PNG file is damaged (") + job.message + ")");
}

}  // namespace

HGLOBAL DecodePng(const BYTE* bytes, std::size_t size) {
    PngJob job;
    job.data = bytes;
    job.size = size;
    PngReadStructs owner{job};
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, OnError, OnWarning);
    if (!job.png) throw HostError("out of memory");
    job.info = png_create_info_struct(job.png);
    if (!job.info) throw HostError("out of memory");
    if (!ReadHeader(job)) {
        if (job.message[0]) Failed(job);
        throw HostError("the PNG file has a layout this program cannot read");
    }

    TrueColourPicture picture(job.width, job.height);
    std::vector<BYTE*> rows(job.height);
    for (png_uint_32 y = 0; y < job.height; ++y) rows[y] = picture.Row(static_cast<LONG>(y));
    job.rows = rows.data();
    std::vector<BYTE> work;
    if (job.alpha) {
        // Interlaced passes fill each row in several visits, so every row must
        // wait in the work buffer until the last pass.
        job.workHoldsAllRows = job.passes > 1;
        work.resize(std::size_t{job.width} * 4 * (job.workHoldsAllRows ? job.height : 1));
        job.work = work.data();
    }
    if (!ReadRows(job)) Failed(job);
    return picture.Release();
}
