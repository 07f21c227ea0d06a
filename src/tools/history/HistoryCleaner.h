// The history cleaner: lists the traces of use an item holds and clears what is ticked.
#pragma once

#include "HistoryItems.h"
#include "platform/WinTypes.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw {

class Session;

/// The five folders, resolved once.
struct HistoryFolders
{
    /// GetTempPath, with its trailing backslash.
    std::string TempFolder;
    /// Shell Folders "Cache" followed by "\Content.IE5".
    std::string CacheFolder;
    std::string NetHoodFolder;
    std::string RecentFolder;
    std::string HistoryFolder;
};

/// Reads the folders from GetTempPath and the user's Shell Folders key (not created); the
/// four of the key stay empty when it cannot be opened.
HistoryFolders ResolveHistoryFolders(const Session& session);

/// A clear that may not run; nothing was changed.
class HistoryRefused : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// What a clear shows while it runs.
class HistoryView
{
public:
    virtual ~HistoryView() = default;
    /// The state window's label.
    virtual void labelChanged(const std::string& text) { (void)text; }
    /// Lets the user's Cancel in (sets session.OperationState to 3).
    virtual void yield() {}
};

/// One thing a clear removed or could not remove. Kind 0 is an item of the Recycle Bin.
struct ClearedThing
{
    std::int32_t kind = 0;
    std::string text;
    std::string origin;
    /// Why it stayed; empty for what went.
    std::string reason;
};

struct HistoryClearOutcome
{
    std::vector<ClearedThing> removed;
    std::vector<ClearedThing> failed;
    /// The backup of the registry values the clear removed (AllRegBack); empty when it
    /// removed none.
    std::string backupPath;
    /// ClearHistory's HRESULT when the clear called it.
    std::optional<win::DWORD> historyResult;
    /// Steps that could not run while the clear went on (the cache out of reach, a
    /// ClearHistory that failed).
    std::vector<std::string> notes;
    /// The error that ended the clear before its last step, or why the registry values it
    /// removed are back (the registry could not be saved; those values are then listed in
    /// `failed`); empty when it ran through.
    std::string error;
    /// Set when Cancel stopped the file and registry loops.
    bool cancelled = false;
};

class HistoryCleaner
{
public:
    /// Resolves the folders.
    explicit HistoryCleaner(Session& session);

    const HistoryFolders& folders() const { return m_folders; }
    std::vector<TRecycleData>& records() { return m_records; }
    const std::vector<TRecycleData>& records() const { return m_records; }

    /// Empties the record list and runs the listings of item `row` in order; only the URL
    /// cache's own item reads the cache (which starts Wine). A value of RunMRU or TypedURLs
    /// that is not a string is listed as its type ("(REG_DWORD value)"). Returns why the
    /// cache could not be listed (the other listings ran), empty normally.
    std::string ListItem(int row);
    /// The records the detail list shows, in order: all but the History folder's, which no
    /// clear deletes one by one.
    std::vector<size_t> ShownRecords() const;

    /// Clears item `row` as its table row says, acting on the ticked records ("All" also on
    /// every entry of the URL cache, which its listing left out): first the
    /// backup of the registry values it will remove, then the steps, then the registry is
    /// saved. Refused whole (HistoryRefused) when the prefix cannot be changed or the backup
    /// cannot be written.
    /// The record list is not listed again (see HistoryItem::listsAgain). Files go to the
    /// Recycle Bin; emptying the Recycle Bin and removing cache entries are for good.
    HistoryClearOutcome Clear(int row, HistoryView& view);

private:
    void listFolder(std::int32_t kind, const std::string& folder);
    void listValues(std::int32_t kind, const char* key);
    std::string listCache();

    void runSteps(HistoryClear clear, HistoryView& view, HistoryClearOutcome& outcome);
    void emptyRecycleBin(HistoryClearOutcome& outcome);
    void deleteCacheEntries(HistoryClearOutcome& outcome);
    void deleteValues(std::int32_t kind, const char* key, HistoryClearOutcome& outcome);
    void deleteFiles(HistoryView& view, HistoryClearOutcome& outcome);
    void clearUrlHistory(HistoryClearOutcome& outcome);
    bool cancelled() const;

    Session& m_session;
    HistoryFolders m_folders;
    std::vector<TRecycleData> m_records;
};

} // namespace tw
