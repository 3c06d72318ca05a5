#include "effects/effect_table.h"

#include "effects/effect_bodies.h"
#include "effects/pages.h"

namespace {

// Matrix masks its gutter colour.
DWORD MatrixBackgroundColour(HWND page, int ask) {
    return ask == 0 ? ReadPageColour(page, kMatrixBackgroundControl) : kNoBackground;
}

int TracksPageEvent(HWND, int) { return 0; }

template <int Index>
constexpr EffectRecord Record(PreviewOperation preview, BuildOperation build,
                              BackgroundColourOperation background = DefaultBackgroundColour,
                              PageEventOperation event = DefaultPageEvent) {
    constexpr int style = kEffectNames[Index].styleNumber;
    return EffectRecord{kEffectNames[Index].name, PageSetupOf<style>, preview, build, background, event,
                        kPageControlLists[style], nullptr};
}

}  // namespace

const EffectRecord EffectTable[kEffectCount] = {
    Record<0>(PreviewWith<ArrowsBody>, BuildWith<ArrowsBody>),
    Record<1>(PreviewWith<BadVideoBody>, BuildWith<BadVideoBody>),
    Record<2>(PreviewWith<BubblesBody>, BuildWith<BubblesBody>),
    Record<3>(PreviewWith<ConfettiBody>, BuildWith<ConfettiBody>),
    Record<4>(PreviewWith<GravityBody>, BuildWith<GravityBody>),
    Record<5>(PreviewWith<GridlockBody>, BuildWith<GridlockBody>),
    Record<6>(PreviewWith<HyperspaceBody>, BuildWith<HyperspaceBody>),
    Record<7>(PreviewWith<MatrixBody>, BuildWith<MatrixBody>, MatrixBackgroundColour),
    Record<8>(PreviewWith<ParticlesBody>, BuildWith<ParticlesBody>),
    Record<9>(PreviewWith<PhasersBody>, BuildWith<PhasersBody>),
    Record<10>(PreviewWith<PingBody>, BuildWith<PingBody>),
    Record<11>(PreviewWith<PlasmaArcBody>, BuildWith<PlasmaArcBody>),
    Record<12>(PreviewWith<RainBody>, BuildWith<RainBody>),
    Record<13>(PreviewWith<SkipIntroBody>, BuildWith<SkipIntroBody>),
    Record<14>(PreviewWith<SingularityBody>, BuildWith<SingularityBody>),
    Record<15>(PreviewWith<SnowBody>, BuildWith<SnowBody>),
    Record<16>(PreviewWith<SparkleBody>, BuildWith<SparkleBody>),
    Record<17>(PreviewWith<StarsBody>, BuildWith<StarsBody>),
    Record<18>(PreviewWith<TracksBody>, BuildWith<TracksBody>, DefaultBackgroundColour, TracksPageEvent),
    Record<19>(PreviewWith<WaveBody>, BuildWith<WaveBody>),
};

const EffectRecord* EffectAt(int index) {
    return index >= 0 && index < kEffectCount ? &EffectTable[index] : nullptr;
}

int EffectStyleNumber(int index) { return index >= 0 && index < kEffectCount ? kEffectNames[index].styleNumber : -1; }
