// Process-wide tuning of the C library's allocator for the way pages are read.
#include "base/allocator_tuning.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace sorbel {

void tuneAllocatorForPageReads() {
#if defined(__GLIBC__)
  mallopt(M_MXFAST, 0);
#endif
}

}  // namespace sorbel
