// Inside the platform: every call that allocates asks here first, so the
// test fault injector and the memory budget reach all of them.
#pragma once

#include <cstddef>

namespace luma::detail {

// Counts one allocation; false when the fault injector says this one fails.
bool AllocationMayProceed();

// Takes bytes from the memory budget; false, taking nothing, when they do
// not fit in what is left.
bool ReserveBytes(std::size_t bytes);
void ReleaseBytes(std::size_t bytes);

// Bytes held against the budget, given back when it goes.
class BudgetCharge {
public:
    BudgetCharge() = default;
    BudgetCharge(const BudgetCharge&) = delete;
    BudgetCharge& operator=(const BudgetCharge&) = delete;
    ~BudgetCharge() { ReleaseBytes(bytes_); }
    bool Take(std::size_t bytes) {
        if (!ReserveBytes(bytes)) return false;
        ReleaseBytes(bytes_);
        bytes_ = bytes;
        return true;
    }

private:
    std::size_t bytes_ = 0;
};

}  // namespace luma::detail
