#include "RepairLoop.h"

#include "registry/PublicFunctions.h"

namespace tw {

SectionRepair RecordValueRepair(const Session& session, bool swallowErrors)
{
    return {[](const TContent& r) { return r.KeyPath; },
            [&session](const TContent& r) {
                return DeleteRegistryValue(session, r.KeyPath, r.ValueName);
            },
            swallowErrors};
}

void RunSectionRepair(Session& session, RepairView& view, const TRegistryContents& contents,
                      const SectionRepair& repair)
{
    try {
        for (int i = 0; i < contents.Count(); ++i) {
            if (session.OperationState == kOperationCancelRepair)
                break;
            const TContent& record = contents.Items(i).Content;
            if (!record.Checked)
                continue;
            const std::string text = repair.displayText(record);
            view.setLabel(text);
            const int row = view.addResultRow(text);
            view.setResultStatus(row, repair.remove(record) ? kRepairSucceed : kRepairError);
            view.yield();
        }
    } catch (const std::exception&) {
        if (!repair.swallowErrors)
            throw;
    }
}

} // namespace tw
