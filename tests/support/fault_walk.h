// Walks every allocation an operation makes and fails each in turn: the
// operation must report failure and leave no global block, GDI object or
// device context behind, until it runs through without a fault and succeeds.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "luma/testing.h"

namespace testing_support {

// attempt runs the operation and returns true when it succeeded; on success
// it must free what it made. Returns how many failure points were walked.
// Operations with a fallback (a failed step they can do without) may still
// succeed under a fault: pass mustFail = false for them.
int WalkAllocationFailures(const std::function<bool()>& attempt, bool mustFail = true);

// The same for operations that make one global block: a null result is the
// failure, a block is freed after the check.
int WalkBlockFailures(const std::function<HGLOBAL()>& make, bool mustFail = true);

}  // namespace testing_support
