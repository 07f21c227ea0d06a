#include "WineHelperRun.h"

#include "HiveStore.h"
#include "WineServer.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tw::wine {

namespace {

using platform::UrlCacheError;

constexpr int kRunSeconds = 120;

/// A file in memory holding `text`, positioned at its start; -1 when it cannot be made.
int inputFile(const std::string& text)
{
    const int fd = ::memfd_create("tidewell-input", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

struct Child
{
    pid_t pid = -1;
    int out = -1;
};

/// Starts argv in its own process group with the prefix's environment; throws when it cannot.
Child start(const std::vector<std::string>& argv, const std::string& prefixDir, int input)
{
    int out[2];
    int status[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw UrlCacheError(std::string("Cannot start wine: ") + std::strerror(errno));
    if (::pipe2(status, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        throw UrlCacheError(std::string("Cannot start wine: ") + std::strerror(errno));
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(input >= 0 ? input : devNull, 0);
        ::dup2(out[1], 1);
        ::dup2(devNull, 2);
        ::setenv("WINEPREFIX", prefixDir.c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        const int error = errno;
        (void)!::write(status[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(status[1]);
    if (pid < 0) {
        ::close(out[0]);
        ::close(status[0]);
        throw UrlCacheError(std::string("Cannot start wine: ") + std::strerror(errno));
    }
    int error = 0;
    const ssize_t n = ::read(status[0], &error, sizeof error);
    ::close(status[0]);
    if (n == static_cast<ssize_t>(sizeof error)) {
        ::close(out[0]);
        ::waitpid(pid, nullptr, 0);
        throw UrlCacheError(error == ENOENT
                                ? std::string("wine is not installed; the URL cache is Wine's own "
                                              "and cannot be reached without it")
                                : std::string("Cannot start wine: ") + std::strerror(error));
    }
    return {pid, out[0]};
}

/// Reads the child's output to its end and waits for it; kills its group after the time.
int finish(Child child, std::string& output)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kRunSeconds);
    char buffer[65536];
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd poll{child.out, POLLIN, 0};
        const int ready = ::poll(&poll, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        const ssize_t n = ::read(child.out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    ::close(child.out);
    if (timedOut)
        ::kill(-child.pid, SIGKILL);
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        throw UrlCacheError("The URL cache helper did not end within " +
                            std::to_string(kRunSeconds) + " seconds");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runToEnd(const std::vector<std::string>& argv, const std::string& prefixDir,
             const std::string& input, std::string& output)
{
    const int in = input.empty() ? -1 : inputFile(input);
    if (!input.empty() && in < 0)
        throw UrlCacheError(std::string("Cannot hand the URLs over: ") + std::strerror(errno));
    Child child;
    try {
        child = start(argv, prefixDir, in);
    } catch (...) {
        if (in >= 0)
            ::close(in);
        throw;
    }
    if (in >= 0)
        ::close(in);
    return finish(child, output);
}

} // namespace

HelperOutput runHelperInPrefix(HiveStore& store, const std::string& helper,
                               const std::vector<std::string>& arguments, const std::string& input)
{
    if (store.isPreview())
        throw UrlCacheError("No Windows program runs in a preview of the prefix");
    const std::string& prefix = store.prefixDir();
    // While Wine runs, the prefix is Wine's: the helper joins it and our hives stay as read.
    const bool ours = !store.isReadOnly() && !runningWineserver(prefix);
    if (ours && store.hasUnsavedChanges()) {
        try {
            store.save();
        } catch (const PrefixError& e) {
            throw UrlCacheError(e.what());
        }
    }
    std::vector<std::string> argv = {"wine", helper};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    // Our hives are written only once the wineserver the run started has ended.
    const auto waitForServer = [&prefix] {
        try {
            std::string ignored;
            runToEnd({"wineserver", "-w"}, prefix, "", ignored);
        } catch (const std::exception&) {
        }
    };
    HelperOutput result;
    try {
        result.exitCode = runToEnd(argv, prefix, input, result.out);
    } catch (...) {
        if (ours)
            waitForServer();
        throw;
    }
    if (ours) {
        waitForServer();
        store.revert();
    }
    return result;
}

} // namespace tw::wine
