#include "Win32Shell.h"

#include "WideText.h"
#include "Win32System.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <shlobj.h>
#include <shobjidl.h>
// clang-format on

#include <algorithm>
#include <optional>
#include <utility>

namespace tw::win32 {

namespace {

/// COM for the calls of one function, on this thread.
class ComScope
{
public:
    ComScope() : m_ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope()
    {
        if (m_ok)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool m_ok;
};

/// A COM interface pointer released by the destructor.
template <typename T> class ComPtr
{
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (m_ptr)
            m_ptr->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return m_ptr; }
    T* get() const { return m_ptr; }
    T** out() { return &m_ptr; }
    void** outVoid() { return reinterpret_cast<void**>(&m_ptr); }
    explicit operator bool() const { return m_ptr != nullptr; }

private:
    T* m_ptr = nullptr;
};

DWORD attributesOf(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str());
}

bool isFolder(const std::wstring& path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool shellExecute(const std::wstring& file, const std::wstring& directory, const wchar_t* verb)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

/// "name.ext", "name (2).ext", "name (3).ext", ...: the first that `folder` does not hold.
std::wstring freeNameIn(const std::wstring& folder, const std::wstring& name, bool isFolderItem)
{
    const size_t dot = isFolderItem ? std::wstring::npos : name.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
    const std::wstring extension =
        dot == std::wstring::npos || dot == 0 ? std::wstring() : name.substr(dot);
    std::wstring candidate = name;
    for (int n = 2; attributesOf(folder + L"\\" + candidate) != INVALID_FILE_ATTRIBUTES; ++n)
        candidate = stem + L" (" + std::to_wstring(n) + L")" + extension;
    return folder + L"\\" + candidate;
}

std::wstring withoutTrailingSeparators(std::wstring path)
{
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

/// The text of a STRRET the shell handed out.
std::string strretText(STRRET& text, PCUITEMID_CHILD item)
{
    wchar_t* wide = nullptr;
    if (FAILED(StrRetToStrW(&text, item, &wide)))
        return {};
    std::string result = fromWide(wide);
    CoTaskMemFree(wide);
    return result;
}

/// The original paths of what the Recycle Bin holds (column 1 is the folder it came from).
std::vector<std::string> recycleBinItems()
{
    std::vector<std::string> items;
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.out())))
        return items;
    PIDLIST_ABSOLUTE binId = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &binId)))
        return items;
    ComPtr<IShellFolder2> bin;
    const HRESULT bound = desktop->BindToObject(binId, nullptr, IID_IShellFolder2, bin.outVoid());
    CoTaskMemFree(binId);
    if (FAILED(bound))
        return items;
    ComPtr<IEnumIDList> list;
    if (bin->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
                         list.out()) != S_OK)
        return items;
    for (PITEMID_CHILD item = nullptr; list->Next(1, &item, nullptr) == S_OK;) {
        STRRET name{};
        SHELLDETAILS location{};
        std::string path;
        if (SUCCEEDED(bin->GetDisplayNameOf(item, SHGDN_INFOLDER, &name)))
            path = strretText(name, item);
        if (SUCCEEDED(bin->GetDetailsOf(item, 1, &location))) {
            std::string folder = strretText(location.str, item);
            if (!folder.empty())
                path = folder + (folder.back() == '\\' ? "" : "\\") + path;
        }
        CoTaskMemFree(item);
        items.push_back(std::move(path));
    }
    return items;
}

} // namespace

bool Win32Shell::openUrl(std::string_view url)
{
    return shellExecute(toWide(url), {}, L"open");
}

bool Win32Shell::openFolder(std::string_view folder)
{
    const std::wstring path = toWide(folder);
    return isFolder(path) && shellExecute(path, {}, L"open");
}

bool Win32Shell::execute(std::string_view file, std::string_view directory, bool elevate)
{
    return shellExecute(toWide(file), toWide(directory),
                        elevate && canElevate() ? L"runas" : L"open");
}

bool Win32Shell::canElevate() const
{
    if (Win32System().versionEx().majorVersion < 6)
        return false;
    DWORD enabled = 0;
    DWORD size = sizeof enabled;
    return RegGetValueW(HKEY_LOCAL_MACHINE,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                        L"EnableLUA", RRF_RT_REG_DWORD, nullptr, &enabled,
                        &size) == ERROR_SUCCESS &&
           enabled != 0;
}

std::string Win32Shell::shortcutTarget(std::string_view shortcut)
{
    const ComScope com;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.outVoid())))
        return {};
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())) ||
        FAILED(file->Load(toWide(shortcut).c_str(), STGM_READ)))
        return {};
    // The shell hands out at most MAX_PATH characters.
    wchar_t target[MAX_PATH] = {};
    if (link->GetPath(target, MAX_PATH, nullptr, 0) != S_OK)
        return {};
    return fromWide(target);
}

bool Win32Shell::recycle(std::string_view path)
{
    const std::wstring from = withoutTrailingSeparators(toWide(path));
    if (attributesOf(from) == INVALID_FILE_ATTRIBUTES) {
        m_lastError = errorText(GetLastError());
        return false;
    }
    std::wstring list = from;
    list.push_back(L'\0'); // the list ends with two NULs
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    const int rc = SHFileOperationW(&operation);
    if (rc != 0 || operation.fAnyOperationsAborted ||
        attributesOf(from) != INVALID_FILE_ATTRIBUTES) {
        m_lastError = rc != 0 ? "The Recycle Bin refused it (error " + std::to_string(rc) + ")"
                              : "The Recycle Bin did not take it";
        return false;
    }
    m_lastError.clear();
    return true;
}

bool Win32Shell::moveToFolder(std::string_view path, std::string_view folder)
{
    const std::wstring from = withoutTrailingSeparators(toWide(path));
    const std::wstring into = withoutTrailingSeparators(toWide(folder));
    const DWORD attributes = attributesOf(from);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        m_lastError = errorText(GetLastError());
        return false;
    }
    if (!isFolder(into)) {
        m_lastError = "The folder " + std::string(folder) + " does not exist";
        return false;
    }
    const size_t slash = from.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? from : from.substr(slash + 1);
    if (slash != std::wstring::npos && _wcsicmp(from.substr(0, slash).c_str(), into.c_str()) == 0) {
        m_lastError = "It is in that folder already";
        return false;
    }
    const std::wstring to = freeNameIn(into, name, attributes & FILE_ATTRIBUTE_DIRECTORY);
    // Without MOVEFILE_REPLACE_EXISTING nothing is ever replaced; a file may be copied to
    // another drive.
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED)) {
        m_lastError.clear();
        return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_NOT_SAME_DEVICE) {
        m_lastError = errorText(error);
        return false;
    }
    // A folder to another drive: the shell copies it over and removes it here.
    std::wstring fromList = from + L'\0';
    std::wstring toList = to + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_MOVE;
    operation.pFrom = fromList.c_str();
    operation.pTo = toList.c_str();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT | FOF_NOCONFIRMMKDIR;
    if (SHFileOperationW(&operation) != 0 || operation.fAnyOperationsAborted) {
        m_lastError = "The shell could not move it to the other drive";
        return false;
    }
    m_lastError.clear();
    return true;
}

std::vector<std::string> Win32Shell::recycleBinFolders()
{
    std::vector<std::string> folders;
    const DWORD drives = GetLogicalDrives();
    for (int drive = 0; drive < 26; ++drive) {
        if (!(drives & (1u << drive)))
            continue;
        const std::wstring root = std::wstring(1, wchar_t(L'A' + drive)) + L":\\";
        if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED)
            continue;
        for (const wchar_t* name : {L"$Recycle.Bin", L"RECYCLER", L"RECYCLED"}) {
            if (isFolder(root + name))
                folders.push_back(fromWide(root + name));
        }
    }
    return folders;
}

platform::RecycleBinEmptied Win32Shell::emptyRecycleBin()
{
    const ComScope com;
    platform::RecycleBinEmptied emptied;
    const std::vector<std::string> before = recycleBinItems();
    SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
    const std::vector<std::string> after = recycleBinItems();
    for (const std::string& item : before) {
        const bool left = std::find(after.begin(), after.end(), item) != after.end();
        (left ? emptied.failed : emptied.removed).push_back(item);
    }
    return emptied;
}

} // namespace tw::win32
