#include "tests/support/fault_walk.h"

namespace testing_support {

int WalkAllocationFailures(const std::function<bool()>& attempt, bool mustFail) {
    const std::size_t before = luma::LiveGlobalBlocks();
    const std::size_t objectsBefore = luma::LiveGdiObjects();
    const std::size_t dcsBefore = luma::LiveDeviceContexts();
    for (unsigned n = 1;; ++n) {
        luma::FailAllocationAfter(n);
        bool ok = attempt();
        bool fired = !luma::FaultPending();
        luma::FailAllocationAfter(0);
        EXPECT_EQ(luma::LiveGlobalBlocks(), before) << "blocks leaked with allocation " << n << " failing";
        EXPECT_EQ(luma::LiveGdiObjects(), objectsBefore) << "GDI objects leaked with allocation " << n << " failing";
        EXPECT_EQ(luma::LiveDeviceContexts(), dcsBefore) << "device contexts leaked with allocation " << n << " failing";
        if (!fired) {
            EXPECT_TRUE(ok) << "failed although no allocation was refused";
            return static_cast<int>(n - 1);
        }
        if (mustFail) {
            EXPECT_FALSE(ok) << "reported success although allocation " << n << " failed";
        }
        if (n > 100000) {
            ADD_FAILURE() << "operation never ran without a fault";
            return static_cast<int>(n);
        }
    }
}

int WalkBlockFailures(const std::function<HGLOBAL()>& make, bool mustFail) {
    return WalkAllocationFailures([&] {
        HGLOBAL block = make();
        if (!block) return false;
        GlobalFree(block);
        return true;
    }, mustFail);
}

}  // namespace testing_support
