// Test hook: how many GDI+ start-ups have not been shut down yet.
#pragma once

#include <cstddef>

namespace luma {

std::size_t LiveGdiplusSessions();

}  // namespace luma
