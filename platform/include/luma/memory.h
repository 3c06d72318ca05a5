// The memory budget: the most that global blocks and bitmaps may hold at
// once. A build too large for the machine then fails as out of memory and
// frees what it made, instead of the process being killed by the kernel.
#pragma once

#include <cstddef>

namespace luma {

// 0 means no limit. Until set, the budget is LUMAFEX_MEMORY_BUDGET when that
// holds a size, otherwise three quarters of physical memory.
void SetMemoryBudget(std::size_t bytes);
std::size_t MemoryBudget();

// Bytes held now by global blocks and bitmaps.
std::size_t BytesInUse();

// Reads "4096", "64K", "64M", "2G" or "1T" (binary multiples, either case,
// an optional "B" or "iB" after the letter); false for anything else or a
// size that does not fit.
bool ParseByteSize(const char* text, std::size_t* bytes);

}  // namespace luma
