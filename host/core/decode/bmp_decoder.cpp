// BMP files are a packed DIB behind a 14-byte file header, so they are read
// here directly: OS/2 and Windows headers, 1 to 32 bits, bottom-up and
// top-down, colour masks, and the run-length codings of 4 and 8 bits.
#include <bit>
#include <cstring>
#include <vector>

#include "host/core/decode/decoders.h"
#include "host/core/host_error.h"

namespace {

constexpr std::size_t kFileHeaderBytes = 14;

std::uint32_t U16(const BYTE* p) { return p[0] | (p[1] << 8); }
std::uint32_t U32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }

[[noreturn]] void Damaged(const char* what) { throw HostError(std::string("the BMP file is damaged (") + what + ")"); }
[[noreturn]] void Truncated() { throw HostError("the BMP file is truncated"); }
[[noreturn]] void Unsupported(const std::string& what) { throw HostError("BMP files " + what + " are not supported"); }

// One colour channel described by a bit mask, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    static Channel From(std::uint32_t mask) {
        Channel c;
        if (!mask) return c;
        c.mask = mask;
        c.shift = std::countr_zero(mask);
        c.max = mask >> c.shift;
        if (c.max & (c.max + 1)) Damaged("colour mask with gaps");
        return c;
    }
    BYTE Of(std::uint32_t value) const {
        if (!mask) return 0;
        std::uint64_t v = (value & mask) >> shift;
        return static_cast<BYTE>((v * 255 + max / 2) / max);
    }
};

struct BmpHeader {
    std::int64_t width = 0;
    std::int64_t height = 0;  // positive
    bool topDown = false;
    unsigned bits = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t colours = 0;  // table entries given
    std::size_t tableAt = 0;
    std::size_t entryBytes = 4;
    Channel red, green, blue;
};

BmpHeader ReadHeader(const BYTE* bytes, std::size_t size) {
    if (size < kFileHeaderBytes + 12) Truncated();
    BmpHeader h;
    const BYTE* info = bytes + kFileHeaderBytes;
    std::uint32_t infoSize = U32(info);
    if (infoSize == 12) {
        h.width = U16(info + 4);
        h.height = U16(info + 6);
        if (U16(info + 8) != 1) Damaged("plane count");
        h.bits = U16(info + 10);
        h.entryBytes = 3;
        h.tableAt = kFileHeaderBytes + infoSize;
        return h;
    }
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        Unsupported("with a " + std::to_string(infoSize) + "-byte header");
    if (size < kFileHeaderBytes + infoSize) Truncated();
    h.width = static_cast<std::int32_t>(U32(info + 4));
    std::int64_t height = static_cast<std::int32_t>(U32(info + 8));
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    if (U16(info + 12) != 1) Damaged("plane count");
    h.bits = U16(info + 14);
    h.compression = U32(info + 16);
    h.colours = U32(info + 32);
    h.tableAt = kFileHeaderBytes + infoSize;
    if (h.compression == BI_BITFIELDS) {
        const BYTE* masks = info + 40;
        if (infoSize == 40) {
            // The masks follow the short header, before the colour table.
            if (size < h.tableAt + 12) Truncated();
            h.tableAt += 12;
        }
        h.red = Channel::From(U32(masks));
        h.green = Channel::From(U32(masks + 4));
        h.blue = Channel::From(U32(masks + 8));
    } else if (h.bits == 16) {
        h.red = Channel::From(0x7C00);
        h.green = Channel::From(0x03E0);
        h.blue = Channel::From(0x001F);
    } else if (h.bits == 32) {
        h.red = Channel::From(0x00FF0000);
        h.green = Channel::From(0x0000FF00);
        h.blue = Channel::From(0x000000FF);
    }
    return h;
}

void CheckCombination(const BmpHeader& h) {
    switch (h.compression) {
    case BI_RGB:
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
            Unsupported("of " + std::to_string(h.bits) + " bits per pixel");
        break;
    case BI_BITFIELDS:
        if (h.bits != 16 && h.bits != 32) Damaged("colour masks at a depth that has none");
        break;
    case BI_RLE8:
        if (h.bits != 8) Damaged("8-bit run-length coding at another depth");
        break;
    case BI_RLE4:
        if (h.bits != 4) Damaged("4-bit run-length coding at another depth");
        break;
    default:
        Unsupported("with embedded JPEG or PNG data or other codings");
    }
    if (h.topDown && (h.compression == BI_RLE8 || h.compression == BI_RLE4)) Damaged("top-down run-length coding");
}

// Table entries as 0x00BBGGRR, padded with black to the depth's full count so
// that any stored index has a colour.
std::vector<DWORD> ReadTable(const BmpHeader& h, const BYTE* bytes, std::size_t size, std::size_t pixelsAt) {
    std::vector<DWORD> table;
    if (h.bits > 8) return table;
    std::size_t full = std::size_t{1} << h.bits;
    std::size_t given = h.colours == 0 ? full : std::min<std::size_t>(h.colours, full);
    // The table may not run into the pixels; what lies beyond the file is missing.
    std::size_t room = pixelsAt > h.tableAt ? (pixelsAt - h.tableAt) / h.entryBytes : 0;
    given = std::min(given, room);
    if (h.tableAt + given * h.entryBytes > size) Truncated();
    table.assign(full, 0);
    for (std::size_t i = 0; i < given; ++i) {
        const BYTE* e = bytes + h.tableAt + i * h.entryBytes;
        table[i] = RGB(e[2], e[1], e[0]);
    }
    return table;
}

void PutColour(BYTE* pixel, DWORD colour) {
    pixel[0] = GetBValue(colour);
    pixel[1] = GetGValue(colour);
    pixel[2] = GetRValue(colour);
}

// Run-length coded pixels into an index per pixel, rows from the bottom.
// Runs that leave the picture are cut; a code that needs bytes the file does
// not have means the file is truncated.
std::vector<BYTE> ExpandRunLengths(const BmpHeader& h, const BYTE* data, std::size_t size) {
    const std::size_t width = static_cast<std::size_t>(h.width);
    const std::size_t height = static_cast<std::size_t>(h.height);
    std::vector<BYTE> indexes(width * height, 0);
    const bool four = h.compression == BI_RLE4;
    std::size_t x = 0, row = 0, at = 0;
    auto need = [&](std::size_t n) {
        if (size - at < n) Truncated();
    };
    auto put = [&](BYTE index) {
        if (x < width && row < height) indexes[row * width + x] = index;
        ++x;
    };
    while (row < height) {
        need(2);
        BYTE count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i)
                put(four ? static_cast<BYTE>((i & 1) ? value & 0x0F : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            need(2);
            x += data[at];
            row += data[at + 1];
            at += 2;
        } else {
            std::size_t bytesUsed = four ? (value + 1u) / 2 : value;
            need(bytesUsed);
            for (unsigned i = 0; i < value; ++i) {
                BYTE b = data[at + (four ? i / 2 : i)];
                put(four ? static_cast<BYTE>((i & 1) ? b & 0x0F : b >> 4) : b);
            }
            at += (bytesUsed + 1) & ~std::size_t{1};  // absolute runs end on a word boundary
            if (at > size) Truncated();
        }
    }
    return indexes;
}

}  // namespace

HGLOBAL DecodeBmp(const BYTE* bytes, std::size_t size) {
    BmpHeader h = ReadHeader(bytes, size);
    CheckCombination(h);
    CheckPictureSize(h.width, h.height);
    std::size_t pixelsAt = U32(bytes + 10);
    if (pixelsAt < h.tableAt || pixelsAt > size) Damaged("pixel data offset");
    std::vector<DWORD> table = ReadTable(h, bytes, size, pixelsAt);

    TrueColourPicture picture(h.width, h.height);
    const LONG width = picture.Width();
    const LONG height = picture.Height();
    const BYTE* data = bytes + pixelsAt;

    if (h.compression == BI_RLE8 || h.compression == BI_RLE4) {
        std::vector<BYTE> indexes = ExpandRunLengths(h, data, size - pixelsAt);
        for (LONG y = 0; y < height; ++y) {
            const BYTE* source = indexes.data() + static_cast<std::size_t>(height - 1 - y) * width;
            BYTE* out = picture.Row(y);
            for (LONG x = 0; x < width; ++x) PutColour(out + 3 * x, table[source[x]]);
        }
        return picture.Release();
    }

    const std::size_t stride = DibStride(width, static_cast<int>(h.bits));
    if (static_cast<std::uint64_t>(stride) * height > size - pixelsAt) Truncated();
    for (LONG y = 0; y < height; ++y) {
        std::size_t stored = h.topDown ? static_cast<std::size_t>(y) : static_cast<std::size_t>(height - 1 - y);
        const BYTE* row = data + stored * stride;
        BYTE* out = picture.Row(y);
        for (LONG x = 0; x < width; ++x) {
            BYTE* pixel = out + 3 * static_cast<std::size_t>(x);
            switch (h.bits) {
            case 1:
                PutColour(pixel, table[(row[x / 8] >> (7 - (x & 7))) & 1]);
                break;
            case 4:
                PutColour(pixel, table[(x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4]);
                break;
            case 8:
                PutColour(pixel, table[row[x]]);
                break;
            case 24:
                std::memcpy(pixel, row + 3 * static_cast<std::size_t>(x), 3);
                break;
            default: {
                // 16 and 32 bits go through the masks; an alpha channel is
                // left out, as GDI leaves it out when it draws such a DIB.
                std::uint32_t v = h.bits == 16 ? U16(row + 2 * static_cast<std::size_t>(x))
                                               : U32(row + 4 * static_cast<std::size_t>(x));
                pixel[0] = h.blue.Of(v);
                pixel[1] = h.green.Of(v);
                pixel[2] = h.red.Of(v);
            }
            }
        }
    }
    return picture.Release();
}
