#include "RepairLoop.h"

namespace tw {

namespace {

constexpr const char* kMenuMarker = "Menu//";

} // namespace

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
            view.setResultStatus(row, repair.remove(record) ? "Repair Succeed" : "Repair Error");
            view.yield();
        }
    } catch (const std::exception&) {
        if (!repair.swallowErrors)
            throw;
    }
}

RecordRemoval RemovalOf(RepairRemoves removes, const TContent& record)
{
    RecordRemoval removal;
    if (removes == RepairRemoves::NoRegistryData)
        return removal;
    removal.key = SplitRecordKeyPath(record.KeyPath);
    if (removes == RepairRemoves::WholeKey ||
        (removes == RepairRemoves::ValueOrMenuKey && record.ValueName == kMenuMarker)) {
        removal.kind = RecordRemoval::Kind::Key;
        return removal;
    }
    removal.kind = RecordRemoval::Kind::Value;
    removal.valueName =
        removes == RepairRemoves::ValueNamedByItemName ? record.ItemName : record.ValueName;
    if (removal.valueName == "default")
        removal.valueName.clear();
    return removal;
}

void RunStandardRepair(Session& session, RepairView& view, const TRegistryContents& contents,
                       RepairRemoves removes, RepairShows shows, bool endsQuietly)
{
    RunSectionRepair(session, view, contents,
                     {[shows](const TContent& r) {
                          return shows == RepairShows::KeyPath ? r.KeyPath
                                                               : SplitRecordKeyPath(r.KeyPath).path;
                      },
                      [&session, removes](const TContent& r) {
                          const RecordRemoval removal = RemovalOf(removes, r);
                          switch (removal.kind) {
                          case RecordRemoval::Kind::Key:
                              return DeleteRegistryKey(
                                  session, RootKeyFromName(removal.key.rootName), removal.key.path);
                          case RecordRemoval::Kind::Value:
                              return DeleteRegistryValue(session, r.KeyPath, removal.valueName);
                          case RecordRemoval::Kind::File:
                              break;
                          }
                          return false;
                      },
                      endsQuietly});
}

} // namespace tw
