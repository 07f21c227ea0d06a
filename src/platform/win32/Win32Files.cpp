#include "Win32Files.h"

#include "UniqueHandle.h"
#include "WideText.h"
#include "Win32System.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

namespace tw::win32 {

namespace {

using platform::FileId;
using platform::FileStream;
using platform::FindData;
using platform::FindDetail;

win::FILETIME fromFileTime(const ::FILETIME& time)
{
    return (static_cast<win::FILETIME>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::optional<FileId> idOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    FileId id;
    id.volumeSerial = info.dwVolumeSerialNumber;
    id.fileIndex = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return id;
}

std::optional<FileId> idOfPath(const std::wstring& path)
{
    // No access asked: this reads the identity of anything, folders through their links too.
    const KernelHandle handle(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid())
        return std::nullopt;
    return idOfHandle(handle.get());
}

/// The path with forward slashes turned round, lower-cased: the key of its cached answers.
std::wstring cacheKey(std::string_view path)
{
    std::wstring key = toWide(path);
    for (wchar_t& c : key) {
        if (c == L'/')
            c = L'\\';
    }
    if (!key.empty())
        CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

/// The folder part of a search pattern, with its trailing backslash ("" for none).
std::wstring folderOf(const std::wstring& pattern)
{
    const size_t slash = pattern.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? std::wstring() : pattern.substr(0, slash + 1);
}

class Win32FileFind : public platform::FileFind
{
public:
    Win32FileFind(HANDLE find, std::wstring folder, FindDetail detail)
        : m_find(find), m_folder(std::move(folder)), m_detail(detail)
    {
    }
    ~Win32FileFind() override { FindClose(m_find); }
    Win32FileFind(const Win32FileFind&) = delete;
    Win32FileFind& operator=(const Win32FileFind&) = delete;

    const FindData& current() const override { return m_data; }
    bool next() override
    {
        if (!FindNextFileW(m_find, &m_raw))
            return false;
        take();
        return true;
    }
    win::FILETIME creationTime() const override
    {
        const win::FILETIME created = fromFileTime(m_raw.ftCreationTime);
        return created ? created : m_data.lastWriteTime;
    }

    /// Fills the entry from what FindFirstFileEx found first.
    void take(const WIN32_FIND_DATAW& raw)
    {
        m_raw = raw;
        take();
    }

private:
    void take()
    {
        m_data = FindData();
        m_data.attributes = m_raw.dwFileAttributes;
        m_data.size = (static_cast<std::uint64_t>(m_raw.nFileSizeHigh) << 32) | m_raw.nFileSizeLow;
        m_data.lastWriteTime = fromFileTime(m_raw.ftLastWriteTime);
        m_data.name = fromWide(m_raw.cFileName);
        const bool plainFile =
            !(m_raw.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
        if (m_detail == FindDetail::Full || !plainFile) {
            if (const std::optional<FileId> id = idOfPath(m_folder + m_raw.cFileName))
                m_data.id = *id;
        }
    }

    HANDLE m_find;
    std::wstring m_folder;
    FindDetail m_detail;
    WIN32_FIND_DATAW m_raw{};
    FindData m_data;
};

class Win32FileStream : public FileStream
{
public:
    Win32FileStream(HANDLE handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}

    std::int64_t read(void* buffer, std::int64_t size) override
    {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::int64_t>(size, std::numeric_limits<DWORD>::max()));
        DWORD done = 0;
        if (size > 0 && !ReadFile(m_handle.get(), buffer, chunk, &done, nullptr))
            throw std::runtime_error("Cannot read " + m_path + ": " + win32::lastErrorText());
        return done;
    }
    void write(const void* buffer, std::int64_t size) override
    {
        const char* p = static_cast<const char*>(buffer);
        while (size > 0) {
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::int64_t>(size, std::numeric_limits<DWORD>::max()));
            DWORD done = 0;
            if (!WriteFile(m_handle.get(), p, chunk, &done, nullptr) || done == 0)
                throw std::runtime_error("Cannot write " + m_path + ": " + win32::lastErrorText());
            p += done;
            size -= done;
        }
    }
    std::int64_t seek(std::int64_t offset, int whence) override
    {
        DWORD method = FILE_BEGIN;
        if (whence == SEEK_CUR)
            method = FILE_CURRENT;
        else if (whence == SEEK_END)
            method = FILE_END;
        LARGE_INTEGER distance;
        distance.QuadPart = offset;
        LARGE_INTEGER position;
        if (!SetFilePointerEx(m_handle.get(), distance, &position, method))
            return -1;
        return position.QuadPart;
    }
    std::int64_t size() const override
    {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(m_handle.get(), &size))
            return -1;
        return size.QuadPart;
    }

private:
    KernelHandle m_handle;
    std::string m_path;
};

} // namespace

std::unique_ptr<platform::FileFind> Win32Files::findFirstFile(std::string_view pattern,
                                                              platform::FindDetail detail)
{
    const std::wstring widePattern = toWide(pattern);
    WIN32_FIND_DATAW raw;
    const HANDLE find = FindFirstFileExW(widePattern.c_str(), FindExInfoBasic, &raw,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return nullptr;
    auto result = std::make_unique<Win32FileFind>(find, folderOf(widePattern), detail);
    result->take(raw);
    return result;
}

win::DWORD Win32Files::fileAttributes(std::string_view path)
{
    if (m_cacheDepth > 0) {
        const std::wstring key = cacheKey(path);
        if (const auto found = m_attributes.find(key); found != m_attributes.end())
            return found->second;
        const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
        m_attributes.emplace(key, attributes);
        return attributes;
    }
    return GetFileAttributesW(toWide(path).c_str());
}

std::optional<platform::FileId> Win32Files::fileId(std::string_view path)
{
    if (m_cacheDepth > 0) {
        const std::wstring key = cacheKey(path);
        if (const auto found = m_ids.find(key); found != m_ids.end())
            return found->second;
        const std::optional<FileId> id = idOfPath(toWide(path));
        m_ids.emplace(key, id);
        return id;
    }
    return idOfPath(toWide(path));
}

bool Win32Files::fileExists(std::string_view path)
{
    const DWORD attributes = fileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Files::directoryExists(std::string_view path)
{
    const DWORD attributes = fileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Files::createDirectory(std::string_view path)
{
    changed();
    return CreateDirectoryW(toWide(path).c_str(), nullptr) || failed();
}

bool Win32Files::deleteFile(std::string_view path)
{
    changed();
    return DeleteFileW(toWide(path).c_str()) || failed();
}

bool Win32Files::removeDirectory(std::string_view path)
{
    changed();
    return RemoveDirectoryW(toWide(path).c_str()) || failed();
}

bool Win32Files::moveFile(std::string_view from, std::string_view to, bool replaceExisting)
{
    changed();
    const DWORD flags = replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0;
    return MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), flags) || failed();
}

std::unique_ptr<platform::FileStream> Win32Files::openFile(std::string_view path,
                                                           platform::FileStream::Mode mode)
{
    using Mode = platform::FileStream::Mode;
    const std::wstring widePath = toWide(path);
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    switch (mode) {
    case Mode::Read:
        break;
    case Mode::ReadWrite:
        access |= GENERIC_WRITE;
        break;
    case Mode::Create:
    case Mode::CreateNew:
        access |= GENERIC_WRITE;
        disposition = mode == Mode::Create ? CREATE_ALWAYS : CREATE_NEW;
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
        break;
    }
    if (mode != Mode::Read)
        changed();
    if (mode == Mode::Create) {
        // Emptying a link would reach the file it leads to, or rewrite the link itself.
        const DWORD existing = GetFileAttributesW(widePath.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_REPARSE_POINT)) {
            SetLastError(ERROR_CANT_ACCESS_FILE);
            failed();
            return nullptr;
        }
    }
    const DWORD share = mode == Mode::Read ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                                           : FILE_SHARE_READ;
    const HANDLE handle =
        CreateFileW(widePath.c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        failed();
        return nullptr;
    }
    return std::make_unique<Win32FileStream>(handle, std::string(path));
}

namespace {
/// Under Wine, the host path of a Windows path (wine_get_unix_file_name); empty off Wine.
std::string wineHostPath(const std::wstring& path)
{
    using UnixFileNameCall = char*(CDECL*)(const wchar_t*);
    static const auto call = reinterpret_cast<UnixFileNameCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!call)
        return {};
    char* host = call(path.c_str());
    if (!host)
        return {};
    std::string result(host);
    HeapFree(GetProcessHeap(), 0, host);
    return result;
}
} // namespace

win::UINT Win32Files::driveType(std::string_view root)
{
    const UINT type = GetDriveTypeW(toWide(root).c_str());
    if (type != DRIVE_FIXED)
        return type;
    // Under Wine a drive that leads out of the prefix (Z: to the host's root) is the host's,
    // as the Wine platform counts it: not one of this system's own disks.
    static const std::wstring driveC = Win32System::winePrefixDriveC();
    if (driveC.empty())
        return type;
    static const std::string prefixHost = [] {
        std::string host = wineHostPath(driveC);
        while (!host.empty() && host.back() == '/')
            host.pop_back();
        return host.substr(0, host.rfind('/') + 1);
    }();
    // Drives lead into the prefix through its dosdevices links; one that names another place
    // is no drive of the prefix. (Asking such a drive for its identity makes Wine complain.)
    const std::string rootHost = wineHostPath(toWide(root));
    if (prefixHost.size() <= 1 || rootHost.rfind(prefixHost, 0) != 0)
        return DRIVE_REMOTE;
    const std::optional<platform::FileId> prefixDrive = fileId(fromWide(driveC));
    return prefixDrive && fileId(root) == prefixDrive ? type : DRIVE_REMOTE;
}

std::optional<platform::DiskSpace> Win32Files::diskFreeSpace(std::string_view root)
{
    ULARGE_INTEGER freeToCaller;
    ULARGE_INTEGER total;
    ULARGE_INTEGER totalFree;
    if (!GetDiskFreeSpaceExW(toWide(root).c_str(), &freeToCaller, &total, &totalFree))
        return std::nullopt;
    platform::DiskSpace space;
    space.freeToCaller = freeToCaller.QuadPart;
    space.total = total.QuadPart;
    space.totalFree = totalFree.QuadPart;
    return space;
}

std::string Win32Files::driveDisplayName(std::string_view root)
{
    SHFILEINFOW info{};
    // Without a volume label the shell gives " (C:)": named by its kind then.
    if (SHGetFileInfoW(toWide(root).c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME) &&
        info.szDisplayName[0] && info.szDisplayName[0] != L' ')
        return fromWide(info.szDisplayName);
    if (root.size() < 2 || root[1] != ':')
        return std::string(root);
    return platform::driveKindName(root[0], driveType(root));
}

std::string Win32Files::lastErrorText()
{
    return m_lastError ? errorText(m_lastError) : std::string();
}

std::optional<std::string> Win32Files::dosFileName(std::string_view hostPath)
{
    // A host path here is a Windows path already.
    const std::wstring path = toWide(hostPath);
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (path.empty() || needed == 0)
        return std::nullopt;
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed)
        return std::nullopt;
    full.resize(written);
    return fromWide(full);
}

std::optional<std::string> Win32Files::unixFileName(std::string_view path)
{
    return dosFileName(path);
}

void Win32Files::beginQueryCache()
{
    ++m_cacheDepth;
}

void Win32Files::endQueryCache()
{
    if (m_cacheDepth > 0 && --m_cacheDepth == 0)
        changed();
}

bool Win32Files::failed()
{
    m_lastError = GetLastError();
    return false;
}

void Win32Files::changed()
{
    m_attributes.clear();
    m_ids.clear();
}

} // namespace tw::win32
