#include "IgnoreFinding.h"

#include "SectionTable.h"
#include "platform/RootKeys.h"
#include "platform/TextCodec.h"
#include "registry/Session.h"

namespace tw {

namespace {

bool isDrivePath(const std::string& text)
{
    return text.size() >= 3 && text[1] == ':' && text[2] == '\\';
}

} // namespace

IgnoreSubject IgnoreSubjectOf(int section, const TContent& record)
{
    IgnoreSubject subject;
    if (section < 0 || section >= kSectionCountTotal)
        return subject;
    const RecordRemoval removal =
        RemovalOf(Sections()[static_cast<size_t>(section)].removes, record);
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

std::vector<IgnoreEntry> IgnoreChoicesFor(int section, const TContent& record)
{
    const IgnoreSubject subject = IgnoreSubjectOf(section, record);
    std::vector<IgnoreEntry> choices;
    try {
        if (subject.key.empty()) {
            if (!subject.file.empty())
                choices.push_back(IgnoreFileEntry(subject.file));
            return choices;
        }
        if (subject.value)
            choices.push_back(IgnoreValueEntry(subject.key, *subject.value));
        choices.push_back(IgnoreKeyEntry(subject.key));
    } catch (const std::invalid_argument&) {
        // A root key alone names nothing to ignore.
    }
    return choices;
}

int DropIgnoredFindings(Session& session, const std::vector<IgnoreEntry>& entries)
{
    const IgnoreList list(entries);
    int dropped = 0;
    for (int section = 0; section < kSectionCount; ++section) {
        TRegistryContents& contents = session.SectionContents[static_cast<size_t>(section)];
        for (int i = contents.Count() - 1; i >= 0; --i) {
            if (list.covers(IgnoreSubjectOf(section, contents.Items(i).Content))) {
                contents.RemoveAt(i);
                ++dropped;
            }
        }
    }
    return dropped;
}

bool IsOwnSettingsKey(const std::string& key)
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

} // namespace tw
