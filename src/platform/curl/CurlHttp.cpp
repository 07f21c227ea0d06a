#include "CurlHttp.h"

#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace tw::platform {

namespace {

struct Download
{
    std::string body;
    std::size_t maxBytes = 0;
    bool tooLarge = false;
};

size_t collect(char* data, size_t size, size_t count, void* user)
{
    auto* download = static_cast<Download*>(user);
    const size_t bytes = size * count;
    if (download->body.size() + bytes > download->maxBytes) {
        download->tooLarge = true;
        return 0; // makes curl stop with CURLE_WRITE_ERROR
    }
    download->body.append(data, bytes);
    return bytes;
}

struct EasyDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

} // namespace

CurlHttp::CurlHttp()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpResponse CurlHttp::get(const std::string& url, const HttpLimits& limits)
{
    HttpResponse response;
    const std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        response.error = "the HTTP client could not be started";
        return response;
    }
    Download download;
    download.maxBytes = limits.maxBytes;
    char errorText[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Tidewell");

    const CURLcode rc = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response.status);
    if (download.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
        response.error = "the answer is larger than " + std::to_string(limits.maxBytes) + " bytes";
    } else if (rc == CURLE_OPERATION_TIMEDOUT) {
        response.error = std::string("no answer in time (") + errorText + ")";
    } else if (rc != CURLE_OK) {
        response.error = *errorText ? errorText : curl_easy_strerror(rc);
    } else if (response.status < 200 || response.status > 299) {
        response.error = "the server answered HTTP " + std::to_string(response.status);
    } else {
        response.ok = true;
        response.body = std::move(download.body);
    }
    return response;
}

} // namespace tw::platform
