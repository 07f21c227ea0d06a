// The junk scan: the ticked drives, folder by folder, against the ticked junk file types.
#pragma once

#include "JunkFileTypes.h"
#include "JunkPattern.h"
#include "platform/Files.h"
#include "registry/OwnFolders.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tw {

class Session;

/// One row of the found list: its number, its tick and the full path of the file or folder.
struct FoundJunkRow
{
    std::string caption;
    bool checked = true;
    std::string path;
    /// The file the scan found there: a clean acts only while the path still names it.
    std::optional<platform::FileId> id;
};

/// What the scan shows; implemented by the window, the command line and tests. Every call
/// is made on the thread that runs the scan.
class JunkScanView
{
public:
    virtual ~JunkScanView() = default;
    /// The found list was emptied.
    virtual void clearFound() = 0;
    virtual void addFound(const FoundJunkRow& row) = 0;
    /// The entry being examined ("" when the scan ends).
    virtual void scanMessage(const std::string& text) { (void)text; }
    /// Lets pending user input run (Stop, Select All, a close request among it).
    virtual void yield() {}
};

/// The scan window's side of the scan: its file-type list and the number of the next find.
/// Stop is DiskScanState := kDiskScanStopped, seen at the next entry or pattern test.
class JunkScan
{
public:
    JunkScan(Session& session, JunkScanView& view) : m_session(session), m_view(view) {}

    /// Showing the scan window: the finds are numbered from 1 again.
    void ResetNumbers() { FoundNumber = 1; }
    /// The start of a scan: DiskScanState := running, FileTypes loaded from "FileList"
    /// (the built-in types when it is missing, not stored). Returns the load's error text.
    std::string BeginScan();
    /// Scans the drives ("C:") in order, then DiskScanState := stopped.
    void ScanSelectedDrives(const std::vector<std::string>& tickedRoots);
    /// Depth first through one folder ("C:", "C:\windows"), in the order the directory
    /// search returns the entries.
    void ScanFolder(const std::string& folder);

    FileTypeList FileTypes;
    int FoundNumber = 1;

private:
    bool stopped() const;
    /// Reads, once per scan, the folders the scan leaves out besides the searched ones.
    void readLeftOut();
    /// True for the program's own folders and the Recycle Bin's.
    bool leftOut(const platform::FileId& id) const;

    Session& m_session;
    JunkScanView& m_view;
    /// The patterns of the ticked types, in list order, for the scan that runs.
    std::vector<JunkPattern> m_patterns;
    /// The folders searched so far: one reached again (through another drive letter) is not
    /// searched twice.
    std::unordered_set<platform::FileId> m_searched;
    /// The program's own folders, read when the scan starts: never searched nor offered.
    std::optional<OwnFolders> m_own;
    /// The Recycle Bin's folders on the drives: what they hold was put away by the user.
    std::unordered_set<platform::FileId> m_recycleBins;
};

/// True for the attribute words whose entries are shown and may be searched: hidden,
/// system, directory, directory + hidden, directory + hidden + read-only, archive, normal,
/// temporary.
bool IsScannedAttribute(unsigned attributes);

} // namespace tw
