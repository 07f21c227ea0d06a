#include "Win32Registry.h"

#include "WideText.h"
#include "platform/RootKeys.h"
#include "platform/TextCodec.h"

#include <set>

namespace tw::win32 {
namespace {

// <windows.h> defines these names as macros.
constexpr win::HKEY kClassesRoot = win::HKEY_CLASSES_ROOT;
constexpr win::HKEY kLocalMachine = win::HKEY_LOCAL_MACHINE;
constexpr win::HKEY kUsers = win::HKEY_USERS;
constexpr win::HKEY kCurrentConfig = win::HKEY_CURRENT_CONFIG;

} // namespace
} // namespace tw::win32

#include <windows.h>

namespace tw::win32 {

namespace {

constexpr win::REGSAM kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

bool isPredefined(win::HKEY key)
{
    return key >= kClassesRoot && key <= kCurrentConfig + 1;
}

/// The handle the W calls take: predefined roots are sign-extended like the SDK defines them.
::HKEY nativeOf(win::HKEY key)
{
    if (isPredefined(key))
        return reinterpret_cast<::HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(key)));
    return reinterpret_cast<::HKEY>(key);
}

/// A key handle opened here, closed when it goes out of scope.
class NativeKey
{
public:
    NativeKey() = default;
    NativeKey(const NativeKey&) = delete;
    NativeKey& operator=(const NativeKey&) = delete;
    ~NativeKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    ::HKEY get() const { return m_key; }
    ::HKEY* out() { return &m_key; }

private:
    ::HKEY m_key = nullptr;
};

bool isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

/// Stored bytes as the "A" calls hand them out: string types as UTF-8 with their NULs.
std::string toNarrow(DWORD type, const std::string& bytes)
{
    if (isStringType(type))
        return platform::utf16ToUtf8(platform::bytesToUtf16(bytes));
    return bytes;
}

std::string toStored(DWORD type, std::string_view data)
{
    if (isStringType(type))
        return platform::utf16ToBytes(platform::utf8ToUtf16(data));
    return std::string(data);
}

std::wstring joinPath(const std::wstring& base, std::wstring_view sub)
{
    while (!sub.empty() && sub.back() == L'\\')
        sub.remove_suffix(1);
    if (sub.empty())
        return base;
    if (base.empty())
        return std::wstring(sub);
    return base + L'\\' + std::wstring(sub);
}

std::pair<std::wstring, std::wstring> splitLeaf(const std::wstring& path)
{
    const size_t sep = path.rfind(L'\\');
    if (sep == std::wstring::npos)
        return {std::wstring(), path};
    return {path.substr(0, sep), path.substr(sep + 1)};
}

LONG readValue(::HKEY key, const wchar_t* name, DWORD* type, std::string* bytes)
{
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        std::string buffer(size, '\0');
        DWORD got = size;
        rc = RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(buffer.data()),
                              &got);
        if (rc == ERROR_SUCCESS) {
            buffer.resize(got);
            *bytes = std::move(buffer);
            return rc;
        }
        size = got > size ? got : size * 2 + 16;
    }
    return rc;
}

/// Reads the value named in `value` as it is before a change: through a handle of its own,
/// which reads even when `key` may only set values.
LONG readBeforeChange(::HKEY key, NativeKey& reader, Win32Registry::StoredValue& value)
{
    LONG rc = RegOpenKeyExW(key, L"", 0, KEY_QUERY_VALUE, reader.out());
    if (rc == ERROR_SUCCESS)
        rc = readValue(reader.get(), value.name.c_str(), &value.type, &value.bytes);
    return rc;
}

LONG enumValueRaw(::HKEY key, DWORD index, std::wstring* name, DWORD* type, std::string* bytes)
{
    std::wstring nameBuffer(platform::kMaxValueNameLength + 1, L'\0');
    DWORD dataSize = 256;
    for (;;) {
        std::string data(dataSize, '\0');
        DWORD nameLength = DWORD(nameBuffer.size());
        DWORD got = dataSize;
        const LONG rc = RegEnumValueW(key, index, nameBuffer.data(), &nameLength, nullptr, type,
                                      reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_MORE_DATA) {
            dataSize = got > dataSize ? got : dataSize * 2;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        data.resize(got);
        if (name)
            name->assign(nameBuffer.data(), nameLength);
        if (bytes)
            *bytes = std::move(data);
        return rc;
    }
}

LONG writeValue(::HKEY key, const std::wstring& name, DWORD type, const std::string& bytes)
{
    // RegSetValueExW counts a terminator the caller left out when one follows the data;
    // non-NUL bytes after it keep the data exactly as given.
    std::string guarded = bytes;
    if (isStringType(type))
        guarded.append("\xff\xff\xff", 3);
    return RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                          DWORD(bytes.size()));
}

} // namespace

Win32Registry::Win32Registry() = default;

Win32Registry::~Win32Registry()
{
    for (const auto& [key, place] : m_open)
        RegCloseKey(::HKEY(native(key)));
}

void* Win32Registry::native(win::HKEY key) const
{
    if (const auto it = m_viewedRoots.find(key); it != m_viewedRoots.end())
        return nativeOf(it->second.root);
    return nativeOf(key);
}

std::optional<Win32Registry::KeyPlace> Win32Registry::placeOf(win::HKEY key) const
{
    if (isPredefined(key))
        return KeyPlace{key, {}, 0};
    if (const auto it = m_viewedRoots.find(key); it != m_viewedRoots.end())
        return KeyPlace{it->second.root, {}, it->second.view};
    const auto it = m_open.find(key);
    if (it == m_open.end())
        return std::nullopt;
    return it->second;
}

win::HKEY Win32Registry::remember(void* native, KeyPlace place)
{
    const auto value = reinterpret_cast<win::HKEY>(native);
    // Opening a root again may hand back the predefined handle itself.
    const win::HKEY low = value & 0xFFFFFFFFu;
    if (isPredefined(low) && nativeOf(low) == native) {
        if (!place.view)
            return low;
        const win::HKEY viewed = m_nextViewedRoot;
        m_nextViewedRoot += 2;
        m_viewedRoots[viewed] = {low, place.view};
        return viewed;
    }
    m_open[value] = std::move(place);
    return value;
}

win::LONG Win32Registry::openKey(win::HKEY key, std::string_view subKey, win::REGSAM access,
                                 win::HKEY* result, win::DWORD options)
{
    const std::optional<KeyPlace> parent = placeOf(key);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    const std::wstring wideSub = toWide(subKey);
    const win::REGSAM view = (access & kViewFlags) ? (access & kViewFlags) : parent->view;
    ::HKEY opened = nullptr;
    const LONG rc =
        RegOpenKeyExW(::HKEY(native(key)), wideSub.c_str(), options, access | view, &opened);
    if (rc != ERROR_SUCCESS)
        return rc;
    *result = remember(opened, {parent->root, joinPath(parent->path, wideSub), view});
    return ERROR_SUCCESS;
}

win::LONG Win32Registry::createKey(win::HKEY key, std::string_view subKey, win::REGSAM access,
                                   win::HKEY* result, bool* created)
{
    const std::optional<KeyPlace> parent = placeOf(key);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    const std::wstring wideSub = toWide(subKey);
    const win::REGSAM view = (access & kViewFlags) ? (access & kViewFlags) : parent->view;

    // Which keys along the path are missing now: the journal deletes them again.
    std::vector<std::wstring> missing;
    std::wstring prefix;
    for (size_t start = 0; start <= wideSub.size();) {
        size_t end = wideSub.find(L'\\', start);
        if (end == std::wstring::npos)
            end = wideSub.size();
        if (end > start) {
            prefix = wideSub.substr(0, end);
            if (missing.empty()) {
                NativeKey probe;
                if (RegOpenKeyExW(::HKEY(native(key)), prefix.c_str(), 0, KEY_QUERY_VALUE | view,
                                  probe.out()) != ERROR_SUCCESS)
                    missing.push_back(prefix);
            } else {
                missing.push_back(prefix);
            }
        }
        start = end + 1;
    }

    ::HKEY opened = nullptr;
    DWORD disposition = 0;
    const LONG rc = RegCreateKeyExW(::HKEY(native(key)), wideSub.c_str(), 0, nullptr, 0,
                                    access | view, nullptr, &opened, &disposition);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (disposition == REG_CREATED_NEW_KEY) {
        for (const std::wstring& path : missing) {
            Change change;
            change.kind = Change::Kind::CreatedKey;
            change.place = {parent->root, joinPath(parent->path, path), view};
            m_journal.push_back(std::move(change));
        }
    }
    if (created)
        *created = disposition == REG_CREATED_NEW_KEY;
    *result = remember(opened, {parent->root, joinPath(parent->path, wideSub), view});
    return ERROR_SUCCESS;
}

win::LONG Win32Registry::closeKey(win::HKEY key)
{
    if (isPredefined(key) || m_viewedRoots.erase(key))
        return ERROR_SUCCESS;
    const auto it = m_open.find(key);
    if (it == m_open.end())
        return ERROR_INVALID_HANDLE;
    m_open.erase(it);
    return RegCloseKey(::HKEY(native(key)));
}

win::LONG Win32Registry::flushKey(win::HKEY key)
{
    return RegFlushKey(::HKEY(native(key)));
}

win::LONG Win32Registry::queryInfoKey(win::HKEY key, platform::KeyInfo* info)
{
    DWORD classLength = 0;
    DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueNameLen = 0, maxValueLen = 0;
    ::FILETIME written{};
    LONG rc = RegQueryInfoKeyW(::HKEY(native(key)), nullptr, &classLength, nullptr, &subKeys,
                               &maxSubKeyLen, nullptr, &values, &maxValueNameLen, &maxValueLen,
                               nullptr, &written);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::wstring className;
    if (classLength > 0) {
        std::wstring buffer(classLength + 1, L'\0');
        DWORD length = DWORD(buffer.size());
        rc = RegQueryInfoKeyW(::HKEY(native(key)), buffer.data(), &length, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        className.assign(buffer.data(), length);
    }
    platform::KeyInfo result;
    result.className = fromWide(className);
    result.subKeys = subKeys;
    result.maxSubKeyLen = maxSubKeyLen;
    result.values = values;
    result.maxValueNameLen = maxValueNameLen;
    result.maxValueLen = maxValueLen;
    result.lastWriteTime = (win::FILETIME(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    *info = std::move(result);
    return ERROR_SUCCESS;
}

win::LONG Win32Registry::enumKey(win::HKEY key, win::DWORD index, std::string* name)
{
    wchar_t buffer[platform::kMaxKeyNameLength + 1];
    DWORD length = DWORD(std::size(buffer));
    const LONG rc = RegEnumKeyExW(::HKEY(native(key)), index, buffer, &length, nullptr, nullptr,
                                  nullptr, nullptr);
    if (rc == ERROR_SUCCESS && name)
        *name = fromWide(std::wstring_view(buffer, length));
    return rc;
}

win::LONG Win32Registry::enumValue(win::HKEY key, win::DWORD index, std::string* name,
                                   win::DWORD* type, std::string* data)
{
    std::wstring wideName;
    DWORD valueType = 0;
    std::string bytes;
    const LONG rc = enumValueRaw(::HKEY(native(key)), index, &wideName, &valueType, &bytes);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (name)
        *name = fromWide(wideName);
    if (type)
        *type = valueType;
    if (data)
        *data = toNarrow(valueType, bytes);
    return ERROR_SUCCESS;
}

win::LONG Win32Registry::queryValue(win::HKEY key, std::string_view name, win::DWORD* type,
                                    std::string* data)
{
    DWORD valueType = 0;
    std::string bytes;
    const LONG rc = readValue(::HKEY(native(key)), toWide(name).c_str(), &valueType, &bytes);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type)
        *type = valueType;
    if (data)
        *data = toNarrow(valueType, bytes);
    return ERROR_SUCCESS;
}

win::LONG Win32Registry::setValue(win::HKEY key, std::string_view name, win::DWORD type,
                                  std::string_view data)
{
    const std::optional<KeyPlace> place = placeOf(key);
    if (!place)
        return ERROR_INVALID_HANDLE;
    Change change;
    change.place = *place;
    change.value.name = toWide(name);
    {
        NativeKey reader;
        const LONG rc = readBeforeChange(::HKEY(native(key)), reader, change.value);
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return rc;
        change.existed = rc == ERROR_SUCCESS;
    }
    const LONG rc = writeValue(::HKEY(native(key)), change.value.name, type, toStored(type, data));
    if (rc == ERROR_SUCCESS)
        m_journal.push_back(std::move(change));
    return rc;
}

win::LONG Win32Registry::deleteValue(win::HKEY key, std::string_view name)
{
    const std::optional<KeyPlace> place = placeOf(key);
    if (!place)
        return ERROR_INVALID_HANDLE;
    Change change;
    change.place = *place;
    change.value.name = toWide(name);
    change.existed = true;
    {
        NativeKey reader;
        if (const LONG rc = readBeforeChange(::HKEY(native(key)), reader, change.value);
            rc != ERROR_SUCCESS)
            return rc;
        // Windows lists values in the order they were written.
        bool after = false;
        std::wstring name;
        for (DWORD index = 0;
             enumValueRaw(reader.get(), index, &name, nullptr, nullptr) == ERROR_SUCCESS; ++index) {
            if (after)
                change.followers.push_back(name);
            else
                after =
                    CompareStringOrdinal(name.c_str(), int(name.size()), change.value.name.c_str(),
                                         int(change.value.name.size()), TRUE) == CSTR_EQUAL;
        }
    }
    const LONG rc = RegDeleteValueW(::HKEY(native(key)), change.value.name.c_str());
    if (rc == ERROR_SUCCESS)
        m_journal.push_back(std::move(change));
    return rc;
}

win::LONG Win32Registry::deleteKey(win::HKEY key, std::string_view subKey)
{
    const std::optional<KeyPlace> place = placeOf(key);
    if (!place)
        return ERROR_INVALID_HANDLE;
    const std::wstring wideSub = toWide(subKey);
    Change change;
    change.kind = Change::Kind::DeletedKey;
    change.place = {place->root, joinPath(place->path, wideSub), place->view};
    if (change.place.path.empty())
        return ERROR_ACCESS_DENIED;
    {
        // What undoes the deletion: the key's class and values.
        NativeKey target;
        LONG rc = RegOpenKeyExW(::HKEY(native(key)), wideSub.c_str(), 0, KEY_READ | place->view,
                                target.out());
        if (rc != ERROR_SUCCESS)
            return rc;
        const win::HKEY targetKey = reinterpret_cast<win::HKEY>(target.get());
        platform::KeyInfo info;
        if ((rc = queryInfoKey(targetKey, &info)) != ERROR_SUCCESS)
            return rc;
        if (info.subKeys > 0)
            return ERROR_ACCESS_DENIED;
        change.className = toWide(info.className);
        for (DWORD index = 0;; ++index) {
            StoredValue value;
            rc = enumValueRaw(target.get(), index, &value.name, &value.type, &value.bytes);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            if (rc != ERROR_SUCCESS)
                return rc;
            change.values.push_back(std::move(value));
        }
    }
    const LONG rc = RegDeleteKeyExW(::HKEY(native(key)), wideSub.c_str(), place->view, 0);
    if (rc == ERROR_SUCCESS)
        m_journal.push_back(std::move(change));
    return rc;
}

bool Win32Registry::undo(const Change& change)
{
    const KeyPlace& place = change.place;
    const ::HKEY root = nativeOf(place.root);
    switch (change.kind) {
    case Change::Kind::Value: {
        NativeKey key;
        if (RegOpenKeyExW(root, place.path.c_str(), 0, KEY_SET_VALUE | KEY_QUERY_VALUE | place.view,
                          key.out()) != ERROR_SUCCESS)
            return false;
        if (change.existed) {
            bool restored = writeValue(key.get(), change.value.name, change.value.type,
                                       change.value.bytes) == ERROR_SUCCESS;
            for (const std::wstring& name : change.followers) {
                DWORD type = 0;
                std::string bytes;
                if (readValue(key.get(), name.c_str(), &type, &bytes) != ERROR_SUCCESS)
                    continue;
                restored &= RegDeleteValueW(key.get(), name.c_str()) == ERROR_SUCCESS &&
                            writeValue(key.get(), name, type, bytes) == ERROR_SUCCESS;
            }
            return restored;
        }
        const LONG rc = RegDeleteValueW(key.get(), change.value.name.c_str());
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }
    case Change::Kind::CreatedKey: {
        const auto [parentPath, leaf] = splitLeaf(place.path);
        NativeKey parent;
        LONG rc =
            RegOpenKeyExW(root, parentPath.c_str(), 0, KEY_ALL_ACCESS | place.view, parent.out());
        if (rc == ERROR_FILE_NOT_FOUND)
            return true;
        if (rc != ERROR_SUCCESS)
            return false;
        rc = RegDeleteKeyExW(parent.get(), leaf.c_str(), place.view, 0);
        if (rc == ERROR_ACCESS_DENIED) // something outside the journal added subkeys
            rc = RegDeleteTreeW(parent.get(), leaf.c_str());
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }
    case Change::Kind::DeletedKey: {
        NativeKey key;
        if (RegCreateKeyExW(
                root, place.path.c_str(), 0,
                change.className.empty() ? nullptr : const_cast<wchar_t*>(change.className.c_str()),
                0, KEY_SET_VALUE | place.view, nullptr, key.out(), nullptr) != ERROR_SUCCESS)
            return false;
        bool restored = true;
        for (const StoredValue& value : change.values)
            restored &= writeValue(key.get(), value.name, value.type, value.bytes) == ERROR_SUCCESS;
        return restored;
    }
    }
    return false;
}

bool Win32Registry::rollbackTo(size_t mark)
{
    bool undone = true;
    while (m_journal.size() > mark) {
        undone &= undo(m_journal.back());
        m_journal.pop_back();
    }
    return undone;
}

win::LONG Win32Registry::commit()
{
    std::set<win::HKEY> roots;
    for (const Change& change : m_journal)
        roots.insert(change.place.root);
    for (const win::HKEY root : roots) {
        if (const LONG rc = RegFlushKey(nativeOf(root)); rc != ERROR_SUCCESS)
            return rc;
    }
    m_journal.clear();
    return ERROR_SUCCESS;
}

Win32Storage::Win32Storage(Win32Registry& registry) : m_registry(registry) {}

std::string administratorRefusalUnder(win::HKEY root)
{
    if (root != kLocalMachine && root != kUsers && root != kClassesRoot)
        return {};
    static const bool machineWritable = [] {
        NativeKey probe;
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                             probe.out()) == ERROR_SUCCESS;
    }();
    if (machineWritable)
        return {};
    return "Changing " + std::string(platform::rootKeyName(root)) +
           " needs administrator rights: run Tidewell as administrator";
}

std::string Win32Storage::writeRefusalUnder(win::HKEY root)
{
    return administratorRefusalUnder(root);
}

void Win32Storage::commit()
{
    if (const LONG rc = m_registry.commit(); rc != ERROR_SUCCESS)
        throw platform::StorageError("Cannot write the registry to disk: " + errorText(rc));
}

void Win32Storage::rollback()
{
    if (!m_registry.rollbackTo(0))
        throw platform::StorageError(
            "Some registry changes could not be undone; the registry may differ from how it was "
            "last saved");
}

} // namespace tw::win32
