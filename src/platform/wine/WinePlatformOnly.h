// The Wine platform is known only to the start-up code (src/app), the benches, the fuzz
// targets and the tests; everything else reaches the prefix through the Session and the
// platform interfaces. Those targets define TIDEWELL_KNOWS_WINE_PLATFORM.
#pragma once

#ifndef TIDEWELL_KNOWS_WINE_PLATFORM
#error "Only src/app, bench and tests include the Wine platform: reach the prefix through the Session and the platform interfaces"
#endif
