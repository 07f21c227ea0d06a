// A temporary file beside the file it becomes: made new under a name no one can guess.
#pragma once

#include "Files.h"
#include "Processes.h"

#include <memory>
#include <string>
#include <string_view>

namespace tw::platform {

/// "<target>.tidewell-<process id>-<12 random letters and digits>.part", created with
/// CreateNew (never over anything, never through a link). The destructor removes it unless it
/// was moved into place. Before it is made, the folder's temporary files of writers that no
/// longer run are removed.
class TempFile
{
public:
    /// Throws std::runtime_error naming the file and the reason when it cannot be made.
    TempFile(Files& files, Processes& processes, std::string_view target);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return m_path; }
    /// The open file; valid until close() or moveTo().
    FileStream& stream() { return *m_stream; }
    /// Closes the file (its bytes are written).
    void close() { m_stream.reset(); }
    /// Closes the file and renames it to `to`; an existing `to` is replaced only with
    /// `replaceExisting`. False when the rename failed; the file is then still removed later.
    bool moveTo(std::string_view to, bool replaceExisting);

private:
    Files& m_files;
    std::string m_path;
    std::unique_ptr<FileStream> m_stream;
    bool m_moved = false;
};

/// A new temporary name beside `target` for the writer `processId`, as TempFile makes them
/// (for writers of host files, which create it with O_CREAT|O_EXCL|O_NOFOLLOW).
std::string tempFileName(std::string_view target, win::DWORD processId);

/// True for a name TempFile makes ("....tidewell-<digits>-<12 of a-z0-9>.part"); the
/// process id it names goes to `processId`.
bool isTempFileName(std::string_view name, win::DWORD* processId = nullptr);

/// Removes the temporary files of `folder` (a Windows path without a closing backslash)
/// whose writing process no longer runs; files of running processes and every other file
/// stay. Returns how many were removed.
int removeStaleTempFiles(Files& files, Processes& processes, std::string_view folder);

} // namespace tw::platform
