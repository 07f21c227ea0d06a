// Replacing several hive files as one change: all of them or none, even when the process
// dies or a rename fails half way.
#pragma once

#include "WinePlatformOnly.h"

#include "FileIdentity.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw::wine {

/// The moments of a save, in order; a test can stop the process at each of them.
enum class SaveStep
{
    TemporaryWritten, ///< a new file is written and flushed beside its target
    OldKept,          ///< the old file has a second name to go back to
    JournalWritten,   ///< the journal of the save is on disk: the save will be finished
    Renamed,          ///< a new file took its target's place
    Finished,         ///< the journal and the kept old files are gone
};
using SaveObserver = std::function<void(SaveStep, const std::string& file)>;

/// One file to replace, written by `produce` in pieces. The target must still be `expected`
/// (the file that was read) when its turn to be replaced comes.
struct Replacement
{
    std::string target;
    std::function<void(const std::function<void(std::string_view)>&)> produce;
    FileIdentity expected;
};

/// A save that could not be done or undone; the message says which file and why.
class SaveError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Replaces every target in `folder` with its new text, or none of them: new files are
/// written and flushed first, the old ones are kept under a second name, a journal in the
/// folder records the save before the first rename and is removed after the last. Each
/// target is compared with what it is expected to be just before its rename. When a rename
/// fails or a target changed, the renamed files are put back. Throws std::system_error for
/// files that cannot be written (nothing changed then) and SaveError otherwise.
void replaceFiles(const std::string& folder, const std::vector<Replacement>& files,
                  const SaveObserver& observer = {});

/// Finishes (or, when it was being undone, undoes) a save of `folder` that was interrupted,
/// and removes the temporary files that a dead save of any of `targets` (file names in
/// the folder) left. Throws SaveError when the files are not as the journal left them.
void recoverInterruptedSave(const std::string& folder, const std::vector<std::string>& targets);

} // namespace tw::wine
