#include "JunkScan.h"

#include "registry/Session.h"

namespace tw {

namespace {
using namespace win;
constexpr DWORD kScannedAttributes[] = {
    FILE_ATTRIBUTE_HIDDEN,
    FILE_ATTRIBUTE_SYSTEM,
    FILE_ATTRIBUTE_DIRECTORY,
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN,
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY,
    FILE_ATTRIBUTE_ARCHIVE,
    FILE_ATTRIBUTE_NORMAL,
    FILE_ATTRIBUTE_TEMPORARY,
};
} // namespace

bool IsScannedAttribute(unsigned attributes)
{
    for (const DWORD a : kScannedAttributes) {
        if (a == attributes)
            return true;
    }
    return false;
}

bool JunkScan::stopped() const
{
    return m_session.DiskScanState == kDiskScanStopped;
}

void JunkScan::readLeftOut()
{
    m_own.emplace(m_session);
    m_recycleBins.clear();
    for (const std::string& folder : m_session.shell().recycleBinFolders()) {
        if (const std::optional<platform::FileId> id = m_session.files().fileId(folder))
            m_recycleBins.insert(*id);
    }
}

bool JunkScan::leftOut(const platform::FileId& id) const
{
    return m_own->holds(id) || m_recycleBins.contains(id);
}

std::string JunkScan::BeginScan()
{
    m_session.DiskScanState = kDiskScanRunning;
    return LoadFileTypes(m_session, FileTypes, false);
}

void JunkScan::ScanSelectedDrives(const std::vector<std::string>& tickedRoots)
{
    m_view.clearFound();
    m_patterns.clear();
    m_searched.clear();
    readLeftOut();
    for (const TJunkFileType& type : FileTypes) {
        if (type.Checked)
            m_patterns.emplace_back(type.Pattern);
    }
    for (const std::string& root : tickedRoots) {
        if (stopped())
            break;
        ScanFolder(root);
        m_view.yield();
    }
    m_view.scanMessage("");
    m_session.DiskScanState = kDiskScanStopped;
}

void JunkScan::ScanFolder(const std::string& folder)
{
    platform::Files& files = m_session.files();
    if (!m_own)
        readLeftOut();
    const std::optional<platform::FileId> id =
        files.fileId(folder.size() == 2 ? folder + "\\" : folder);
    if (id && (leftOut(*id) || !m_searched.insert(*id).second))
        return;
    const std::unique_ptr<platform::FileFind> search = files.findFirstFile(folder + "\\*.*");
    if (!search)
        return;
    do {
        if (stopped())
            return;
        m_view.yield();
        const platform::FindData& entry = search->current();
        const bool dots = entry.name == "." || entry.name == "..";
        if (IsScannedAttribute(entry.attributes)) {
            const std::string path = folder + "\\" + entry.name;
            m_view.scanMessage(path);
            // Only an entry the search saw as a folder can be one.
            if (!dots && (entry.attributes & win::FILE_ATTRIBUTE_DIRECTORY) &&
                files.directoryExists(path))
                ScanFolder(path);
        }
        if (dots || leftOut(entry.id))
            continue;
        const std::u16string folded = FoldedJunkName(entry.name);
        for (const JunkPattern& pattern : m_patterns) {
            m_view.yield();
            if (stopped())
                break;
            if (pattern.matchesFolded(folded)) {
                m_view.addFound(
                    {std::to_string(FoundNumber), true, folder + "\\" + entry.name, entry.id});
                ++FoundNumber;
                break;
            }
        }
    } while (search->next());
}

} // namespace tw
