#include "RepairLoop.h"

#include "platform/TextCodec.h"
#include "registry/TRegistry.h"
#include "sections/Classes.h"
#include "sections/SmallSections.h"

namespace tw {

namespace {

constexpr const char* kMenuMarker = "Menu//";

/// Text in the case the registry compares names in.
std::string folded(std::string_view text)
{
    std::u16string wide = platform::utf8ToUtf16(text);
    for (char16_t& c : wide)
        c = platform::foldCase(c);
    return platform::utf16ToUtf8(wide);
}

/// A key as the registry tells keys apart: its root's name, then its path.
std::string keyIdentity(const RecordKeyPath& key)
{
    std::string_view path = key.path;
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    return key.rootName + "\\" + folded(path);
}

/// The key above `path` ("a\\b" -> "a"), or "" at the top.
std::string parentKey(std::string_view path)
{
    const size_t slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? std::string_view()
                                                       : path.substr(0, slash));
}

/// True when the key exists and holds neither values nor subkeys.
bool isEmptyKey(const Session& session, win::HKEY root, const std::string& path)
{
    TRegistry reg(session);
    reg.SelectRoot(root);
    platform::KeyInfo info;
    return reg.OpenPath(path, false) &&
           session.registry().queryInfoKey(reg.CurrentKey(), &info) == win::ERROR_SUCCESS &&
           info.subKeys == 0 && info.values == 0;
}

/// After a removal: the key it left empty goes too, and so does each key above that this
/// leaves empty, as long as a section would report it for being empty. Restoring the backup
/// brings them back with what the removal took.
void removeEmptiedKeys(Session& session, const RecordRemoval& removal, RemovedEntries& removed)
{
    const win::HKEY root = RootKeyFromName(removal.key.rootName);
    std::string_view path = removal.key.path;
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    std::string key =
        removal.kind == RecordRemoval::Kind::Key ? parentKey(path) : std::string(path);
    while ((IsReportedWhenEmpty(root, key) || IsClassKeyReportedWhenEmpty(root, key)) &&
           isEmptyKey(session, root, key) && DeleteRegistryKey(session, root, "\\" + key)) {
        RecordRemoval emptied;
        emptied.kind = RecordRemoval::Kind::Key;
        emptied.key = {removal.key.rootName, "\\" + key};
        removed.add(emptied);
        key = parentKey(key);
    }
}

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
            view.setResultStatus(row, repair.remove(record) ? kRepairSucceed : kRepairError);
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

bool RemovedEntries::covers(const RecordRemoval& removal) const
{
    if (removal.kind == RecordRemoval::Kind::File)
        return false;
    const std::string key = keyIdentity(removal.key);
    // The key itself, or a key above it (below the root's name).
    size_t end = key.find('\\');
    do {
        end = key.find('\\', end + 1);
        if (m_keys.count(key.substr(0, end)))
            return true;
    } while (end != std::string::npos);
    return removal.kind == RecordRemoval::Kind::Value &&
           m_values.count(key + '\0' + folded(removal.valueName));
}

void RemovedEntries::add(const RecordRemoval& removal)
{
    if (removal.kind == RecordRemoval::Kind::Key)
        m_keys.insert(keyIdentity(removal.key));
    else if (removal.kind == RecordRemoval::Kind::Value)
        m_values.insert(keyIdentity(removal.key) + '\0' + folded(removal.valueName));
}

void RunStandardRepair(Session& session, RepairView& view, const TRegistryContents& contents,
                       RepairRemoves removes, RepairShows shows, bool endsQuietly,
                       RemovedEntries& removed)
{
    const auto remove = [&session](const TContent& record, const RecordRemoval& removal) {
        switch (removal.kind) {
        case RecordRemoval::Kind::Key:
            return DeleteRegistryKey(session, RootKeyFromName(removal.key.rootName),
                                     removal.key.path);
        case RecordRemoval::Kind::Value:
            return DeleteRegistryValue(session, record.KeyPath, removal.valueName);
        case RecordRemoval::Kind::File:
            break;
        }
        return false;
    };
    RunSectionRepair(session, view, contents,
                     {[shows](const TContent& r) {
                          return shows == RepairShows::KeyPath ? r.KeyPath
                                                               : SplitRecordKeyPath(r.KeyPath).path;
                      },
                      [&, removes](const TContent& r) {
                          const RecordRemoval removal = RemovalOf(removes, r);
                          if (removed.covers(removal))
                              return true;
                          if (!remove(r, removal))
                              return false;
                          removed.add(removal);
                          removeEmptiedKeys(session, removal, removed);
                          return true;
                      },
                      endsQuietly});
}

} // namespace tw
