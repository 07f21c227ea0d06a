#include "CleanJunk.h"

#include "registry/Session.h"

namespace tw {

namespace {

std::string trimmedBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

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
            const std::string path = trimmedBlanks(row.path);
            bool ok = false;
            switch (mode) {
            case CleanMode::Delete:
                ok = session.files().deleteFile(path);
                break;
            case CleanMode::Recycle:
                ok = session.shell().recycle(path);
                break;
            case CleanMode::Move:
                ok = session.shell().moveToFolder(path, moveFolder);
                break;
            }
            const bool moving = mode == CleanMode::Move;
            view.setResultStatus(result, ok ? (moving ? kFileMoved : kFileDeleted)
                                            : (moving ? kMovedError : kDeletedError));
            ++outcome.treated;
            if (!ok)
                ++outcome.failed;
        }
        view.progressChanged(static_cast<int>(i));
    }
    return outcome;
}

} // namespace tw
