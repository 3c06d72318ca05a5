// JPEG through libjpeg-turbo. As with libpng, errors leave by longjmp, so
// the setjmp functions keep trivial locals and the owners stay in DecodeJpeg.
#include <cstdio>  // jpeglib.h needs FILE first
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "host/core/decode/decoders.h"
#include "host/core/host_error.h"
#include "host/core/limits.h"

namespace {

// A progressive file can carry any number of scans, each a full pass over
// the picture; past this many the file is taken for damaged rather than
// decoded for minutes.
constexpr int kMaxScans = 500;

struct JpegJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    bool truncated = false;
    bool created = false;
    bool cmyk = false;
    BYTE* const* rows = nullptr;
    BYTE* work = nullptr;  // one CMYK row
};

JpegJob& JobOf(j_common_ptr cinfo) {
    return *reinterpret_cast<JpegJob*>(reinterpret_cast<BYTE*>(cinfo->err) - offsetof(JpegJob, errors));
}

[[noreturn]] void Fail(j_common_ptr cinfo) {
    JpegJob& job = JobOf(cinfo);
    (*cinfo->err->format_message)(cinfo, job.message);
    std::longjmp(job.jump, 1);
}

void OnErrorExit(j_common_ptr cinfo) { Fail(cinfo); }

// Warnings report damage that libjpeg papers over with grey; only those that
// say nothing about the pixels are let through.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level != -1) return;
    switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC:
        return;
    case JWRN_JPEG_EOF:
        JobOf(cinfo).truncated = true;
        break;
    default:
        break;
    }
    Fail(cinfo);
}

void OnProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        JpegJob& job = JobOf(cinfo);
        std::snprintf(job.message, sizeof job.message, "more than %d scans", kMaxScans);
        std::longjmp(job.jump, 1);
    }
}

bool ReadHeader(JpegJob& job, const BYTE* bytes, std::size_t size) {
    if (setjmp(job.jump)) return false;
    job.cinfo.err = jpeg_std_error(&job.errors);
    job.errors.error_exit = OnErrorExit;
    job.errors.emit_message = OnMessage;
    jpeg_create_decompress(&job.cinfo);
    job.created = true;
    job.progress.progress_monitor = OnProgress;
    job.cinfo.progress = &job.progress;
    job.cinfo.mem->max_memory_to_use = static_cast<long>(kMaxDecodedBytes);
    jpeg_mem_src(&job.cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&job.cinfo, TRUE);
    job.cmyk = job.cinfo.jpeg_color_space == JCS_CMYK || job.cinfo.jpeg_color_space == JCS_YCCK;
    job.cinfo.out_color_space = job.cmyk ? JCS_CMYK : JCS_EXT_BGR;
    return true;
}

bool Start(JpegJob& job) {
    if (setjmp(job.jump)) return false;
    jpeg_start_decompress(&job.cinfo);
    return true;
}

// Adobe's files store CMYK inverted, which is what nearly every CMYK JPEG is.
void CmykToBgr(const BYTE* cmyk, BYTE* bgr, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = static_cast<BYTE>((y * k + 127) / 255);
        bgr[1] = static_cast<BYTE>((m * k + 127) / 255);
        bgr[2] = static_cast<BYTE>((c * k + 127) / 255);
    }
}

bool ReadRows(JpegJob& job) {
    if (setjmp(job.jump)) return false;
    while (job.cinfo.output_scanline < job.cinfo.output_height) {
        JDIMENSION y = job.cinfo.output_scanline;
        JSAMPROW row = job.cmyk ? job.work : job.rows[y];
        if (jpeg_read_scanlines(&job.cinfo, &row, 1) != 1) {
            std::snprintf(job.message, sizeof job.message, "no scanline %u", y);
            return false;
        }
        if (job.cmyk) CmykToBgr(job.work, job.rows[y], job.cinfo.output_width, job.cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&job.cinfo);
    return true;
}

struct JpegOwner {
    JpegJob& job;
    ~JpegOwner() {
        if (job.created) jpeg_destroy_decompress(&job.cinfo);
    }
};

[[noreturn]] void Failed(const JpegJob& job) {
    if (job.truncated) throw HostError("the JPEG file is truncated");
    throw HostError(std::string("the JPEG file is damaged (") + job.message + ")");
}

}  // namespace

HGLOBAL DecodeJpeg(const BYTE* bytes, std::size_t size) {
    JpegJob job;
    std::memset(&job.cinfo, 0, sizeof job.cinfo);
    JpegOwner owner{job};
    if (!ReadHeader(job, bytes, size)) Failed(job);
    CheckPictureSize(job.cinfo.image_width, job.cinfo.image_height);
    if (!Start(job)) Failed(job);
    if (job.cinfo.output_components != (job.cmyk ? 4 : 3)) throw HostError("the JPEG file has an unusual layout");

    TrueColourPicture picture(job.cinfo.output_width, job.cinfo.output_height);
    std::vector<BYTE*> rows(job.cinfo.output_height);
    for (JDIMENSION y = 0; y < job.cinfo.output_height; ++y) rows[y] = picture.Row(static_cast<LONG>(y));
    job.rows = rows.data();
    std::vector<BYTE> work;
    if (job.cmyk) {
        work.resize(std::size_t{job.cinfo.output_width} * 4);
        job.work = work.data();
    }
    if (!ReadRows(job)) Failed(job);
    return picture.Release();
}
