// Inside the platform: every call that allocates asks here first, so the
// test fault injector reaches all of them.
#pragma once

namespace luma::detail {

// Counts one allocation; false when the fault injector says this one fails.
bool AllocationMayProceed();

}  // namespace luma::detail
