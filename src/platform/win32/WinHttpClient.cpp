#include "WinHttpClient.h"

#include "UniqueHandle.h"
#include "WideText.h"

// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
#include <winhttp.h>
// clang-format on

#include <algorithm>
#include <chrono>

namespace tw::win32 {

namespace {

using InternetHandle = UniqueHandle<HINTERNET, &WinHttpCloseHandle>;

using Clock = std::chrono::steady_clock;

/// WinHTTP's own words for its codes, the system's for the others.
std::string httpErrorText(DWORD code)
{
    if (code >= WINHTTP_ERROR_BASE && code <= WINHTTP_ERROR_LAST) {
        wchar_t* message = nullptr;
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           GetModuleHandleW(L"winhttp.dll"), code, 0,
                           reinterpret_cast<wchar_t*>(&message), 0, nullptr);
        if (length > 0 && message) {
            std::wstring text(message, length);
            LocalFree(message);
            while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' ||
                                     text.back() == L' ' || text.back() == L'.'))
                text.pop_back();
            return fromWide(text);
        }
        switch (code) {
        case ERROR_WINHTTP_TIMEOUT:
            return "the operation timed out";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return "the server name could not be resolved";
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return "could not connect to the server";
        case ERROR_WINHTTP_CONNECTION_ERROR:
            return "the connection was broken";
        case ERROR_WINHTTP_SECURE_FAILURE:
            return "the server's certificate could not be verified";
        case ERROR_WINHTTP_REDIRECT_FAILED:
            return "a redirect could not be followed";
        case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
        case ERROR_WINHTTP_INVALID_URL:
            return "the URL is not a valid http or https URL";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
            return "the server's answer could not be understood";
        default:
            break;
        }
    }
    return errorText(code);
}

/// The milliseconds left until `deadline`, at least 1.
int remaining(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 1, 0x7fffffff));
}

int milliseconds(std::chrono::milliseconds value)
{
    return static_cast<int>(std::clamp<long long>(value.count(), 1, 0x7fffffff));
}

} // namespace

platform::HttpResponse WinHttpClient::get(const std::string& url,
                                          const platform::HttpLimits& limits)
{
    platform::HttpResponse response;
    const Clock::time_point deadline = Clock::now() + limits.totalTimeout;
    const auto failed = [&](DWORD code) {
        // Wine passes the socket's own timeout code on.
        if (code == WSAETIMEDOUT)
            code = ERROR_WINHTTP_TIMEOUT;
        if (code == ERROR_WINHTTP_TIMEOUT || Clock::now() >= deadline)
            response.error = "no answer in time (" + httpErrorText(code) + ")";
        else
            response.error = httpErrorText(code);
        return response;
    };

    const std::wstring wideUrl = toWide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        response.error = "\"" + url + "\" is not an http or https URL";
        return response;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";

    const InternetHandle session(WinHttpOpen(L"Tidewell", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return failed(GetLastError());
    const int connectMs = std::min(milliseconds(limits.connectTimeout), remaining(deadline));
    const int totalMs = remaining(deadline);
    if (!WinHttpSetTimeouts(session.get(), connectMs, connectMs, totalMs, totalMs))
        return failed(GetLastError());
    const InternetHandle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return failed(GetLastError());
    const InternetHandle request(
        WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES,
                           parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return failed(GetLastError());
    // Waiting for the status line has its own limit; it is the rest of the total time too.
    DWORD responseMs = static_cast<DWORD>(totalMs);
    WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                     sizeof responseMs);
    DWORD maxRedirects = 5;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &maxRedirects,
                     sizeof maxRedirects);

    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return failed(GetLastError());

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return failed(GetLastError());
    response.status = static_cast<long>(status);
    if (status < 200 || status > 299) {
        response.error = "the server answered HTTP " + std::to_string(status);
        return response;
    }

    const std::string tooLarge =
        "the answer is larger than " + std::to_string(limits.maxBytes) + " bytes";
    DWORD length = 0;
    size = sizeof length;
    if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &length, &size,
                            WINHTTP_NO_HEADER_INDEX) &&
        length > limits.maxBytes) {
        response.error = tooLarge;
        return response;
    }

    std::string body;
    char buffer[8192];
    for (;;) {
        if (Clock::now() >= deadline)
            return failed(ERROR_WINHTTP_TIMEOUT);
        const int left = remaining(deadline);
        WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, const_cast<int*>(&left),
                         sizeof left);
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer, sizeof buffer, &read))
            return failed(GetLastError());
        if (read == 0)
            break;
        if (body.size() + read > limits.maxBytes) {
            response.error = tooLarge;
            return response;
        }
        body.append(buffer, read);
    }
    response.ok = true;
    response.body = std::move(body);
    return response;
}

} // namespace tw::win32
