// Device contexts: the drawing state and the surface it draws on, with the
// transformation from logical to device coordinates and the clipping.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "gdi/objects.h"

namespace luma::gdi {

struct DcState {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HPALETTE palette = nullptr;
    HBITMAP bitmap = nullptr;
    int rop2 = R2_COPYPEN;
    int bkMode = OPAQUE;
    COLORREF bkColor = RGB(255, 255, 255);
    COLORREF textColor = RGB(0, 0, 0);
    UINT textAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
    int fillMode = ALTERNATE;
    int stretchMode = BLACKONWHITE;
    COLORREF dcBrushColor = RGB(255, 255, 255);
    COLORREF dcPenColor = RGB(0, 0, 0);
    POINT position{0, 0};
    POINT brushOrigin{0, 0};
    int mapMode = MM_TEXT;
    POINT windowOrigin{0, 0};
    POINT viewportOrigin{0, 0};
    SIZE windowExtent{1, 1};
    SIZE viewportExtent{1, 1};
    std::optional<Region> clip;  // device coordinates; none means no clipping
};

struct Dc : Object {
    Dc() : Object(Kind::Dc) {}
    DcState state;
    std::vector<DcState> saved;
    bool memory = true;
    // Device DCs draw on a surface owned elsewhere (the screen, a window),
    // at an origin inside it and limited to a visible rectangle.
    // deviceView starts at the DC's device origin.
    bool device = false;
    Surface deviceView;
    RECT deviceVisible{0, 0, 0, 0};

    // The surface drawn on, or null when nothing can be drawn.
    const Surface* Target() const;
    // Where drawing may reach, in device coordinates: the surface, the
    // visible rectangle and the clip region together.
    Region DrawableRegion() const;
    RECT SurfaceRect() const;

    POINT ToDevice(POINT logical) const;
    POINT ToLogical(POINT device) const;
    // A length along x in device units, as the pen width is measured.
    int DeviceWidth(int logical) const;
};

}  // namespace luma::gdi
