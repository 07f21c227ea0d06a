// Process-wide state of scans and repairs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

/// Requests to stop long loops: 0 set when a scan starts, 1 "Abort Scan", 2 a history clear
/// runs, 3 the state window's "Cancel".
extern std::uint8_t OperationState;
inline constexpr std::uint8_t kOperationIdle = 0;
inline constexpr std::uint8_t kOperationAbortScan = 1;
inline constexpr std::uint8_t kOperationClearing = 2;
inline constexpr std::uint8_t kOperationCancelRepair = 3;

/// Entries visited by the deep walks; the status text is refreshed on every 200th.
extern int StatusTick;

/// Entry k: the section number (decimal text) of report row k.
extern std::vector<std::string> ReportRowSection;

/// Puts OperationState, StatusTick and ReportRowSection back to their initial state.
void ResetScanState();

} // namespace tw
