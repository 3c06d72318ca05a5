// Test hooks of the platform: how many global blocks are alive, and a fault
// injector that makes a chosen allocation fail so every out-of-memory road
// can be walked and checked for leaks.
#pragma once

#include <cstddef>

namespace luma {

// Global memory blocks allocated and not yet freed, process-wide.
std::size_t LiveGlobalBlocks();

// GDI objects (pens, brushes, fonts, bitmaps, regions, palettes) created
// and not yet deleted, stock objects not counted; and device contexts not
// yet deleted or released.
std::size_t LiveGdiObjects();
std::size_t LiveDeviceContexts();

// The nth allocation from now fails (1 = the next one); 0 switches the
// injector off. It fires once. Every allocating platform call counts:
// GlobalAlloc, GlobalReAlloc, and the GDI and window objects that own memory.
void FailAllocationAfter(unsigned n);

// True while an armed fault has not fired yet.
bool FaultPending();

// Allocations counted since the process started; lets a test learn how many
// allocations an operation makes before it walks every failure point.
unsigned long long AllocationsSoFar();

// Windows created and not yet destroyed (the desktop not counted).
std::size_t LiveWindows();

// Timers set and not yet killed.
std::size_t LiveTimers();

// Menus created and not yet destroyed.
std::size_t LiveMenus();

}  // namespace luma
