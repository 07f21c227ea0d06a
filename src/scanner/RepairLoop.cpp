#include "RepairLoop.h"

#include "ScanState.h"
#include "registry/PublicFunctions.h"

namespace tw {

SectionRepair RecordValueRepair(bool swallowErrors)
{
    return {[](const TContent& r) { return r.KeyPath; },
            [](const TContent& r) { return DeleteRegistryValue(r.KeyPath, r.ValueName); },
            swallowErrors};
}

void RunSectionRepair(RepairView& view, const TRegistryContents& contents,
                      const SectionRepair& repair)
{
    try {
        for (int i = 0; i < contents.Count(); ++i) {
            if (OperationState == kOperationCancelRepair)
                break;
            const TContent& record = contents.Items(i).Content;
            if (!record.Checked)
                continue;
            const std::string text = repair.displayText(record);
            view.setLabel(text);
            const int row = view.addResultRow(text);
            view.setResultStatus(row, repair.remove(record) ? "Repair Succeed" : "Repair Error");
            view.yield();
        }
    } catch (const std::exception&) {
        if (!repair.swallowErrors)
            throw;
    }
}

} // namespace tw
