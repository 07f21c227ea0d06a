#include "FileView.h"

#include "SectionLoops.h"
#include "SectionText.h"
#include "registry/PublicFunctions.h"

#include <algorithm>
#include <optional>

namespace tw::sections {

namespace {

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view kWow64Node = "Wow6432Node";

/// What follows `folder` in `path` ("" or "\..."), when the path is the folder or below it.
std::optional<std::string_view> below(std::string_view path, std::string_view folder)
{
    if (folder.empty() || path.size() < folder.size() ||
        !equalsNoCase(path.substr(0, folder.size()), folder))
        return std::nullopt;
    const std::string_view rest = path.substr(folder.size());
    if (!rest.empty() && rest.front() != '\\')
        return std::nullopt;
    return rest;
}

} // namespace

ValueReaders readersOfKey(std::string_view keyPath)
{
    if (!containsNoCase(keyPath, kWow64Node))
        return ValueReaders::Any;
    size_t start = 0;
    while (start <= keyPath.size()) {
        size_t end = keyPath.find('\\', start);
        if (end == std::string_view::npos)
            end = keyPath.size();
        if (equalsNoCase(keyPath.substr(start, end - start), kWow64Node))
            return ValueReaders::Wow64;
        start = end + 1;
    }
    return ValueReaders::Any;
}

FileView::FileView(const Session& session) : m_session(session), m_files(session.files())
{
    platform::System& system = session.system();
    m_system = system.systemDirectory();
    m_systemWow64 = system.systemWow64Directory();
    if (!m_systemWow64.empty())
        m_sysnative = system.windowsDirectory() + "\\sysnative";
}

bool FileView::anyPlace(std::string_view path,
                        bool (platform::Files::*test)(std::string_view)) const
{
    if ((m_files.*test)(path))
        return true;
    if (m_systemWow64.empty())
        return false;
    if (const auto rest = below(path, m_system))
        return (m_files.*test)(m_systemWow64 + std::string(*rest));
    if (const auto rest = below(path, m_sysnative))
        return (m_files.*test)(m_system + std::string(*rest));
    return false;
}

bool FileView::fileExists(std::string_view path) const
{
    return anyPlace(path, &platform::Files::fileExists);
}

bool FileView::directoryExists(std::string_view path) const
{
    return anyPlace(path, &platform::Files::directoryExists);
}

std::vector<std::string> FileView::programFilesFolders(int selector, ValueReaders readers) const
{
    // Read when first needed, as the scans always read them.
    const size_t index = selector == 0 ? 0 : 1;
    if (!m_programFilesRead) {
        m_programFiles[0] = GetProgramFilesDir(m_session, 0);
        m_programFiles[1] = GetProgramFilesDir(m_session, 1);
        TRegistry reg(m_session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        if (reg.OpenPath(kCurrentVersion, false)) {
            m_programFilesX86[0] = reg.ReadTextValue("ProgramFilesDir (x86)").value_or("");
            m_programFilesX86[1] = reg.ReadTextValue("CommonFilesDir (x86)").value_or("");
        }
        m_programFilesRead = true;
    }
    const std::string& native = m_programFiles[index];
    const std::string& x86 = m_programFilesX86[index];
    if (x86.empty() || equalsNoCase(x86, native))
        return {native};
    if (readers == ValueReaders::Wow64)
        return {x86, native};
    return {native, x86};
}

} // namespace tw::sections
