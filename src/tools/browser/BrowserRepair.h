// The browser repair: runs the checked items in list order after writing their undo backup.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tw {

class Session;

inline constexpr const char* kBrowserRepairQuestion =
    "Restore to Internet Explorer setup default,it will lost your current Internet Explorer\r"
    "setup data.We only recommend you do it when Internet Explorer don't work at all.\r\r"
    "Do you still want to Restore to Internet Explorer setup default?";
inline constexpr const char* kBrowserRepairing = "Repairing";
inline constexpr const char* kBrowserCompleted = "Completed";

/// What the window's list shows while the repair runs.
class BrowserRepairView
{
public:
    virtual ~BrowserRepairView() = default;
    /// The "Status" text of item `row`.
    virtual void setStatus(int row, const std::string& status) = 0;
    /// Runs before each item (the window processes its pending messages).
    virtual void yield() {}
};

struct BrowserRepairRun
{
    /// The backup of everything the repair changed (a Windows path); none when nothing was
    /// changed.
    std::optional<std::string> backupPath;
    /// Why the repair was refused, stopped at an item, or taken back; empty when it ran
    /// through.
    std::string error;
};

/// Runs the items whose `checked` entry is true, in list order: each says "Repairing", makes
/// its changes, says "Completed". Before anything changes, refuses the whole repair when
/// changes could not be saved (Wine runs in the prefix) and writes the backup that returns
/// the registry and the deleted file to their state before; when it cannot be written,
/// nothing is changed. A write the registry refuses ends the repair at that item; what the
/// items before it did is kept. The changes are saved at the end; when that fails they are
/// taken back and the statuses emptied. Files are deleted only once the registry is saved.
BrowserRepairRun RepairBrowser(Session& session, const std::vector<bool>& checked,
                               BrowserRepairView& view);

} // namespace tw
