#include "TestSupport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#ifndef TIDEWELL_TEST_DATA_DIR
#error "TIDEWELL_TEST_DATA_DIR must be defined"
#endif
#ifndef TIDEWELL_CLI_PATH
#define TIDEWELL_CLI_PATH ""
#endif

extern char** environ;

namespace tw::test {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "tidewell-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

fs::path testDataDir()
{
    return TIDEWELL_TEST_DATA_DIR;
}

fs::path fixture(const std::string& relative)
{
    return testDataDir() / relative;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string firstDifference(const std::string& actual, const std::string& expected)
{
    if (actual == expected)
        return {};
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    const size_t from = at > 60 ? at - 60 : 0;
    const size_t line =
        static_cast<size_t>(std::count(expected.begin(), expected.begin() + at, '\n')) + 1;
    return "differ at byte " + std::to_string(at) + " (line " + std::to_string(line) + ", sizes " +
           std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
           ")\nactual:   ..." + actual.substr(from, 120) + "\nexpected: ..." +
           expected.substr(from, 120);
}

void writeFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::map<std::string, std::string> treeContents(const fs::path& dir)
{
    std::map<std::string, std::string> entries;
    if (!fs::exists(dir))
        return entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        if (entry.is_symlink())
            entries[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file())
            entries[name] = readFile(entry.path());
        else
            entries[name] = "/";
    }
    return entries;
}

std::string linkSection(const std::string& key, const std::string& target)
{
    std::string data;
    char byte[4];
    for (const unsigned char c : target) {
        std::snprintf(byte, sizeof byte, "%02x", c);
        data += std::string(data.empty() ? "" : ",") + byte + ",00";
    }
    return "\n[" + key + "] 1\n#link\n\"SymbolicLinkValue\"=hex(6):" + data + "\n";
}

std::string hiveText(const std::string& relativeTo, const std::string& sections,
                     const std::string& arch)
{
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to " + relativeTo + "\n";
    if (!arch.empty())
        text += "\n#arch=" + arch + "\n";
    return text + sections;
}

PrefixBuilder::PrefixBuilder(fs::path dir) : m_dir(std::move(dir))
{
    fs::create_directories(m_dir / "drive_c");
    fs::create_directories(m_dir / "dosdevices");
    if (!fs::exists(fs::symlink_status(m_dir / "dosdevices" / "c:")))
        fs::create_directory_symlink("../drive_c", m_dir / "dosdevices" / "c:");
    if (!fs::exists(m_dir / "system.reg"))
        systemHive("");
    if (!fs::exists(m_dir / "user.reg"))
        userHive("");
}

PrefixBuilder& PrefixBuilder::systemHive(const std::string& sections, const std::string& arch)
{
    writeFile(m_dir / "system.reg", hiveText("REGISTRY\\\\Machine", sections, arch));
    return *this;
}

PrefixBuilder& PrefixBuilder::userHive(const std::string& sections, const std::string& arch)
{
    writeFile(m_dir / "user.reg",
              hiveText("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", sections, arch));
    return *this;
}

PrefixBuilder& PrefixBuilder::userdefHive(const std::string& sections, const std::string& arch)
{
    writeFile(m_dir / "userdef.reg", hiveText("REGISTRY\\\\User\\\\.Default", sections, arch));
    return *this;
}

PrefixBuilder& PrefixBuilder::fixtureHives(const std::string& fixturePrefix)
{
    for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
        fs::copy_file(fixture(fixturePrefix) / hive, m_dir / hive,
                      fs::copy_options::overwrite_existing);
        fs::permissions(m_dir / hive, fs::perms::owner_read | fs::perms::owner_write |
                                          fs::perms::group_read | fs::perms::others_read);
    }
    return *this;
}

PrefixBuilder& PrefixBuilder::file(const std::string& relative, const std::string& content)
{
    writeFile(m_dir / "drive_c" / relative, content);
    return *this;
}

PrefixBuilder& PrefixBuilder::folder(const std::string& relative)
{
    fs::create_directories(m_dir / "drive_c" / relative);
    return *this;
}

PrefixBuilder& PrefixBuilder::drive(char letter, const fs::path& target)
{
    const fs::path link = m_dir / "dosdevices" / (std::string(1, letter) + ":");
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_directory_symlink(target, link);
    return *this;
}

void execInChild(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env)
{
    for (const auto& [name, value] : env)
        ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env)
{
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, 0);
        execInChild(argv, env);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    ProcessResult result;
    std::array<pollfd, 2> fds{{{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}}};
    char buffer[65536];
    int status = 0;
    bool exited = false;
    // A daemon the program starts (wineserver) may keep the pipes open: stop reading once
    // the program itself has ended and its output is drained.
    for (;;) {
        const int ready = ::poll(fds.data(), fds.size(), exited ? 0 : 50);
        bool readSomething = false;
        for (size_t i = 0; ready > 0 && i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
                readSomething = true;
            }
        }
        if (fds[0].fd < 0 && fds[1].fd < 0)
            break;
        if (exited && !readSomething)
            break;
        if (!exited && ::waitpid(pid, &status, WNOHANG) == pid)
            exited = true;
    }
    for (const pollfd& fd : fds) {
        if (fd.fd >= 0)
            ::close(fd.fd);
    }
    if (!exited)
        ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string cliPath()
{
    return TIDEWELL_CLI_PATH;
}

} // namespace tw::test
