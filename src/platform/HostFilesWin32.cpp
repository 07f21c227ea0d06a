#include "HostFiles.h"
#include "TextCodec.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tw::platform {

win::DWORD currentHostProcessId()
{
    return GetCurrentProcessId();
}

bool hostProcessMayRun(win::DWORD processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

std::FILE* createNewHostFile(const std::string& path)
{
    const std::u16string wide = utf8ToUtf16(path);
    // CREATE_NEW fails on any existing name, a link included, and never follows one.
    HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(wide.c_str()), GENERIC_WRITE, 0, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errno = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST
                : error == ERROR_ACCESS_DENIED                              ? EACCES
                : error == ERROR_PATH_NOT_FOUND                             ? ENOENT
                                                                            : EIO;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(reinterpret_cast<const wchar_t*>(wide.c_str()));
        return nullptr;
    }
    if (std::FILE* file = _fdopen(fd, "wb"))
        return file;
    _close(fd);
    DeleteFileW(reinterpret_cast<const wchar_t*>(wide.c_str()));
    return nullptr;
}

std::tm localCalendarTime(std::time_t time)
{
    std::tm local{};
    localtime_s(&local, &time);
    return local;
}

} // namespace tw::platform
