#include "UpdateServer.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tw::test {

UpdateServer::UpdateServer()
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const std::string script = TIDEWELL_UPDATE_SERVER;
    char* argv[] = {const_cast<char*>("python3"), const_cast<char*>(script.c_str()), nullptr};
    const int rc = posix_spawnp(&m_pid, "python3", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        throw std::runtime_error("cannot start python3");
    }
    std::string line;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(fds[0]);
    m_port = line.empty() ? 0 : std::stoi(line);
    if (m_port == 0)
        throw std::runtime_error("the update server did not start");
}

UpdateServer::~UpdateServer()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::string UpdateServer::host(const std::string& name) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/" + name;
}

int closedPort()
{
    // Bind a port, then close it: nothing listens there afterwards.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace tw::test
