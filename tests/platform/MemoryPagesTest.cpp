// The process's allocator.
#include "platform/MemoryPages.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#ifdef TIDEWELL_MIMALLOC
#include <mimalloc.h>
#endif

namespace tw::platform {
namespace {

#ifdef TIDEWELL_MIMALLOC
TEST(MemoryPages, MimallocServesMallocAndNewBeforeAndAfterLargePagesAreAsked)
{
    // Linked behind the C library, mimalloc would be loaded and never asked.
    const auto before = std::make_unique<std::string>(100, 'a');
    EXPECT_TRUE(mi_is_in_heap_region(before->data()));

    preferLargeMemoryPages();
    void* small = std::malloc(24);
    const std::vector<char> large(std::size_t(48) << 20, 'b');
    EXPECT_TRUE(mi_is_in_heap_region(small));
    EXPECT_TRUE(mi_is_in_heap_region(large.data()));
    EXPECT_EQ(large[large.size() - 1], 'b');
    std::free(small);
    EXPECT_EQ(*before, std::string(100, 'a'));
}
#endif

} // namespace
} // namespace tw::platform
