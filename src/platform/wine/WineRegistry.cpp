#include "WineRegistry.h"

#include "WinePrefix.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace tw::wine {

using namespace tw::win;
using platform::bytesToUtf16;
using platform::utf16ToBytes;
using platform::utf16ToUtf8;
using platform::utf8ToUtf16;

namespace {

constexpr int kMaxLinkDepth = 16;
constexpr size_t kMaxKeyNameLength = 255;
constexpr std::u16string_view kLinkValue = u"SymbolicLinkValue";

bool isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

/// Data as the "A" functions hand it out: string types converted to 8-bit text.
std::string toNarrowData(const HiveValue& value)
{
    if (isStringType(value.type))
        return utf16ToUtf8(bytesToUtf16(value.data));
    return value.data;
}

std::string toStoredData(DWORD type, std::string_view data)
{
    if (isStringType(type))
        return utf16ToBytes(utf8ToUtf16(data));
    return std::string(data);
}

} // namespace

WineRegistry::WineRegistry(WinePrefix& prefix) : m_prefix(prefix) {}

bool WineRegistry::writable() const
{
    return !m_prefix.isReadOnly();
}

HiveKey* WineRegistry::predefinedKey(HKEY handle) const
{
    switch (handle) {
    case HKEY_LOCAL_MACHINE:
        return m_prefix.machineKey();
    case HKEY_USERS:
        return m_prefix.usersKey();
    case HKEY_CURRENT_USER:
        return m_prefix.currentUserKey();
    case HKEY_CLASSES_ROOT:
        return findPath(m_prefix.machineKey(), u"Software\\Classes", 0);
    case HKEY_CURRENT_CONFIG:
        return findPath(m_prefix.machineKey(),
                        u"System\\CurrentControlSet\\Hardware Profiles\\Current", 0);
    default:
        return nullptr;
    }
}

LONG WineRegistry::lookup(HKEY handle, REGSAM needed, HiveKey** key)
{
    if (handle >= HKEY_CLASSES_ROOT && handle <= HKEY_CURRENT_CONFIG + 1) {
        *key = predefinedKey(handle);
        return *key ? ERROR_SUCCESS
                    : (handle == HKEY_CLASSES_ROOT || handle == HKEY_CURRENT_CONFIG
                           ? ERROR_FILE_NOT_FOUND
                           : ERROR_INVALID_HANDLE);
    }
    const auto it = m_handles.find(handle);
    if (it == m_handles.end())
        return ERROR_INVALID_HANDLE;
    if (it->second.key->isDeleted())
        return ERROR_KEY_DELETED;
    if ((it->second.access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    *key = it->second.key;
    return ERROR_SUCCESS;
}

HiveKey* WineRegistry::findPath(HiveKey* from, std::u16string_view path, int depth) const
{
    HiveKey* key = from;
    size_t start = 0;
    while (key && start < path.size()) {
        size_t sep = path.find(u'\\', start);
        if (sep == std::u16string_view::npos)
            sep = path.size();
        if (sep > start)
            key = followLink(key->findSubkey(path.substr(start, sep - start)), depth);
        start = sep + 1;
    }
    return key;
}

HiveKey* WineRegistry::followLink(HiveKey* key, int depth) const
{
    if (!key || !key->isLink())
        return key;
    if (depth >= kMaxLinkDepth)
        return nullptr;
    const HiveValue* target = key->findValue(kLinkValue);
    if (!target || target->type != REG_LINK)
        return nullptr;
    std::u16string path = bytesToUtf16(target->data);
    while (!path.empty() && path.back() == u'\0')
        path.pop_back();
    // "\Registry\Machine\..." from the top of the tree.
    std::u16string_view rest(path);
    while (!rest.empty() && rest.front() == u'\\')
        rest.remove_prefix(1);
    const size_t sep = rest.find(u'\\');
    const std::u16string_view top = rest.substr(0, sep);
    if (!platform::equalNamesNoCase(top, u"REGISTRY"))
        return nullptr;
    if (sep == std::u16string_view::npos)
        return &m_prefix.registryRoot();
    return findPath(&m_prefix.registryRoot(), rest.substr(sep + 1), depth + 1);
}

LONG WineRegistry::walk(HiveKey* base, std::string_view path, bool create, HiveKey** result,
                        bool* created)
{
    if (created)
        *created = false;
    if (!path.empty() && path.front() == '\\')
        return ERROR_BAD_PATHNAME;
    // Deep scans open a key, then each of its subkeys by their full paths: start from the
    // key found last when the path goes on below it.
    HiveKey* key = base;
    std::string_view rest = path;
    if (m_lastKey && m_lastBase == base && !m_lastKey->isDeleted() && !m_lastPath.empty() &&
        path.size() >= m_lastPath.size() && path.compare(0, m_lastPath.size(), m_lastPath) == 0 &&
        (path.size() == m_lastPath.size() || path[m_lastPath.size()] == '\\')) {
        key = m_lastKey;
        rest = path.substr(m_lastPath.size());
    }
    const std::u16string wide = utf8ToUtf16(rest);
    size_t start = 0;
    while (start < wide.size()) {
        size_t sep = wide.find(u'\\', start);
        if (sep == std::u16string::npos)
            sep = wide.size();
        const std::u16string_view name(wide.data() + start, sep - start);
        start = sep + 1;
        if (name.empty())
            continue;
        if (name.size() > kMaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        HiveKey* next = key->findSubkey(name);
        if (!next) {
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            if (!writable())
                return ERROR_ACCESS_DENIED;
            next = key->addSubkey(name);
            next->setModified(m_prefix.now());
            m_prefix.touch(*key);
            if (created)
                *created = true;
        } else if (created) {
            *created = false;
        }
        key = followLink(next);
        if (!key)
            return ERROR_FILE_NOT_FOUND;
    }
    *result = key;
    m_lastBase = base;
    m_lastPath.assign(path);
    while (!m_lastPath.empty() && m_lastPath.back() == '\\')
        m_lastPath.pop_back();
    m_lastKey = key;
    return ERROR_SUCCESS;
}

HKEY WineRegistry::newHandle(HiveKey* key, REGSAM access)
{
    const HKEY handle = m_nextHandle;
    m_nextHandle += 4;
    m_handles.emplace(handle, OpenKey{key, access});
    return handle;
}

LONG WineRegistry::openKey(HKEY key, std::string_view subKey, REGSAM access, HKEY* result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = 0;
    HiveKey* base = nullptr;
    if (const LONG rc = lookup(key, 0, &base))
        return rc;
    HiveKey* found = nullptr;
    if (const LONG rc = walk(base, subKey, false, &found))
        return rc;
    *result = newHandle(found, access);
    return ERROR_SUCCESS;
}

LONG WineRegistry::openKeyEx(HKEY key, std::string_view subKey, DWORD options, REGSAM access,
                             HKEY* result)
{
    if (!(options & REG_OPTION_OPEN_LINK))
        return openKey(key, subKey, access, result);
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = 0;
    HiveKey* base = nullptr;
    if (const LONG rc = lookup(key, 0, &base))
        return rc;
    // The links on the way are followed; the last key is taken as it is.
    std::string_view leaf = subKey;
    while (!leaf.empty() && leaf.back() == '\\')
        leaf.remove_suffix(1);
    HiveKey* parent = base;
    const size_t sep = leaf.rfind('\\');
    if (sep != std::string_view::npos) {
        if (const LONG rc = walk(base, leaf.substr(0, sep), false, &parent))
            return rc;
        leaf = leaf.substr(sep + 1);
    }
    HiveKey* found = leaf.empty() ? parent : parent->findSubkey(utf8ToUtf16(leaf));
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    *result = newHandle(found, access);
    return ERROR_SUCCESS;
}

LONG WineRegistry::createKey(HKEY key, std::string_view subKey, REGSAM access, HKEY* result,
                             bool* created)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = 0;
    HiveKey* base = nullptr;
    if (const LONG rc = lookup(key, 0, &base))
        return rc;
    HiveKey* found = nullptr;
    // Creating needs the right to add subkeys; opening an existing key does not.
    const LONG existing = walk(base, subKey, false, &found);
    if (existing == ERROR_FILE_NOT_FOUND) {
        HiveKey* parent = nullptr;
        if (const LONG rc = lookup(key, KEY_CREATE_SUB_KEY, &parent))
            return rc;
        if (const LONG rc = walk(base, subKey, true, &found, created))
            return rc;
    } else if (existing != ERROR_SUCCESS) {
        return existing;
    } else if (created) {
        *created = false;
    }
    *result = newHandle(found, access);
    return ERROR_SUCCESS;
}

LONG WineRegistry::closeKey(HKEY key)
{
    if (key >= HKEY_CLASSES_ROOT && key <= HKEY_CURRENT_CONFIG + 1)
        return ERROR_SUCCESS;
    return m_handles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WineRegistry::flushKey(HKEY key)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, 0, &found))
        return rc;
    try {
        m_prefix.save();
    } catch (const PrefixError&) {
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

LONG WineRegistry::queryInfoKey(HKEY key, platform::KeyInfo* info)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, KEY_QUERY_VALUE, &found))
        return rc;
    platform::KeyInfo result;
    if (const std::u16string* cls = found->className())
        result.className = utf16ToUtf8(*cls);
    for (const auto& sub : found->subkeys()) {
        if (sub->isDeleted())
            continue;
        ++result.subKeys;
        result.maxSubKeyLen = std::max<DWORD>(result.maxSubKeyLen, DWORD(sub->name().size()));
    }
    for (const HiveValue& value : found->values()) {
        ++result.values;
        result.maxValueNameLen = std::max<DWORD>(result.maxValueNameLen, DWORD(value.name.size()));
        result.maxValueLen = std::max<DWORD>(result.maxValueLen, DWORD(value.data.size()));
    }
    result.lastWriteTime = found->modified();
    *info = std::move(result);
    return ERROR_SUCCESS;
}

LONG WineRegistry::enumKey(HKEY key, DWORD index, std::string* name)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, KEY_ENUMERATE_SUB_KEYS, &found))
        return rc;
    if (index >= found->subkeys().size())
        return ERROR_NO_MORE_ITEMS;
    if (name)
        *name = utf16ToUtf8(found->subkeys()[index]->name());
    return ERROR_SUCCESS;
}

LONG WineRegistry::enumValue(HKEY key, DWORD index, std::string* name, DWORD* type,
                             std::string* data)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, KEY_QUERY_VALUE, &found))
        return rc;
    if (index >= found->values().size())
        return ERROR_NO_MORE_ITEMS;
    const HiveValue& value = found->values()[index];
    if (name)
        *name = utf16ToUtf8(value.name);
    if (type)
        *type = value.type;
    if (data)
        *data = toNarrowData(value);
    return ERROR_SUCCESS;
}

LONG WineRegistry::queryValue(HKEY key, std::string_view name, DWORD* type, std::string* data)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, KEY_QUERY_VALUE, &found))
        return rc;
    const HiveValue* value = found->findValue(utf8ToUtf16(name));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->type;
    if (data)
        *data = toNarrowData(*value);
    return ERROR_SUCCESS;
}

LONG WineRegistry::setValue(HKEY key, std::string_view name, DWORD type, std::string_view data)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, KEY_SET_VALUE, &found))
        return rc;
    if (!writable())
        return ERROR_ACCESS_DENIED;
    found->setValue(utf8ToUtf16(name), type, toStoredData(type, data));
    m_prefix.touch(*found);
    return ERROR_SUCCESS;
}

LONG WineRegistry::deleteValue(HKEY key, std::string_view name)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, KEY_SET_VALUE, &found))
        return rc;
    if (!found->findValue(utf8ToUtf16(name)))
        return ERROR_FILE_NOT_FOUND;
    if (!writable())
        return ERROR_ACCESS_DENIED;
    found->removeValue(utf8ToUtf16(name));
    m_prefix.touch(*found);
    return ERROR_SUCCESS;
}

LONG WineRegistry::deleteKey(HKEY key, std::string_view subKey)
{
    HiveKey* base = nullptr;
    if (const LONG rc = lookup(key, 0, &base))
        return rc;
    HiveKey* target = base;
    if (!subKey.empty()) {
        // Links on the way are followed; the last key is deleted itself, never its target.
        std::string_view parentPath;
        std::string_view leaf = subKey;
        while (!leaf.empty() && leaf.back() == '\\')
            leaf.remove_suffix(1);
        const size_t sep = leaf.rfind('\\');
        if (sep != std::string_view::npos) {
            parentPath = leaf.substr(0, sep);
            leaf = leaf.substr(sep + 1);
        }
        HiveKey* parent = nullptr;
        if (const LONG rc = walk(base, parentPath, false, &parent))
            return rc;
        target = parent->findSubkey(utf8ToUtf16(leaf));
        if (!target)
            return ERROR_FILE_NOT_FOUND;
    }
    HiveKey* parent = target->parent();
    if (!parent || target->hiveBase() || target == m_prefix.machineKey() ||
        target == m_prefix.usersKey())
        return ERROR_ACCESS_DENIED;
    if (!target->subkeys().empty())
        return ERROR_ACCESS_DENIED;
    if (!writable())
        return ERROR_ACCESS_DENIED;
    m_prefix.touch(*parent);
    target->markDeleted();
    m_deleted.push_back(parent->takeSubkey(target));
    return ERROR_SUCCESS;
}

void WineRegistry::invalidateHandles()
{
    m_handles.clear();
    m_deleted.clear();
    m_lastKey = nullptr;
    m_lastBase = nullptr;
}

} // namespace tw::wine
