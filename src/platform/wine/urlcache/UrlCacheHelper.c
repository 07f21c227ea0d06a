/* tidewell-urlcache.exe: the WinINet URL cache and the URL history of the system it runs on,
 * for Tidewell's Wine platform. One command per run; every line it prints is
 * "WORD<TAB>..." in UTF-8, and the last line is "done<TAB><error>" (0 on success).
 *
 *   list                  entry<TAB>TYPE(hex)<TAB>URL ... then end<TAB>ERROR of the last probe
 *   delete URL...         deleted<TAB>URL or failed<TAB>ERROR<TAB>URL, one a URL
 *   clear-history         history<TAB>HRESULT(hex) of ClearHistory, or
 *                         error<TAB>HRESULT<TAB>TEXT when the history object cannot be had
 *   seed URL TYPE(hex)... makes cache entries of those types (tests)
 *   cookie URL DATA       sets a cookie through InternetSetCookie (tests)
 */
#define COBJMACROS
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <urlhist.h>
#include <windows.h>
#include <wininet.h>

/* The URL history object and the interface whose ClearHistory empties it. */
static const CLSID historyClass = {
    0x3c374a40, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};
static const IID historyStg2 = {
    0xafa0dc11, 0xc313, 0x11d0, {0x83, 0x1a, 0x00, 0xc0, 0x4f, 0xd5, 0xae, 0x38}};

static HANDLE out;

static void writeBytes(const char* bytes, DWORD size)
{
    DWORD written;
    while (size > 0 && WriteFile(out, bytes, size, &written, NULL) && written > 0) {
        bytes += written;
        size -= written;
    }
}

static void writeText(const char* text)
{
    writeBytes(text, (DWORD)strlen(text));
}

/* Wide text as UTF-8; control characters (tabs, line ends) become spaces. */
static void writeWide(const WCHAR* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char* bytes;
    int i;
    if (size <= 1)
        return;
    bytes = malloc(size);
    if (!bytes)
        return;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, NULL, NULL);
    for (i = 0; i < size - 1; ++i) {
        if ((unsigned char)bytes[i] < 0x20)
            bytes[i] = ' ';
    }
    writeBytes(bytes, (DWORD)(size - 1));
    free(bytes);
}

static void writeNumber(const char* format, unsigned long value)
{
    char text[32];
    snprintf(text, sizeof text, format, value);
    writeText(text);
}

static int done(DWORD error)
{
    writeNumber("done\t%lu\n", error);
    return error == 0 ? 0 : 1;
}

/* Fetches the entry the way FindFirst/FindNext wants to be called: a size probe first, then
 * a buffer of the size it asked for. */
static INTERNET_CACHE_ENTRY_INFOW* fetchEntry(HANDLE* find, DWORD* error)
{
    DWORD size = 0;
    INTERNET_CACHE_ENTRY_INFOW* info;
    BOOL ok;
    if (*find)
        ok = FindNextUrlCacheEntryW(*find, NULL, &size);
    else
        ok = (*find = FindFirstUrlCacheEntryW(NULL, NULL, &size)) != NULL;
    *error = ok ? 0 : GetLastError();
    if (*error != ERROR_INSUFFICIENT_BUFFER)
        return NULL;
    info = malloc(size);
    if (!info) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return NULL;
    }
    if (*find)
        ok = FindNextUrlCacheEntryW(*find, info, &size);
    else
        ok = (*find = FindFirstUrlCacheEntryW(NULL, info, &size)) != NULL;
    if (!ok) {
        *error = GetLastError();
        free(info);
        return NULL;
    }
    *error = 0;
    return info;
}

static int listEntries(void)
{
    HANDLE find = NULL;
    DWORD error = 0;
    INTERNET_CACHE_ENTRY_INFOW* info;
    while ((info = fetchEntry(&find, &error)) != NULL) {
        writeNumber("entry\t%08lx\t", info->CacheEntryType);
        writeWide(info->lpszSourceUrlName ? info->lpszSourceUrlName : L"");
        writeText("\n");
        free(info);
    }
    if (find)
        FindCloseUrlCache(find);
    writeNumber("end\t%lu\n", error);
    return done(0);
}

static int deleteEntries(int count, WCHAR** urls)
{
    int i;
    for (i = 0; i < count; ++i) {
        if (DeleteUrlCacheEntryW(urls[i])) {
            writeText("deleted\t");
        } else {
            writeNumber("failed\t%lu\t", GetLastError());
        }
        writeWide(urls[i]);
        writeText("\n");
    }
    return done(0);
}

static void writeError(HRESULT hr)
{
    WCHAR* message = NULL;
    writeNumber("error\t%08lx\t", (unsigned long)hr);
    if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       NULL, (DWORD)hr, 0, (WCHAR*)&message, 0, NULL) &&
        message) {
        WCHAR* tail = message + lstrlenW(message);
        while (tail > message && (tail[-1] == '\r' || tail[-1] == '\n' || tail[-1] == ' '))
            *--tail = 0;
        writeWide(message);
        LocalFree(message);
    }
    writeText("\n");
}

static int clearHistory(void)
{
    IUrlHistoryStg2* history = NULL;
    HRESULT hr = CoInitialize(NULL);
    if (FAILED(hr)) {
        writeError(hr);
        return done(1);
    }
    hr =
        CoCreateInstance(&historyClass, NULL, CLSCTX_INPROC_SERVER, &historyStg2, (void**)&history);
    if (FAILED(hr) || !history) {
        writeError(FAILED(hr) ? hr : E_NOINTERFACE);
        CoUninitialize();
        return done(1);
    }
    hr = IUrlHistoryStg2_ClearHistory(history);
    writeNumber("history\t%08lx\n", (unsigned long)hr);
    IUrlHistoryStg2_Release(history);
    CoUninitialize();
    return done(0);
}

static DWORD seedEntry(const WCHAR* url, const WCHAR* typeText)
{
    WCHAR file[MAX_PATH];
    static const char body[] = "tidewell test entry\n";
    DWORD type = wcstoul(typeText, NULL, 16);
    HANDLE handle;
    DWORD written;
    if (!CreateUrlCacheEntryW(url, sizeof body, L"htm", file, 0))
        return GetLastError();
    handle = CreateFileW(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    WriteFile(handle, body, sizeof body - 1, &written, NULL);
    CloseHandle(handle);
    if (!CommitUrlCacheEntryW(url, file, (FILETIME){0}, (FILETIME){0}, type, NULL, 0, L"htm", NULL))
        return GetLastError();
    writeText("seeded\t");
    writeWide(url);
    writeText("\n");
    return 0;
}

static int seedEntries(int count, WCHAR** pairs)
{
    int i;
    for (i = 0; i + 1 < count; i += 2) {
        DWORD error = seedEntry(pairs[i], pairs[i + 1]);
        if (error)
            return done(error);
    }
    return done(0);
}

static int setCookie(const WCHAR* url, const WCHAR* data)
{
    if (!InternetSetCookieW(url, NULL, data))
        return done(GetLastError());
    writeText("cookie\t");
    writeWide(url);
    writeText("\n");
    return done(0);
}

int wmain(int argc, WCHAR** argv)
{
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (argc == 2 && !lstrcmpW(argv[1], L"list"))
        return listEntries();
    if (argc >= 2 && !lstrcmpW(argv[1], L"delete"))
        return deleteEntries(argc - 2, argv + 2);
    if (argc == 2 && !lstrcmpW(argv[1], L"clear-history"))
        return clearHistory();
    if (argc >= 4 && argc % 2 == 0 && !lstrcmpW(argv[1], L"seed"))
        return seedEntries(argc - 2, argv + 2);
    if (argc == 4 && !lstrcmpW(argv[1], L"cookie"))
        return setCookie(argv[2], argv[3]);
    writeText("usage\tlist | delete URL... | clear-history | seed URL TYPE... | cookie URL DATA\n");
    return done(ERROR_INVALID_PARAMETER);
}
