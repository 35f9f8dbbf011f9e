// Process-wide tuning of the C library's allocator for the way pages are read.
#pragma once

namespace sorbel {

// Every page read takes an 8 KiB buffer, and glibc consolidates its cache of
// small freed blocks (the fast bins) on each allocation of that size; with
// rows decoded by the million, that consolidation costs as much as the
// decoding. Small blocks then go through the per-thread cache alone. Called
// once at the start of a program, before any thread is started.
void tuneAllocatorForPageReads();

}  // namespace sorbel
