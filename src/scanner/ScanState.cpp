#include "ScanState.h"

namespace tw {

std::uint8_t OperationState = kOperationIdle;
int StatusTick = 0;
std::vector<std::string> ReportRowSection;

void ResetScanState()
{
    OperationState = kOperationIdle;
    StatusTick = 0;
    ReportRowSection.clear();
}

} // namespace tw
