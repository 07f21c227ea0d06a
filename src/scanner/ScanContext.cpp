#include "ScanContext.h"

#include "SectionTable.h"
#include "platform/RootKeys.h"
#include "platform/TextCodec.h"

namespace tw {

namespace {

bool isDrivePath(const std::string& text)
{
    return text.size() >= 3 && text[1] == ':' && text[2] == '\\';
}

/// The key, value and file a finding names. The key is the record's KeyPath; the value is the
/// one its section's repair removes. The file is the record's own path for a finding on a
/// file (a shortcut), else the first of ValueData, ValueName and ItemName that is a drive path.
IgnoreSubject subjectOf(RepairRemoves removes, const TContent& record)
{
    IgnoreSubject subject;
    const RecordRemoval removal = RemovalOf(removes, record);
    if (removal.kind == RecordRemoval::Kind::File && isDrivePath(record.KeyPath)) {
        subject.file = record.KeyPath;
        return subject;
    }
    if (const auto key = platform::parseKeyPath(record.KeyPath))
        subject.key = key->rootName + "\\" + key->subKey;
    if (removal.kind == RecordRemoval::Kind::File)
        return subject;
    if (removal.kind == RecordRemoval::Kind::Value)
        subject.value = removal.valueName;
    for (const std::string* field : {&record.ValueData, &record.ValueName, &record.ItemName}) {
        if (isDrivePath(*field)) {
            subject.file = *field;
            break;
        }
    }
    return subject;
}

/// Tidewell's own settings (HKCU\Software\Tidewell, also as HKEY_USERS\<SID>\...).
bool isOwnSettingsKey(const std::string& key)
{
    static const IgnoreEntry user = IgnoreKeyEntry("HKEY_CURRENT_USER\\Software\\Tidewell");
    if (IgnoreCovers(user, {key, std::nullopt, {}}))
        return true;
    constexpr std::string_view users = "HKEY_USERS\\";
    if (key.size() <= users.size() || !platform::equalNoCase(key.substr(0, users.size()), users))
        return false;
    const size_t sid = key.find('\\', users.size());
    return sid != std::string::npos &&
           IgnoreCovers(user, {"HKEY_CURRENT_USER" + key.substr(sid), std::nullopt, {}});
}

} // namespace

OutcomeRow& ScanContext::cells()
{
    return m_grid.rows.at(static_cast<size_t>(m_row));
}

void ScanContext::rowStart()
{
    cells().problems = 0;
    cells().status = RowStatus::Scanning;
    m_view.gridChanged(m_row);
}

void ScanContext::rowCount(const TRegistryContents& contents)
{
    cells().problems = contents.Count();
    m_view.gridChanged(m_row);
}

void ScanContext::rowFinish()
{
    cells().status = aborted() ? RowStatus::Aborted : RowStatus::Finished;
    m_view.gridChanged(m_row);
}

void ScanContext::tickStatus(const std::string& text)
{
    if (++m_session.StatusTick % 200 == 0)
        status(text);
}

bool ScanContext::aborted() const
{
    return m_session.OperationState == kOperationAbortScan || m_view.stopRequested();
}

void ScanContext::addRecord(TRegistryContents& contents, std::string keyPath, std::string itemName,
                            std::string valueName, std::string valueData)
{
    TContent found;
    found.Checked = m_session.AppSettings.SelectAll;
    found.KeyPath = std::move(keyPath);
    found.ItemName = std::move(itemName);
    found.ValueName = std::move(valueName);
    found.ValueData = std::move(valueData);
    const int section = cells().section;
    if (section >= 0 && section < kSectionCountTotal) {
        const IgnoreSubject subject =
            subjectOf(Sections()[static_cast<size_t>(section)].removes, found);
        if (isOwnSettingsKey(subject.key))
            return;
        if (m_session.Ignored.covers(subject)) {
            ++cells().ignored;
            return;
        }
    }
    contents.Items(AddContentItem(contents)).Content = std::move(found);
    rowCount(contents);
}

} // namespace tw
