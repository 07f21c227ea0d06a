#include "platform/win32/WinHttpClient.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace tw::win32 {
namespace {

using namespace std::chrono_literals;

/// An HTTP server on 127.0.0.1 in a thread of this program: answers each request by its path.
class LocalServer
{
public:
    explicit LocalServer(std::function<std::string(const std::string& path)> answer)
        : m_answer(std::move(answer)), m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(m_listener, 8) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("the test server could not listen");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LocalServer()
    {
        SetEvent(m_stop);
        closesocket(m_listener);
        m_thread.join();
        CloseHandle(m_stop);
        WSACleanup();
    }

    std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    /// An answer that never comes: the connection stays open until the server stops.
    static std::string silence() { return "\x01silent"; }

private:
    void serve()
    {
        for (;;) {
            const SOCKET client = accept(m_listener, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                return;
            std::string request;
            char buffer[2048];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<size_t>(n));
            }
            const size_t start = request.find(' ') + 1;
            const std::string path = request.substr(start, request.find(' ', start) - start);
            const std::string answer = m_answer(path);
            if (answer == silence())
                WaitForSingleObject(m_stop, INFINITE);
            else
                send(client, answer.data(), static_cast<int>(answer.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    std::function<std::string(const std::string&)> m_answer;
    HANDLE m_stop;
    SOCKET m_listener = INVALID_SOCKET;
    unsigned short m_port = 0;
    std::thread m_thread;
};

std::string answer(const std::string& status, const std::string& body,
                   const std::string& headers = {})
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

std::string site(const std::string& path)
{
    if (path == "/hello")
        return answer("200 OK", "hello from the test server");
    if (path == "/moved")
        return answer("301 Moved Permanently", "", "Location: /hello\r\n");
    if (path == "/big")
        return answer("200 OK", std::string(2000, 'x'));
    if (path == "/big-unsized")
        return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(2000, 'y');
    if (path == "/exact")
        return answer("200 OK", std::string(1000, 'z'));
    if (path == "/silent")
        return LocalServer::silence();
    return answer("404 Not Found", "no such page");
}

platform::HttpLimits limits()
{
    platform::HttpLimits result;
    result.connectTimeout = 2000ms;
    result.totalTimeout = 3000ms;
    result.maxBytes = 1000;
    return result;
}

TEST(WinHttpClientTest, getsABodyAndFollowsRedirects)
{
    LocalServer server(site);
    WinHttpClient http;
    const platform::HttpResponse hello = http.get(server.url("/hello"), limits());
    EXPECT_TRUE(hello.ok) << hello.error;
    EXPECT_EQ(hello.status, 200);
    EXPECT_EQ(hello.body, "hello from the test server");
    EXPECT_EQ(hello.error, "");

    const platform::HttpResponse moved = http.get(server.url("/moved"), limits());
    EXPECT_TRUE(moved.ok) << moved.error;
    EXPECT_EQ(moved.status, 200);
    EXPECT_EQ(moved.body, "hello from the test server");

    const platform::HttpResponse exact = http.get(server.url("/exact"), limits());
    EXPECT_TRUE(exact.ok) << exact.error;
    EXPECT_EQ(exact.body.size(), 1000u);
}

TEST(WinHttpClientTest, refusesBodiesOverTheLimitWithOrWithoutALength)
{
    LocalServer server(site);
    WinHttpClient http;
    for (const char* path : {"/big", "/big-unsized"}) {
        const platform::HttpResponse big = http.get(server.url(path), limits());
        EXPECT_FALSE(big.ok) << path;
        EXPECT_EQ(big.body, "") << path;
        EXPECT_EQ(big.error, "the answer is larger than 1000 bytes") << path;
    }
}

TEST(WinHttpClientTest, reportsAnErrorStatus)
{
    LocalServer server(site);
    WinHttpClient http;
    const platform::HttpResponse missing = http.get(server.url("/missing"), limits());
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.error, "the server answered HTTP 404");
}

TEST(WinHttpClientTest, givesUpOnAServerThatNeverAnswers)
{
    LocalServer server(site);
    WinHttpClient http;
    platform::HttpLimits shortWait = limits();
    shortWait.totalTimeout = 1000ms;
    const platform::HttpResponse silent = http.get(server.url("/silent"), shortWait);
    EXPECT_FALSE(silent.ok);
    EXPECT_EQ(silent.status, 0);
    EXPECT_EQ(silent.error.rfind("no answer in time (", 0), 0u) << silent.error;
    EXPECT_EQ(silent.error.find("error "), std::string::npos) << silent.error;
}

TEST(WinHttpClientTest, refusesUrlsThatAreNotHttp)
{
    WinHttpClient http;
    const platform::HttpResponse ftp = http.get("ftp://127.0.0.1/file", limits());
    EXPECT_FALSE(ftp.ok);
    EXPECT_NE(ftp.error, "");
    const platform::HttpResponse garbage = http.get("not a url", limits());
    EXPECT_FALSE(garbage.ok);
    EXPECT_NE(garbage.error, "");
}

TEST(WinHttpClientTest, answersCallsFromSeveralThreads)
{
    LocalServer server(site);
    WinHttpClient http;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            const platform::HttpResponse r = http.get(server.url("/hello"), limits());
            if (r.ok && r.body == "hello from the test server")
                ++good;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(good.load(), 4);
}

} // namespace
} // namespace tw::win32
