// Matrix.
#include "effects/effect_bodies.h"
#include "effects/effect_table.h"
#include "effects/pages.h"

namespace {

// Matrix masks its gutter colour.
DWORD MatrixBackgroundColour(HWND page, int ask) {
    return ask == 0 ? ReadPageColour(page, kMatrixBackgroundControl) : kNoBackground;
}

}  // namespace

constexpr EffectBody MatrixBody = PendingBody(674, 678);

const EffectOperations MatrixOperations{PreviewWith<MatrixBody>, BuildWith<MatrixBody>, MatrixBackgroundColour,
                                        DefaultPageEvent};
