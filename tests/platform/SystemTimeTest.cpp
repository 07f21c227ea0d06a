// Calendar conversion of file times.
#include "platform/System.h"

#include <gtest/gtest.h>

namespace tw::platform {
namespace {

TEST(SystemTime, ConvertsFileTimesBothWays)
{
    EXPECT_EQ(fileTimeToSystemTime(0), (SystemTime{1601, 1, 1, 1, 0, 0, 0, 0}));
    // 1970-01-01 was a Thursday.
    EXPECT_EQ(fileTimeToSystemTime(win::TICKS_1601_TO_1970),
              (SystemTime{1970, 1, 4, 1, 0, 0, 0, 0}));
    const SystemTime leap{2024, 2, 4, 29, 23, 59, 58, 123};
    EXPECT_EQ(fileTimeToSystemTime(systemTimeToFileTime(leap)), leap);
    // The #time of a key in the fixture: 2026-11-... as Wine wrote it.
    const SystemTime fixture = fileTimeToSystemTime(0x1dd8799d9cec3d4ULL);
    EXPECT_EQ(fixture.year, 2026);
}

} // namespace
} // namespace tw::platform
