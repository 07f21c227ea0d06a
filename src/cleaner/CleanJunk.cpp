#include "CleanJunk.h"

#include "registry/Session.h"

namespace tw {

CleanOutcome CleanJunkFiles(const Session& session, const std::vector<FoundJunkRow>& rows,
                            CleanMode mode, const std::string& moveFolder, CleanView& view)
{
    CleanOutcome outcome;
    outcome.refused = session.changeRefusal();
    if (!outcome.refused.empty())
        return outcome;
    view.cleanStarted(static_cast<int>(rows.size()) - 1);
    view.progressChanged(0);
    for (size_t i = 0; i < rows.size(); ++i) {
        const FoundJunkRow& row = rows[i];
        if (row.checked) {
            const int result = view.addResultRow(row.path);
            // Exactly the file the scan found: gone or replaced since, it is left alone.
            const std::string& path = row.path;
            const bool unchanged = !row.id || session.files().fileId(path) == row.id;
            bool ok = false;
            std::string reason = "It is gone, or is no longer the file the scan found";
            if (unchanged) {
                switch (mode) {
                case CleanMode::Delete:
                    ok = session.files().deleteFile(path);
                    reason = session.files().lastErrorText();
                    break;
                case CleanMode::Recycle:
                    ok = session.shell().recycle(path);
                    reason = session.shell().lastErrorText();
                    break;
                case CleanMode::Move:
                    ok = session.shell().moveToFolder(path, moveFolder);
                    reason = session.shell().lastErrorText();
                    break;
                }
            }
            const bool moving = mode == CleanMode::Move;
            view.setResultStatus(result, ok ? (moving ? kFileMoved : kFileDeleted)
                                            : (moving ? kMovedError : kDeletedError));
            if (!ok && !reason.empty())
                view.setResultReason(result, reason);
            ++outcome.treated;
            if (!ok)
                ++outcome.failed;
        }
        view.progressChanged(static_cast<int>(i));
    }
    return outcome;
}

} // namespace tw
