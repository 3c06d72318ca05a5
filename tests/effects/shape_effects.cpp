#include "tests/effects/shape_effects.h"

#include <cmath>

#include "effects/source_image.h"
#include "image/filters.h"
#include "image/packed_dib.h"

namespace testing_support {

BodyState::BodyState(const EffectBody& body, HWND page) : body_(body) {
    std::memset(body.state, 0, body.stateSize);
    context_.page = page;
    context_.state = body.state;
    GlobalBlock source(GetSourceImageCopy());
    GlobalLockGuard<BITMAPINFOHEADER> header(source.get());
    if (header) ok_ = body.Initialise(&context_, header->biWidth, header->biHeight) == 1;
}

BodyState::~BodyState() {
    if (ok_) body_.FreeState(&context_);
}

GlobalBlock BodyState::Render(int frame) { return GlobalBlock(ok_ ? body_.RenderFrame(&context_, frame) : nullptr); }

GlobalBlock PlainPicture(LONG width, LONG height, COLORREF colour) {
    GlobalBlock picture(CreatePackedDib(width, height, nullptr, 24));
    GlobalLockGuard<BYTE> bytes(picture.get());
    FillDibRect(bytes.get(), 0, 0, width, height, colour);
    return picture;
}

void LoadPlainPicture(LONG width, LONG height, COLORREF colour) {
    SetSourceImage(PlainPicture(width, height, colour).release());
}

void BlendMaskOnto(HGLOBAL picture, HGLOBAL mask, LONG x, LONG y, COLORREF colour, int opacity) {
    GlobalLockGuard<BYTE> bytes(picture);
    GlobalLockGuard<BYTE> coverage(mask);
    BlendColourThroughMask(bytes.get(), coverage.get(), x, y, colour, opacity, kBlendWrap);
}

GlobalBlock ExpectedFallingFrame(const std::vector<FallingElement>& elements, LONG width, LONG height,
                                 COLORREF background, int frame, int frames, int drift) {
    GlobalBlock picture = PlainPicture(width, height, background);
    const double amplitude = std::trunc(-drift * static_cast<double>(width) / 100);
    const float share = static_cast<float>(frame) / static_cast<float>(frames);
    const LONG fall = static_cast<LONG>(share * static_cast<float>(height));
    for (const FallingElement& element : elements) {
        float phase = element.phase;
        for (int f = 0; f < frame % frames; ++f) phase = static_cast<float>(phase + 360 * (1.0 / frames));
        const LONG x = element.x0 - static_cast<LONG>(std::sin(phase * 3.141592653589793 / 180) * amplitude);
        const LONG y = fall * element.speed + element.y0 - height;
        const LONG left = x - element.size / 2, top = y + 1 - element.size / 2;
        if (element.shadow) BlendMaskOnto(picture.get(), element.shadow, left, top, 0, element.opacity);
        BlendMaskOnto(picture.get(), element.mask, left, top, element.colour, element.opacity);
    }
    return picture;
}

SIZE DibSize(HGLOBAL dib) {
    GlobalLockGuard<BITMAPINFOHEADER> header(dib);
    return header ? SIZE{header->biWidth, header->biHeight} : SIZE{0, 0};
}

std::vector<bool> LitColumns(HGLOBAL picture) {
    GlobalLockGuard<BYTE> pixels(picture);
    const SIZE size = DibSize(picture);
    std::vector<bool> lit(static_cast<std::size_t>(size.cx));
    for (LONG x = 0; x < size.cx; ++x)
        for (LONG y = 0; y < size.cy && !lit[x]; ++y) lit[x] = GetDibPixel(pixels.get(), x, y) != 0;
    return lit;
}

int Coverage(HGLOBAL mask, LONG x, LONG y) {
    GlobalLockGuard<BYTE> bytes(mask);
    return static_cast<int>(GetDibPixel(bytes.get(), x, y) & 0xFF);
}

}  // namespace testing_support
