#include "dialog/preview.h"

#include <cstdio>

#include "dialog/dialog_look.h"
#include "dialog/main_dialog.h"
#include "dialog/wait_cursor.h"
#include "effects/effect_table.h"
#include "image/packed_dib.h"
#include "plugin/guards.h"
#include "settings/settings.h"

namespace {

// In the preview control's client coordinates; empty when none was drawn.
RECT lastPicture{};

// The current effect's frame 0, or none.
HGLOBAL RenderPreview(HWND dialog) {
    LRESULT selection = SendDlgItemMessageA(dialog, kEffectList, CB_GETCURSEL, 0, 0);
    const EffectRecord* effect = selection == CB_ERR ? nullptr : EffectAt(static_cast<int>(selection));
    if (!effect) return nullptr;
    BuildContext context{};
    context.page = dialog;
    if (!effect->Preview(&context)) {
        // A failed preview may still have left a picture behind.
        if (context.previewImage) GlobalFree(context.previewImage);
        return nullptr;
    }
    return context.previewImage;
}

SIZE PictureSize(HGLOBAL picture) {
    GlobalLockGuard<BITMAPINFOHEADER> header(picture);
    if (!header) return SIZE{0, 0};
    return SIZE{header->biWidth, header->biHeight < 0 ? -header->biHeight : header->biHeight};
}

}  // namespace

int PreviewPercent(LONG areaWidth, LONG areaHeight, LONG width, LONG height) {
    if (width <= 0 || height <= 0 || (width <= areaWidth && height <= areaHeight)) return 100;
    const LONG across = 100 * areaWidth / width;
    const LONG down = 100 * areaHeight / height;
    return static_cast<int>(across < down ? across : down);
}

void DrawPreviewArea(HWND dialog, const DRAWITEMSTRUCT& item) {
    WaitCursor wait;
    const HDC dc = item.hDC;
    RECT area = item.rcItem;
    InflateRect(&area, -4, -4);
    FrameRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNSHADOW));
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    SetRectEmpty(&lastPicture);

    GlobalBlock picture(RenderPreview(dialog));
    SIZE size = picture ? PictureSize(picture.get()) : SIZE{0, 0};
    if (picture && size.cx > 0 && size.cy > 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%d x %d pixels", static_cast<int>(size.cx), static_cast<int>(size.cy));
        SetDlgItemTextA(dialog, kPictureSizeField, text);
        const LONG areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
        const int percent = PreviewPercent(areaWidth, areaHeight, size.cx, size.cy);
        if (percent != 100) {
            picture.reset(ScaleDibPercent(picture.get(), percent, percent));
            size = picture ? PictureSize(picture.get()) : SIZE{0, 0};
        }
        if (picture && size.cx > 0 && size.cy > 0) {
            FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
            const int left = area.left + (areaWidth - size.cx) / 2;
            const int top = area.top + (areaHeight - size.cy) / 2;
            DrawPackedDib(dc, left, top, picture.get());
            SetRect(&lastPicture, left, top, left + size.cx, top + size.cy);
            if (SampleWindowKeyLine) {
                RECT line = lastPicture;
                InflateRect(&line, 1, 1);
                FrameRect(dc, &line, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
            }
        }
    }
    if (IsRectEmpty(&lastPicture)) FillRect(dc, &area, GetSysColorBrush(COLOR_3DLIGHT));
    RestoreDC(dc, saved);
}

void ForgetPreviewPicture() { SetRectEmpty(&lastPicture); }

bool LastPreviewPictureRect(RECT* rect) {
    if (rect) *rect = lastPicture;
    return !IsRectEmpty(&lastPicture);
}
