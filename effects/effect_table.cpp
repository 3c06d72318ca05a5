#include "effects/effect_table.h"

#include "effects/effect_bodies.h"
#include "effects/pages.h"

namespace {

template <int Index>
EffectRecord Record(const EffectOperations& operations) {
    constexpr int style = kEffectNames[Index].styleNumber;
    return EffectRecord{kEffectNames[Index].name, PageSetupOf<style>, operations.Preview, operations.Build,
                        operations.BackgroundColour, operations.PageEvent, kPageControlLists[style], nullptr};
}

}  // namespace

// Each effect's operations are constant-initialised in its own file, so they
// are in place before this table is filled.
const EffectRecord EffectTable[kEffectCount] = {
    Record<0>(ArrowsOperations),
    Record<1>(BadVideoOperations),
    Record<2>(BubblesOperations),
    Record<3>(ConfettiOperations),
    Record<4>(GravityOperations),
    Record<5>(GridlockOperations),
    Record<6>(HyperspaceOperations),
    Record<7>(MatrixOperations),
    Record<8>(ParticlesOperations),
    Record<9>(PhasersOperations),
    Record<10>(PingOperations),
    Record<11>(PlasmaArcOperations),
    Record<12>(RainOperations),
    Record<13>(SkipIntroOperations),
    Record<14>(SingularityOperations),
    Record<15>(SnowOperations),
    Record<16>(SparkleOperations),
    Record<17>(StarsOperations),
    Record<18>(TracksOperations),
    Record<19>(WaveOperations),
};

const EffectRecord* EffectAt(int index) {
    return index >= 0 && index < kEffectCount ? &EffectTable[index] : nullptr;
}

int EffectStyleNumber(int index) { return index >= 0 && index < kEffectCount ? kEffectNames[index].styleNumber : -1; }
