#include "WineProcesses.h"

#include "WinePaths.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sched.h>
#include <sstream>
#include <sys/syscall.h>
#include <unistd.h>

namespace tw::wine {

namespace {

constexpr win::DWORD ERROR_GEN_FAILURE = 31;
/// Tool Help's fixed values: th32ModuleID of a module is always 1, its load count 0xFFFF.
constexpr win::DWORD kModuleId = 1;
constexpr win::DWORD kModuleUsage = 0xFFFF;
/// The lengths of szExeFile and szModule.
constexpr size_t kMaxExeFile = 260;
constexpr size_t kMaxModule = 256;
/// The kernel keeps 15 bytes of a task's name.
constexpr size_t kTaskNameLength = 15;

platform::SystemError errorOf(int error)
{
    win::DWORD code = ERROR_GEN_FAILURE;
    if (error == ENOENT || error == ESRCH)
        code = win::ERROR_INVALID_PARAMETER;
    else if (error == EACCES || error == EPERM)
        code = win::ERROR_ACCESS_DENIED;
    return {code, std::strerror(error)};
}

std::string procPath(win::DWORD processId, const char* entry)
{
    return "/proc/" + std::to_string(processId) + "/" + entry;
}

/// UTF-8 text cut to at most `length` bytes, never inside a character.
std::string limited(std::string text, size_t length)
{
    if (text.size() <= length)
        return text;
    size_t end = length;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

std::string baseName(const std::string& path)
{
    const auto separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool endsWithNoCase(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), text.end() - static_cast<long>(tail.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

bool equalNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && endsWithNoCase(a, b);
}

/// /proc/PID/stat: the name in parentheses and the fields after it (field 3 onwards).
struct StatLine
{
    std::string name;
    std::vector<std::string> fields;

    /// Field `number` as man proc counts them (1 is the PID, 2 the name).
    std::int64_t number(size_t field) const
    {
        if (field < 3 || field - 3 >= fields.size())
            return 0;
        return std::strtoll(fields[field - 3].c_str(), nullptr, 10);
    }
};

std::optional<StatLine> readStat(win::DWORD processId)
{
    const std::string text = readProcFile(procPath(processId, "stat"));
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    StatLine stat;
    stat.name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 1));
    for (std::string field; rest >> field;)
        stat.fields.push_back(field);
    if (stat.fields.size() < 20)
        return std::nullopt;
    return stat;
}

constexpr size_t kParentField = 4;
constexpr size_t kNiceField = 19;
constexpr size_t kThreadsField = 20;
constexpr size_t kStartTimeField = 22;
constexpr size_t kPolicyField = 41;

/// A mapped file of /proc/PID/maps: its path and the bytes of one mapping.
struct Mapping
{
    std::string path;
    std::uint64_t size = 0;
};

/// The file mappings of a process, in address order; devices and anonymous memory left out.
std::vector<Mapping> parseMaps(const std::string& text)
{
    std::vector<Mapping> mappings;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string range, perms, offset, device, inode;
        if (!(fields >> range >> perms >> offset >> device >> inode) || inode == "0")
            continue;
        std::string path;
        std::getline(fields >> std::ws, path);
        static const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() && path.ends_with(deleted))
            path.resize(path.size() - deleted.size());
        if (!path.starts_with('/') || path.starts_with("/dev/") || path.starts_with("/memfd:"))
            continue;
        const auto dash = range.find('-');
        if (dash == std::string::npos)
            continue;
        const std::uint64_t start = std::strtoull(range.substr(0, dash).c_str(), nullptr, 16);
        const std::uint64_t end = std::strtoull(range.substr(dash + 1).c_str(), nullptr, 16);
        mappings.push_back({path, end > start ? end - start : 0});
    }
    return mappings;
}

bool isWineLoader(const std::string& name)
{
    return name == "wine" || name == "wine64" || name == "wine-preloader" ||
           name == "wine64-preloader";
}

/// szExeFile of a process, from the kernel's task name, argv and, for a Wine loader that
/// has not yet named its program, the .exe file it has mapped.
std::string programName(win::DWORD processId, const std::string& taskName)
{
    const std::string commandLine = readProcFile(procPath(processId, "cmdline"));
    const std::string argv0 = baseName(commandLine.substr(0, commandLine.find('\0')));
    // Wine sets argv to the Windows command line ("C:\windows\system32\cmd.exe").
    if (endsWithNoCase(argv0, ".exe"))
        return argv0;
    if (taskName.size() == kTaskNameLength && argv0.size() > taskName.size() &&
        argv0.starts_with(taskName))
        return argv0;
    if (isWineLoader(taskName) || isWineLoader(argv0)) {
        for (const Mapping& mapping : parseMaps(readProcFile(procPath(processId, "maps")))) {
            if (endsWithNoCase(mapping.path, ".exe"))
                return baseName(mapping.path);
        }
    }
    return taskName.empty() ? argv0 : taskName;
}

} // namespace

win::LONG basePriorityOf(int policy, int nice)
{
    if (policy == SCHED_FIFO || policy == SCHED_RR)
        return 24;
    if (policy == SCHED_IDLE || nice >= 15)
        return 4;
    if (nice >= 5)
        return 6;
    if (nice > -5)
        return 8;
    if (nice > -15)
        return 10;
    return 13;
}

platform::ProcessSnapshot WineProcesses::snapshotProcesses()
{
    platform::ProcessSnapshot snapshot;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc"), &::closedir);
    if (!dir) {
        snapshot.error = errorOf(errno);
        return snapshot;
    }
    std::vector<win::DWORD> ids;
    while (const dirent* entry = ::readdir(dir.get())) {
        char* end = nullptr;
        const unsigned long id = std::strtoul(entry->d_name, &end, 10);
        if (*entry->d_name >= '0' && *entry->d_name <= '9' && end && *end == '\0')
            ids.push_back(static_cast<win::DWORD>(id));
    }
    std::sort(ids.begin(), ids.end());
    for (const win::DWORD id : ids) {
        // A process that ended while the list was read is left out.
        const std::optional<StatLine> stat = readStat(id);
        if (!stat)
            continue;
        platform::ProcessEntry process;
        process.processId = id;
        process.parentProcessId = static_cast<win::DWORD>(stat->number(kParentField));
        process.threads = static_cast<win::DWORD>(stat->number(kThreadsField));
        process.basePriority = basePriorityOf(static_cast<int>(stat->number(kPolicyField)),
                                              static_cast<int>(stat->number(kNiceField)));
        process.startTime = static_cast<std::uint64_t>(stat->number(kStartTimeField));
        process.exeFile = limited(programName(id, stat->name), kMaxExeFile);
        snapshot.processes.push_back(std::move(process));
    }
    return snapshot;
}

platform::ModuleSnapshot WineProcesses::snapshotModules(win::DWORD processId)
{
    platform::ModuleSnapshot snapshot;
    const std::optional<StatLine> stat = readStat(processId);
    if (!stat) {
        snapshot.error = errorOf(ESRCH);
        return snapshot;
    }
    bool ok = false;
    const std::string maps = readProcFile(procPath(processId, "maps"), ok);
    if (!ok) {
        // Another user's process: its modules may not be read.
        if (errno == EACCES || errno == EPERM)
            return snapshot;
        snapshot.error = errorOf(errno);
        return snapshot;
    }
    // One module per file, sized by all its mappings, in the order first mapped.
    std::vector<std::string> order;
    std::map<std::string, std::uint64_t> sizes;
    for (const Mapping& mapping : parseMaps(maps)) {
        auto [it, added] = sizes.try_emplace(mapping.path, 0);
        it->second += mapping.size;
        if (added)
            order.push_back(mapping.path);
    }
    // The program's own file first: a Wine program's .exe, else the executable.
    const std::string program = programName(processId, stat->name);
    auto own = std::find_if(order.begin(), order.end(), [&](const std::string& path) {
        return equalNoCase(baseName(path), program);
    });
    if (own == order.end()) {
        char target[4096];
        const ssize_t n = ::readlink(procPath(processId, "exe").c_str(), target, sizeof target);
        if (n > 0)
            own = std::find(order.begin(), order.end(), std::string(target, size_t(n)));
    }
    if (own != order.end())
        std::rotate(order.begin(), own, own + 1);
    for (const std::string& path : order) {
        platform::ModuleEntry module;
        module.moduleId = kModuleId;
        module.processId = processId;
        module.globalUsage = kModuleUsage;
        module.baseSize = sizes[path];
        module.module = limited(baseName(path), kMaxModule);
        module.exePath = limited(windowsPath(path), kMaxExeFile);
        snapshot.modules.push_back(std::move(module));
    }
    return snapshot;
}

platform::WorkingSet WineProcesses::workingSetSize(win::DWORD processId)
{
    platform::WorkingSet result;
    bool ok = false;
    const std::string statm = readProcFile(procPath(processId, "statm"), ok);
    std::istringstream fields(statm);
    std::uint64_t total = 0;
    std::uint64_t resident = 0;
    if (!ok) {
        result.error = errorOf(errno);
    } else if (!(fields >> total >> resident)) {
        result.error = errorOf(ESRCH);
    } else {
        result.bytes = resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    }
    return result;
}

platform::SystemError WineProcesses::terminateProcess(win::DWORD processId, std::uint64_t startTime)
{
    if (processId == 1)
        return {win::ERROR_ACCESS_DENIED,
                "Process 1 starts and stops the system; it is not terminated"};
    // The descriptor holds on to the process that has the identifier now, so the check
    // below and the signal concern the same process.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, processId, 0));
    if (pidfd < 0 && errno != ENOSYS)
        return errorOf(errno);
    const auto closeFd = [pidfd] {
        if (pidfd >= 0)
            ::close(pidfd);
    };
    if (startTime != 0) {
        const std::optional<StatLine> stat = readStat(processId);
        if (!stat) {
            closeFd();
            return errorOf(ESRCH);
        }
        if (static_cast<std::uint64_t>(stat->number(kStartTimeField)) != startTime) {
            closeFd();
            return {win::ERROR_INVALID_PARAMETER,
                    "The process has ended; its identifier now belongs to another process"};
        }
    }
    const long rc = pidfd >= 0 ? ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0)
                               : ::kill(static_cast<pid_t>(processId), SIGKILL);
    const int error = errno;
    closeFd();
    if (rc != 0)
        return errorOf(error);
    return {};
}

win::DWORD WineProcesses::currentProcessId()
{
    return static_cast<win::DWORD>(::getpid());
}

std::string WineProcesses::windowsPath(const std::string& hostPath) const
{
    if (std::optional<std::string> path = m_paths.toWindows(hostPath))
        return *path;
    std::string path = "\\\\?\\unix" + hostPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string readProcFile(const std::string& path, bool& ok)
{
    ok = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return {};
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    ok = true;
    return text;
}

std::string readProcFile(const std::string& path)
{
    bool ok = false;
    return readProcFile(path, ok);
}

} // namespace tw::wine
