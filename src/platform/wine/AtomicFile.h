// Replacing a file in one step: write a temporary file beside it, flush, rename.
#pragma once

#include "WinePlatformOnly.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::wine {

/// A new file beside `target` ("<target>.tidewell-XXXXXX") that takes the target's owner,
/// group and permissions; removed when it goes out of scope unless it was kept.
class TemporaryFile
{
public:
    /// Throws std::system_error when the file cannot be made.
    explicit TemporaryFile(const std::string& target);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return m_path; }
    void write(std::string_view text);
    /// Flushes the file to the disk and closes it.
    void finish();
    /// The file was renamed into place: leave it.
    void keep() { m_kept = true; }

private:
    int m_fd = -1;
    std::string m_path;
    bool m_kept = false;
};

/// Removes the temporary files TemporaryFile made in `folder` for the files named `names`
/// ("<name>.tidewell-XXXXXX", left by a writer that was killed). True when it removed any.
bool removeTemporaryFilesOf(const std::string& folder, const std::vector<std::string>& names);

/// Flushes a folder's entries (after renames in it).
void syncFolder(const std::string& folder);
/// The folder of a path.
std::string folderOf(const std::string& path);

/// Writes `path` through `produce`, which hands the text in pieces to its sink. The file is
/// either replaced whole or left as it was; the owner, group and permissions of an existing
/// file are kept.
/// Throws std::system_error (or whatever `produce` throws) and leaves no temporary file.
void writeFileAtomically(
    const std::string& path,
    const std::function<void(const std::function<void(std::string_view)>&)>& produce);

/// The same for one block of text.
void writeFileAtomically(const std::string& path, std::string_view text);

} // namespace tw::wine
