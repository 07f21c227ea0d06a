// A program started in the background for a test, ended and reaped when the test ends.
#pragma once

#include "TestSupport.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tw::test {

class ChildProcess
{
public:
    /// Starts `argv` with `env` added; its standard input is a pipe that stays open (so
    /// "pause" waits), its output goes to /dev/null.
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::map<std::string, std::string>& env = {})
    {
        int input[2];
        if (::pipe2(input, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        m_pid = ::fork();
        if (m_pid < 0)
            throw std::runtime_error("fork failed");
        if (m_pid == 0) {
            ::dup2(input[0], 0);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, 1);
            ::dup2(devNull, 2);
            execInChild(argv, env);
        }
        ::close(input[0]);
        m_input = input[1];
    }
    ~ChildProcess()
    {
        if (!m_status) {
            ::kill(m_pid, SIGKILL);
            wait();
        }
        ::close(m_input);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    /// True while it has not ended (a zombie counts as ended).
    bool running()
    {
        if (m_status)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_status = status;
        return !m_status;
    }
    /// Waits for it to end; its wait status.
    int wait()
    {
        while (!m_status) {
            int status = 0;
            const pid_t rc = ::waitpid(m_pid, &status, 0);
            if (rc == m_pid)
                m_status = status;
            else if (rc < 0 && errno != EINTR)
                m_status = -1;
        }
        return *m_status;
    }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    std::optional<int> m_status;
};

} // namespace tw::test
