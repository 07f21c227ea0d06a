#include "TRegistry.h"

#include "Session.h"

#include <cstring>

namespace tw {

using namespace tw::win;

namespace {
TRegDataType typeCode(DWORD type)
{
    switch (type) {
    case REG_SZ:
        return rdString;
    case REG_EXPAND_SZ:
        return rdExpandString;
    case REG_DWORD:
        return rdInteger;
    case REG_BINARY:
        return rdBinary;
    default:
        return rdUnknown;
    }
}
} // namespace

TRegistry::TRegistry(const Session& session) : TRegistry(session.registry()) {}

TRegistry::TRegistry(platform::Registry& registry) : m_registry(registry) {}

TRegistry::~TRegistry()
{
    ClosePath();
}

void TRegistry::fail(const char* format, std::string_view name)
{
    std::string text(format);
    text.replace(text.find("%s"), 2, name);
    throw ERegistryException(text);
}

TRegistry::ResolvedPath TRegistry::resolve(std::string_view path)
{
    ResolvedPath result;
    if (!path.empty() && path.front() == '\\') {
        result.absolute = true;
        path.remove_prefix(1);
    }
    result.path = std::string(path);
    return result;
}

HKEY TRegistry::baseFor(const ResolvedPath& path) const
{
    return (!path.absolute && m_currentKey) ? m_currentKey : m_rootKey;
}

HKEY TRegistry::valueKey() const
{
    return m_currentKey ? m_currentKey : m_rootKey;
}

void TRegistry::SelectRoot(HKEY root)
{
    if (root == m_rootKey)
        return;
    ClosePath();
    m_rootKey = root;
}

bool TRegistry::OpenPath(std::string_view path, bool mayCreate)
{
    const ResolvedPath resolved = resolve(path);
    const HKEY base = baseFor(resolved);
    HKEY opened = 0;
    const LONG rc = (mayCreate && !resolved.path.empty())
                        ? m_registry.createKey(base, resolved.path, m_access, &opened)
                        : m_registry.openKey(base, resolved.path, m_access, &opened);
    if (rc != ERROR_SUCCESS)
        return false;
    const bool below = !resolved.absolute && m_currentKey;
    std::string newPath = below ? m_currentPath + "\\" + resolved.path : resolved.path;
    ClosePath();
    m_currentKey = opened;
    m_currentPath = std::move(newPath);
    return true;
}

void TRegistry::ClosePath()
{
    if (m_currentKey && !m_currentBorrowed)
        m_registry.closeKey(m_currentKey);
    m_currentKey = 0;
    m_currentBorrowed = false;
    m_currentPath.clear();
}

void TRegistry::UseOpenKey(HKEY key, std::string path)
{
    ClosePath();
    m_currentKey = key;
    m_currentBorrowed = true;
    m_currentPath = std::move(path);
}

bool TRegistry::PathExists(std::string_view path)
{
    const ResolvedPath resolved = resolve(path);
    HKEY probe = 0;
    if (m_registry.openKey(baseFor(resolved), resolved.path, KEY_EXISTS_PROBE, &probe) !=
        ERROR_SUCCESS)
        return false;
    m_registry.closeKey(probe);
    return true;
}

bool TRegistry::query(std::string_view name, DWORD* type, std::string* data)
{
    return m_registry.queryValue(valueKey(), name, type, data) == ERROR_SUCCESS;
}

bool TRegistry::HasValue(std::string_view name)
{
    return query(name, nullptr, nullptr);
}

void TRegistry::ListSubkeys(std::vector<std::string>& list)
{
    list.clear();
    platform::KeyInfo info;
    if (!m_currentKey || m_registry.queryInfoKey(m_currentKey, &info) != ERROR_SUCCESS)
        return;
    std::string name;
    for (DWORD i = 0; i < info.subKeys; ++i) {
        if (m_registry.enumKey(m_currentKey, i, &name) != ERROR_SUCCESS)
            break;
        list.push_back(name);
    }
}

void TRegistry::ListValues(std::vector<std::string>& list)
{
    list.clear();
    platform::KeyInfo info;
    if (!m_currentKey || m_registry.queryInfoKey(m_currentKey, &info) != ERROR_SUCCESS)
        return;
    std::string name;
    for (DWORD i = 0; i < info.values; ++i) {
        if (m_registry.enumValue(m_currentKey, i, &name, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        list.push_back(name);
    }
}

void TRegistry::ListTextValues(std::vector<TextValue>& list)
{
    ListTextValues(m_registry, m_currentKey, list);
}

void TRegistry::ListTextValues(platform::Registry& registry, HKEY key, std::vector<TextValue>& list)
{
    // The list's strings are reused from call to call: a walk lists every key's values.
    size_t count = 0;
    for (DWORD i = 0; key; ++i) {
        if (count == list.size())
            list.emplace_back();
        TextValue& value = list[count];
        DWORD type = 0;
        if (registry.enumValue(key, i, &value.name, &type, nullptr) != ERROR_SUCCESS)
            break;
        value.type = type;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            // Only strings' data is read: other values may be large.
            std::string& data = value.text ? *value.text : value.text.emplace();
            if (registry.enumValue(key, i, nullptr, nullptr, &data) != ERROR_SUCCESS)
                break;
            const size_t nul = data.find('\0');
            if (nul != std::string::npos)
                data.resize(nul);
        } else {
            value.text.reset();
        }
        ++count;
    }
    list.resize(count);
}

TRegDataType TRegistry::ValueType(std::string_view name)
{
    DWORD type = 0;
    if (!query(name, &type, nullptr))
        return rdUnknown;
    return typeCode(type);
}

int TRegistry::ValueSize(std::string_view name)
{
    std::string data;
    if (!query(name, nullptr, &data))
        return -1;
    return static_cast<int>(data.size());
}

std::string TRegistry::ReadText(std::string_view name)
{
    DWORD type = 0;
    std::string data;
    if (!query(name, &type, &data) || data.empty())
        return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        fail("Invalid data type for '%s'", name);
    const size_t nul = data.find('\0');
    if (nul != std::string::npos)
        data.resize(nul);
    return data;
}

std::optional<std::string> TRegistry::ReadTextValue(std::string_view name)
{
    DWORD type = 0;
    std::string data;
    if (!query(name, &type, &data) || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    const size_t nul = data.find('\0');
    if (nul != std::string::npos)
        data.resize(nul);
    return data;
}

std::int32_t TRegistry::ReadNumber(std::string_view name)
{
    DWORD type = 0;
    std::string data;
    if (!query(name, &type, &data))
        fail("Failed to get data for '%s'", name);
    if (type != REG_DWORD || data.size() != 4)
        fail("Invalid data type for '%s'", name);
    std::int32_t value;
    std::memcpy(&value, data.data(), 4);
    return value;
}

int TRegistry::ReadBytes(std::string_view name, void* buffer, int bufferSize)
{
    DWORD type = 0;
    std::string data;
    if (!query(name, &type, &data))
        return 0;
    const TRegDataType code = typeCode(type);
    if ((code != rdBinary && code != rdUnknown) || static_cast<int>(data.size()) > bufferSize)
        fail("Invalid data type for '%s'", name);
    if (!data.empty())
        std::memcpy(buffer, data.data(), data.size());
    return static_cast<int>(data.size());
}

void TRegistry::WriteText(std::string_view name, std::string_view text)
{
    std::string data(text);
    data.push_back('\0');
    if (m_registry.setValue(valueKey(), name, REG_SZ, data) != ERROR_SUCCESS)
        fail("Failed to set data for '%s'", name);
}

void TRegistry::WriteNumber(std::string_view name, std::int32_t value)
{
    const std::string data(reinterpret_cast<const char*>(&value), 4);
    if (m_registry.setValue(valueKey(), name, REG_DWORD, data) != ERROR_SUCCESS)
        fail("Failed to set data for '%s'", name);
}

void TRegistry::WriteBytes(std::string_view name, const void* buffer, int size)
{
    const std::string data(static_cast<const char*>(buffer), static_cast<size_t>(size));
    if (m_registry.setValue(valueKey(), name, REG_BINARY, data) != ERROR_SUCCESS)
        fail("Failed to set data for '%s'", name);
}

bool TRegistry::RemoveValue(std::string_view name)
{
    return m_registry.deleteValue(valueKey(), name) == ERROR_SUCCESS;
}

bool TRegistry::RemoveKeyTree(std::string_view path)
{
    const ResolvedPath resolved = resolve(path);
    const HKEY base = baseFor(resolved);
    const HKEY remembered = m_currentKey;

    HKEY opened = 0;
    if (m_registry.openKey(base, resolved.path, KEY_ALL_ACCESS, &opened, REG_OPTION_OPEN_LINK) ==
        ERROR_SUCCESS) {
        m_currentKey = opened;
        platform::KeyInfo info;
        if (m_registry.queryInfoKey(opened, &info) == ERROR_SUCCESS) {
            std::string name;
            for (DWORD i = info.subKeys; i-- > 0;) {
                if (m_registry.enumKey(opened, i, &name) == ERROR_SUCCESS)
                    RemoveKeyTree(name);
            }
        }
        m_currentKey = remembered;
        m_registry.closeKey(opened);
    }
    return m_registry.deleteKey(base, resolved.path) == ERROR_SUCCESS;
}

} // namespace tw
