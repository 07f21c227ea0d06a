#include "WinePrograms.h"

#include "HiveStore.h"
#include "PathKinds.h"
#include "WineLoader.h"
#include "WinePaths.h"
#include "WineServer.h"
#include "platform/CommandLineArgs.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tw::wine {

using platform::ProgramRun;
using platform::ProgramStart;
using platform::ShowCommand;

/// A child process started by posix_spawn; reaped when it is seen to end.
class WineProcess final : public platform::Process
{
public:
    explicit WineProcess(pid_t pid) : m_pid(pid) {}
    bool hasEnded() override
    {
        if (!m_ended && reap(WNOHANG))
            m_ended = true;
        return m_ended;
    }
    void wait() override
    {
        while (!m_ended)
            m_ended = reap(0);
    }
    win::DWORD exitCode() override
    {
        if (!hasEnded())
            return platform::kStillActive;
        if (WIFEXITED(m_status))
            return static_cast<win::DWORD>(WEXITSTATUS(m_status));
        return 0xC000013A; // STATUS_CONTROL_C_EXIT: ended by a signal
    }

private:
    /// True when the child has ended (or is no child of ours any more).
    bool reap(int options)
    {
        const pid_t rc = ::waitpid(m_pid, &m_status, options);
        if (rc == m_pid)
            return true;
        if (rc < 0 && errno == EINTR)
            return false;
        return rc < 0;
    }

    pid_t m_pid;
    int m_status = 0;
    bool m_ended = false;
};

namespace {

bool hasExtension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    const size_t separator = name.find_last_of("\\/");
    return dot != std::string::npos && (separator == std::string::npos || dot > separator);
}

std::string parentOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

/// The environment of the program: ours with the prefix, and Wine's messages off unless the
/// user asked for them.
std::vector<std::string> programEnvironment(const std::string& prefixDir)
{
    std::vector<std::string> env;
    bool debugSet = false;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text(*entry);
        if (text.starts_with("WINEPREFIX="))
            continue;
        debugSet = debugSet || text.starts_with("WINEDEBUG=");
        env.emplace_back(text);
    }
    env.push_back("WINEPREFIX=" + prefixDir);
    if (!debugSet)
        env.emplace_back("WINEDEBUG=-all");
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> result;
    for (std::string& text : texts)
        result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

/// posix_spawn's settings, freed at the end of the scope.
struct SpawnActions
{
    SpawnActions()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnActions()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

/// Closes a descriptor at the end of the scope.
struct Descriptor
{
    int fd = -1;
    ~Descriptor() { reset(); }
    void reset()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

} // namespace

std::string findOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        if (dir.empty())
            dir = ".";
        std::string candidate(dir);
        candidate += '/';
        candidate += program;
        if (isExecutableFile(candidate))
            return candidate;
        if (colon == std::string_view::npos)
            return std::string();
        dirs.remove_prefix(colon + 1);
    }
}

WinePrograms::WinePrograms(HiveStore& store, const WinePathMapper& paths)
    : m_store(store), m_paths(paths)
{
}

WinePrograms::~WinePrograms() = default;

std::optional<std::string> WinePrograms::existingProgram(const std::string& name) const
{
    std::vector<std::string> candidates;
    const bool bare = name.find_first_of("\\/:") == std::string::npos;
    if (bare) {
        // Where WinExec looks for a bare name after the caller's own folders.
        for (const char* dir : {"C:\\windows\\system32\\", "C:\\windows\\"})
            candidates.push_back(dir + name);
    } else {
        candidates.push_back(name);
    }
    for (const std::string& candidate : candidates) {
        for (const std::string& path :
             hasExtension(candidate) ? std::vector<std::string>{candidate}
                                     : std::vector<std::string>{candidate + ".exe", candidate}) {
            const std::optional<std::string> host = m_paths.toHost(path);
            if (host && isRegularFile(*host))
                return path;
        }
    }
    return std::nullopt;
}

std::optional<std::pair<std::string, std::string>>
WinePrograms::findProgram(const std::string& line) const
{
    for (const platform::ProgramReading& reading : platform::programReadings(line)) {
        if (const std::optional<std::string> program = existingProgram(reading.program))
            return std::make_pair(*program, reading.rest);
    }
    return std::nullopt;
}

std::string WinePrograms::startRefusal(const std::string& line) const
{
    const auto cannot = [&](const std::string& why) {
        return "Cannot start \"" + line + "\": " + why;
    };
    if (platform::commandLineToArgv(line).empty())
        return "There is no command line to start.";
    if (m_startsRefused)
        return cannot("programs are not started in a preview of the prefix.");
    if (findOnPath("wine").empty())
        return cannot("Wine is not installed (there is no \"wine\" program on the PATH). "
                      "Install Wine (on Debian: apt-get install wine) and try again.");
    if (!findProgram(line))
        return cannot("the program " + platform::commandLineToArgv(line).front() +
                      " was not found in the prefix " + m_store.prefixDir() + ".");
    return {};
}

ProgramRun WinePrograms::start(const ProgramStart& start)
{
    ProgramRun run;
    const std::string& line = start.commandLine;
    const auto fail = [&](const std::string& why) {
        run.error = "Cannot start \"" + line + "\": " + why;
        return run;
    };
    if (std::string refusal = startRefusal(line); !refusal.empty()) {
        run.error = std::move(refusal);
        return run;
    }
    const auto program = findProgram(line);
    if (!program)
        return fail("the program was removed from the prefix while it was started.");
    const std::string hostProgram = m_paths.toHost(program->first).value_or(m_store.prefixDir());
    const std::string wine = wineLoaderFor(hostProgram);
    try {
        m_store.save();
    } catch (const std::exception& e) {
        return fail(std::string("the registry changes made so far could not be saved first, "
                                "so nothing was started. ") +
                    e.what());
    }

    std::vector<std::string> argv{wine, program->first};
    for (std::string& word : platform::splitArguments(program->second))
        argv.push_back(std::move(word));
    std::vector<std::string> env = programEnvironment(m_store.prefixDir());

    SpawnActions spawn;
    Descriptor output[2];
    posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0);
    const bool capture = start.wait && start.captureOutput;
    if (capture) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return fail(std::strerror(errno));
        output[0].fd = fds[0];
        output[1].fd = fds[1];
        posix_spawn_file_actions_adddup2(&spawn.actions, fds[1], 1);
    } else {
        // Not our output: whoever reads it would wait for the program and its Wine.
        posix_spawn_file_actions_addopen(&spawn.actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&spawn.actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&spawn.actions, parentOf(hostProgram).c_str());
    // Its own process group: a Ctrl+C meant for us does not stop it. One not waited for gets
    // its own session too, so that it outlives our terminal.
    sigset_t noSignals;
    sigemptyset(&noSignals);
    posix_spawnattr_setsigmask(&spawn.attributes, &noSignals);
    posix_spawnattr_setpgroup(&spawn.attributes, 0);
    posix_spawnattr_setflags(&spawn.attributes,
                             POSIX_SPAWN_SETSIGMASK |
                                 (start.wait ? POSIX_SPAWN_SETPGROUP : POSIX_SPAWN_SETSID));

    pid_t pid = 0;
    std::vector<char*> args = pointers(argv);
    std::vector<char*> envp = pointers(env);
    const int rc = ::posix_spawn(&pid, wine.c_str(), &spawn.actions, &spawn.attributes, args.data(),
                                 envp.data());
    if (rc != 0)
        return fail(std::string("wine could not be run: ") + std::strerror(rc));
    m_store.holdForWine();
    auto process = std::make_shared<WineProcess>(pid);
    m_running.push_back(process);

    if (!start.wait) {
        run.process = process;
        return run;
    }
    if (capture) {
        output[1].reset();
        // The wineserver that wine starts keeps the pipe open: read until the program has
        // ended and its output is drained, not until the pipe closes.
        char buffer[4096];
        bool ended = false;
        for (;;) {
            pollfd fd{output[0].fd, POLLIN, 0};
            const int ready = ::poll(&fd, 1, ended ? 0 : 50);
            ssize_t n = 0;
            if (ready > 0)
                n = ::read(output[0].fd, buffer, sizeof buffer);
            if (n > 0) {
                run.output.append(buffer, static_cast<size_t>(n));
                continue;
            }
            if (ended || (ready > 0 && n == 0))
                break;
            ended = process->hasEnded();
        }
    }
    process->wait();
    run.exitCode = process->exitCode();
    return run;
}

bool WinePrograms::busy()
{
    std::erase_if(m_running, [](const std::shared_ptr<WineProcess>& p) { return p->hasEnded(); });
    return !m_running.empty() || runningWineserver(m_store.prefixDir()).has_value();
}

void WinePrograms::waitUntilIdle()
{
    for (const auto& process : m_running)
        process->wait();
    m_running.clear();
    while (runningWineserver(m_store.prefixDir()))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (m_refresh)
        m_refresh();
}

} // namespace tw::wine
