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
    m_own.emplace(m_session);
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
        m_own.emplace(m_session);
    const std::optional<platform::FileId> id =
        files.fileId(folder.size() == 2 ? folder + "\\" : folder);
    if (id && (m_own->holds(*id) || !m_searched.insert(*id).second))
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
        if (dots || m_own->holds(entry.id))
            continue;
        const std::string_view extension = JunkExtension(entry.name);
        for (const JunkPattern& pattern : m_patterns) {
            m_view.yield();
            if (stopped())
                break;
            if (pattern.matches(entry.name, extension)) {
                m_view.addFound(
                    {std::to_string(FoundNumber), true, folder + "\\" + entry.name, entry.id});
                ++FoundNumber;
                break;
            }
        }
    } while (search->next());
}

} // namespace tw
