#include "HistoryCleaner.h"

#include "platform/UrlCache.h"
#include "platform/ValueTypes.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "repair/BackedUpChange.h"

#include <algorithm>
#include <cstdio>

namespace tw {

namespace {

/// The attribute words a folder entry is taken with: hidden, system, directory,
/// directory+read-only, directory+hidden, directory+hidden+read-only, directory+system,
/// archive, normal, temporary.
constexpr win::DWORD kListedAttributes[] = {0x02, 0x04, 0x10, 0x11, 0x12,
                                            0x13, 0x14, 0x20, 0x80, 0x100};
constexpr size_t kMaxNameLength = 260;

bool isFileKind(std::int32_t kind)
{
    return kind == kKindTempFile || kind == kKindNetHood || kind == kKindRecent;
}

/// `folder` + "\" + `name`, without doubling a backslash the folder ends in.
std::string joined(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '\\')
        return folder + name;
    return folder + "\\" + name;
}

/// E_NOTIMPL.
constexpr win::DWORD kNotImplemented = 0x80004001u;

std::string hresultText(win::DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string shellFolder(TRegistry& reg, const char* name)
{
    try {
        return reg.ReadText(name);
    } catch (const ERegistryException&) {
        return std::string();
    }
}

} // namespace

HistoryFolders ResolveHistoryFolders(const Session& session)
{
    HistoryFolders folders;
    folders.TempFolder = session.system().tempPath();
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (reg.OpenPath(kShellFoldersKey, false)) {
        folders.CacheFolder = shellFolder(reg, "Cache") + "\\Content.IE5";
        folders.NetHoodFolder = shellFolder(reg, "NetHood");
        folders.RecentFolder = shellFolder(reg, "Recent");
        folders.HistoryFolder = shellFolder(reg, "History");
    }
    return folders;
}

HistoryCleaner::HistoryCleaner(Session& session)
    : m_session(session), m_folders(ResolveHistoryFolders(session))
{
}

std::string HistoryCleaner::ListItem(int row)
{
    m_records.clear();
    if (row < 0 || row >= kHistoryItemCount)
        return std::string();
    std::string problem;
    for (const std::int32_t kind : HistoryItems()[static_cast<size_t>(row)].kinds) {
        switch (kind) {
        case kKindCacheEntry:
            problem = listCache();
            break;
        case kKindTypedUrl:
            listValues(kind, kTypedUrlsKey);
            break;
        case kKindTempFile:
            listFolder(kind, m_folders.TempFolder);
            break;
        case kKindNetHood:
            listFolder(kind, m_folders.NetHoodFolder);
            break;
        case kKindRecent:
            listFolder(kind, m_folders.RecentFolder);
            break;
        case kKindHistoryFolder:
            listFolder(kind, m_folders.HistoryFolder);
            break;
        case kKindRunHistory:
            listValues(kind, kRunMruKey);
            break;
        }
    }
    return problem;
}

std::vector<size_t> HistoryCleaner::ShownRecords() const
{
    std::vector<size_t> shown;
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].Kind != kKindHistoryFolder)
            shown.push_back(i);
    }
    return shown;
}

void HistoryCleaner::listFolder(std::int32_t kind, const std::string& folder)
{
    if (folder.empty())
        return;
    auto find = m_session.files().findFirstFile(joined(folder, "*.*"));
    if (!find)
        return;
    do {
        const platform::FindData& entry = find->current();
        if (entry.name == "." || entry.name == "..")
            continue;
        if (std::find(std::begin(kListedAttributes), std::end(kListedAttributes),
                      entry.attributes) == std::end(kListedAttributes))
            continue;
        m_records.push_back({kind, entry.name.substr(0, kMaxNameLength), folder, true});
    } while (find->next());
}

void HistoryCleaner::listValues(std::int32_t kind, const char* key)
{
    TRegistry reg(m_session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(key, false))
        return;
    std::vector<TRegistry::TextValue> values;
    reg.ListTextValues(values);
    // A value of another type is listed by its type, and cleared like the others.
    for (TRegistry::TextValue& value : values) {
        std::string text = value.text ? std::move(*value.text)
                                      : "(" + platform::valueTypeName(value.type) + " value)";
        m_records.push_back({kind, std::move(text), std::move(value.name), true});
    }
}

std::string HistoryCleaner::listCache()
{
    platform::UrlCacheListing listing;
    try {
        listing = m_session.urlCache().entries();
    } catch (const platform::UrlCacheError& e) {
        return e.what();
    }
    for (const platform::UrlCacheEntry& entry : listing.entries) {
        if ((entry.entryType & platform::NORMAL_CACHE_ENTRY) &&
            entry.sourceUrl.find("Cookie:") == std::string::npos)
            m_records.push_back({kKindCacheEntry, entry.sourceUrl, m_folders.CacheFolder, true});
    }
    return std::string();
}

bool HistoryCleaner::cancelled() const
{
    return m_session.OperationState == kOperationCancelRepair;
}

HistoryClearOutcome HistoryCleaner::Clear(int row, HistoryView& view)
{
    if (row < 0 || row >= kHistoryItemCount)
        throw HistoryRefused("There is no history item " + std::to_string(row));
    const HistoryClear clear = HistoryItems()[static_cast<size_t>(row)].clear;

    // The registry values this clear removes are kept first; without that nothing changes.
    std::vector<RegistryChange> values;
    for (const TRecycleData& record : m_records) {
        const bool typed = record.Kind == kKindTypedUrl &&
                           (clear == HistoryClear::All || clear == HistoryClear::TypedUrls);
        const bool run = record.Kind == kKindRunHistory &&
                         (clear == HistoryClear::All || clear == HistoryClear::RunHistory);
        if (record.Selected && (typed || run))
            values.push_back(RegistryChange::deleteValue(std::string("HKEY_CURRENT_USER\\") +
                                                             (typed ? kTypedUrlsKey : kRunMruKey),
                                                         record.Origin));
    }
    HistoryClearOutcome outcome;
    bool started = false;
    const ChangeOutcome change = MakeBackedUpChange(m_session, "History Clearing", values, {}, [&] {
        started = true;
        runSteps(clear, view, outcome);
        return std::string();
    });
    if (!started)
        throw HistoryRefused(change.error);
    outcome.cancelled = cancelled();
    const auto isValue = [](const ClearedThing& t) {
        return t.kind == kKindTypedUrl || t.kind == kKindRunHistory;
    };
    if (!change.ok()) {
        // The registry is as it was: the values it removed are back. The other steps (files
        // in the Recycle Bin, cache entries) stay done, so this is no "Nothing was changed".
        const std::string nothing = NothingChanged("");
        outcome.error = "The registry values were not cleared: " +
                        (change.error.starts_with(nothing) ? change.error.substr(nothing.size())
                                                           : change.error);
        for (ClearedThing& thing : outcome.removed) {
            if (isValue(thing)) {
                thing.reason = "the registry could not be saved";
                outcome.failed.push_back(std::move(thing));
            }
        }
        std::erase_if(outcome.removed, isValue);
        return outcome;
    }
    // A backup of values that all stayed takes nothing back.
    if (std::any_of(outcome.removed.begin(), outcome.removed.end(), isValue))
        outcome.backupPath = change.backupPath;
    else if (!change.backupPath.empty())
        DiscardUndoBackup(m_session, change.backupPath);
    return outcome;
}

void HistoryCleaner::runSteps(HistoryClear clear, HistoryView& view, HistoryClearOutcome& outcome)
{
    m_session.OperationState = kOperationClearing;
    switch (clear) {
    case HistoryClear::All:
        emptyRecycleBin(outcome);
        // Its listing left the cache out; the clear reads it now.
        if (std::none_of(m_records.begin(), m_records.end(),
                         [](const TRecycleData& r) { return r.Kind == kKindCacheEntry; })) {
            if (std::string problem = listCache(); !problem.empty())
                outcome.notes.push_back(std::move(problem));
        }
        deleteCacheEntries(outcome);
        deleteValues(kKindTypedUrl, kTypedUrlsKey, outcome);
        deleteFiles(view, outcome);
        clearUrlHistory(outcome);
        if (outcome.error.empty())
            deleteValues(kKindRunHistory, kRunMruKey, outcome);
        break;
    case HistoryClear::RunHistory:
        deleteValues(kKindRunHistory, kRunMruKey, outcome);
        break;
    case HistoryClear::Files:
        deleteFiles(view, outcome);
        break;
    case HistoryClear::CacheEntries:
        deleteCacheEntries(outcome);
        break;
    case HistoryClear::RecycleBin:
        emptyRecycleBin(outcome);
        break;
    case HistoryClear::TypedUrls:
        deleteValues(kKindTypedUrl, kTypedUrlsKey, outcome);
        break;
    case HistoryClear::UrlHistory:
        clearUrlHistory(outcome);
        break;
    }
}

void HistoryCleaner::emptyRecycleBin(HistoryClearOutcome& outcome)
{
    const platform::RecycleBinEmptied emptied = m_session.shell().emptyRecycleBin();
    for (const std::string& path : emptied.removed)
        outcome.removed.push_back({0, path, "Recycle Bin", ""});
    for (const std::string& path : emptied.failed)
        outcome.failed.push_back({0, path, "Recycle Bin", "could not be removed"});
}

void HistoryCleaner::deleteCacheEntries(HistoryClearOutcome& outcome)
{
    std::vector<const TRecycleData*> chosen;
    std::vector<std::string> urls;
    for (const TRecycleData& record : m_records) {
        if (record.Kind == kKindCacheEntry && record.Selected) {
            chosen.push_back(&record);
            urls.push_back(record.DisplayText);
        }
    }
    if (urls.empty())
        return;
    std::vector<win::DWORD> results;
    try {
        results = m_session.urlCache().deleteEntries(urls);
    } catch (const platform::UrlCacheError& e) {
        outcome.notes.push_back(e.what());
        return;
    }
    for (size_t i = 0; i < chosen.size(); ++i) {
        ClearedThing thing{kKindCacheEntry, chosen[i]->DisplayText, chosen[i]->Origin, ""};
        if (results[i] == 0) {
            outcome.removed.push_back(thing);
        } else {
            thing.reason = "DeleteUrlCacheEntry failed with error " + std::to_string(results[i]);
            outcome.failed.push_back(thing);
        }
    }
}

void HistoryCleaner::deleteValues(std::int32_t kind, const char* key, HistoryClearOutcome& outcome)
{
    TRegistry reg(m_session);
    reg.SelectRoot(win::HKEY_CURRENT_USER);
    if (!reg.OpenPath(key, false))
        return;
    for (const TRecycleData& record : m_records) {
        if (cancelled())
            return;
        if (record.Kind != kind || !record.Selected)
            continue;
        ClearedThing thing{kind, record.DisplayText, record.Origin, ""};
        if (reg.RemoveValue(record.Origin)) {
            outcome.removed.push_back(thing);
        } else {
            thing.reason = "the value could not be deleted";
            outcome.failed.push_back(thing);
        }
    }
}

void HistoryCleaner::deleteFiles(HistoryView& view, HistoryClearOutcome& outcome)
{
    for (const TRecycleData& record : m_records) {
        view.yield();
        if (cancelled())
            return;
        if (!record.Selected || !isFileKind(record.Kind))
            continue;
        view.labelChanged(record.DisplayText);
        ClearedThing thing{record.Kind, record.DisplayText, record.Origin, ""};
        // To the Recycle Bin, from where the user can bring it back.
        if (m_session.shell().recycle(joined(record.Origin, record.DisplayText))) {
            outcome.removed.push_back(thing);
        } else {
            thing.reason = "could not be moved to the Recycle Bin";
            outcome.failed.push_back(thing);
        }
    }
}

void HistoryCleaner::clearUrlHistory(HistoryClearOutcome& outcome)
{
    try {
        outcome.historyResult = m_session.urlCache().clearHistory();
    } catch (const platform::UrlCacheError& e) {
        outcome.error = e.what();
        return;
    }
    // A failed HRESULT has its top bit set; the clear goes on, and says so.
    const win::DWORD result = *outcome.historyResult;
    if (result & 0x80000000u)
        outcome.notes.push_back(
            "The URL history was not cleared: ClearHistory returned " + hresultText(result) +
            (result == kNotImplemented ? ", not implemented on this system" : std::string()));
}

} // namespace tw
