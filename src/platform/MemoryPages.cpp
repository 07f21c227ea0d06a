#include "MemoryPages.h"

#ifdef TIDEWELL_MIMALLOC
#include <mimalloc.h>
#endif

namespace tw::platform {

void preferLargeMemoryPages()
{
#ifdef TIDEWELL_MIMALLOC
    // Transparent huge pages by madvise where the kernel offers them; plain pages otherwise.
    mi_option_enable(mi_option_large_os_pages);
    // A thread's first segment gets large pages too, not only the later ones.
    mi_option_set(mi_option_eager_commit_delay, 0);
#endif
}

} // namespace tw::platform
