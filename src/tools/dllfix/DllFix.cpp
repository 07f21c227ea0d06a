#include "DllFix.h"

#include "platform/Files.h"
#include "platform/System.h"
#include "registry/Session.h"
#include "repair/BackupList.h"

#include <algorithm>
#include <cctype>

namespace tw {

namespace {

/// GetSystemDirectory's buffer: at most 80 characters and the NUL.
constexpr std::size_t kSystemFolderBuffer = 81;

constexpr const char* kRegsvr32 = "regsvr32.exe";
/// The 32-bit system folder of a 64-bit system, upper-cased with its separator.
constexpr std::string_view kWow64FolderName = "\\SYSWOW64\\";

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool isLibraryName(const std::string& name)
{
    const std::string big = upper(name);
    return big.find(".DLL") != std::string::npos || big.find(".OCX") != std::string::npos;
}

} // namespace

std::string DllFixSystemFolder(const Session& session)
{
    const std::string folder = session.system().systemDirectory();
    // A folder that does not fit is not returned at all, as GetSystemDirectory does.
    return folder.size() < kSystemFolderBuffer ? folder : std::string();
}

std::vector<std::string> CollectDllFiles(const Session& session, const std::string& folder,
                                         DllFixView& view)
{
    std::vector<std::string> paths;
    if (folder.empty())
        return paths;
    std::unique_ptr<platform::FileFind> find = session.files().findFirstFile(folder + "\\*.*");
    if (!find)
        return paths;
    do {
        if (!view.running())
            break;
        view.yield();
        const std::string path = folder + "\\" + find->current().name;
        if (isLibraryName(find->current().name))
            paths.push_back(path);
        view.statusChanged("Scanning: " + path);
    } while (find->next());
    return paths;
}

std::vector<std::string> DllFixFolders(const Session& session)
{
    std::vector<std::string> folders{DllFixSystemFolder(session)};
    const std::string wow64 = session.system().systemWow64Directory();
    if (!wow64.empty() && session.files().fileAttributes(wow64 + "\\" + kRegsvr32) !=
                              win::INVALID_FILE_ATTRIBUTES)
        folders.push_back(wow64);
    return folders;
}

std::vector<std::string> CollectAllDllFiles(const Session& session, DllFixView& view)
{
    std::vector<std::string> paths;
    for (const std::string& folder : DllFixFolders(session)) {
        std::vector<std::string> found = CollectDllFiles(session, folder, view);
        paths.insert(paths.end(), found.begin(), found.end());
    }
    return paths;
}

std::string RegistrationCommand(const std::string& path)
{
    const std::string folder = path.substr(0, path.rfind('\\') + 1);
    const std::string regsvr32 =
        upper(folder).ends_with(kWow64FolderName) ? folder + kRegsvr32 : std::string(kRegsvr32);
    return regsvr32 + " /s \"" + path + "\"";
}

RegistrationQueue::RegistrationQueue(const Session& session, std::vector<std::string> paths,
                                     std::size_t maxRunning)
    : m_session(session), m_paths(std::move(paths)),
      m_maxRunning(std::max<std::size_t>(1, maxRunning))
{
}

void RegistrationQueue::fail(const std::string& path, std::string reason)
{
    m_failures.push_back({path, std::move(reason)});
}

bool RegistrationQueue::pump()
{
    if (m_next == 0 && !m_paths.empty()) {
        // Nothing starts unless the registry can be brought back from a backup, and no
        // backup is written when regsvr32 would not start.
        const platform::Programs& programs = m_session.programs();
        std::string error = programs.startRefusal(RegistrationCommand(m_paths[0]));
        const bool refused = !error.empty();
        if (!refused)
            error = BackupBeforeProgramRun(m_session).error;
        if (!error.empty()) {
            for (const std::string& path : m_paths)
                fail(path, refused ? programs.startRefusal(RegistrationCommand(path)) : error);
            m_firstError = std::move(error);
            m_next = m_paths.size();
            return false;
        }
    }
    std::erase_if(m_running, [this](const Running& running) {
        if (!running.process->hasEnded())
            return false;
        const win::DWORD code = running.process->exitCode();
        if (code == 0)
            ++m_registered;
        else
            fail(running.path, "regsvr32 returned " + std::to_string(code));
        return true;
    });
    while (m_running.size() < m_maxRunning && m_next < m_paths.size()) {
        const std::string& path = m_paths[m_next++];
        platform::ProgramStart start;
        start.commandLine = RegistrationCommand(path);
        start.show = platform::ShowCommand::Hide;
        platform::ProgramRun run = m_session.programs().start(start);
        if (!run.started()) {
            if (m_firstError.empty())
                m_firstError = run.error;
            fail(path, run.error);
            continue;
        }
        ++m_started;
        m_running.push_back({path, std::move(run.process)});
        m_peak = std::max(m_peak, m_running.size());
    }
    return !m_running.empty() || m_next < m_paths.size();
}

} // namespace tw
