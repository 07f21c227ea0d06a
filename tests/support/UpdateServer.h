// The local update host of tests/support/update_server.py, started for one test.
#pragma once

#include <string>
#include <sys/types.h>

namespace tw::test {

class UpdateServer
{
public:
    /// Starts the server and waits for its port. Throws std::runtime_error when it cannot.
    UpdateServer();
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    /// "http://127.0.0.1:<port>/<name>": the update host that serves `name`.
    std::string host(const std::string& name) const;
    int port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

/// A port on 127.0.0.1 where nothing listens.
int closedPort();

} // namespace tw::test
