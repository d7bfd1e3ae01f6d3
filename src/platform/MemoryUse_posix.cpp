#include "platform/MemoryUse.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace solvane {

void KeepTransferBuffersForReuse() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 4 << 20);
  mallopt(M_ARENA_MAX, 4);
#endif
}

}  // namespace solvane
