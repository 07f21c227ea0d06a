// The clean actions: delete, recycle or move every ticked find, each with its outcome.
#pragma once

#include "JunkScan.h"

#include <string>
#include <vector>

namespace tw {

class Session;

enum class CleanMode
{
    /// "Permanently delete files": DeleteFile, files only.
    Delete,
    /// "Move files to Recycle Bin (recommended)".
    Recycle,
    /// "Move all files in one folder".
    Move
};

inline constexpr const char* kFileDeleted = "File Deleted";
inline constexpr const char* kDeletedError = "Deleted Error";
inline constexpr const char* kFileMoved = "File Moved";
inline constexpr const char* kMovedError = "Moved Error";

/// What the clean shows: the result list and the progress bar.
class CleanView
{
public:
    virtual ~CleanView() = default;
    /// The result list was emptied; the bar starts at 0 and ends at `maximum`.
    virtual void cleanStarted(int maximum) { (void)maximum; }
    /// Adds a result row with its "Junk Files" text; returns its index.
    virtual int addResultRow(const std::string& junkFile) = 0;
    virtual void setResultStatus(int row, const std::string& status) = 0;
    /// Why a row failed, in words for the user (after its error status).
    virtual void setResultReason(int row, const std::string& reason)
    {
        (void)row;
        (void)reason;
    }
    virtual void progressChanged(int position) { (void)position; }
};

struct CleanOutcome
{
    int treated = 0;
    int failed = 0;
    /// Why nothing was treated (the prefix may not be changed now); empty when the clean ran.
    std::string refused;
};

/// Treats every ticked row in order, each by itself: a failure gives its row the error
/// status and the next row goes on. `moveFolder` is the destination of CleanMode::Move.
/// Refused whole, before the view hears of it, while the prefix may not be changed.
CleanOutcome CleanJunkFiles(const Session& session, const std::vector<FoundJunkRow>& rows,
                            CleanMode mode, const std::string& moveFolder, CleanView& view);

} // namespace tw
