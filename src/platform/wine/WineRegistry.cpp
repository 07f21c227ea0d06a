#include "WineRegistry.h"

#include "HiveStore.h"
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
constexpr std::u16string_view kLinkValue = u"SymbolicLinkValue";

/// How many levels `key` lies below the root key of its hive (or of the tree).
size_t depthOf(const HiveKey* key)
{
    size_t depth = 0;
    for (; key->parent() && !key->hiveBase(); key = key->parent())
        ++depth;
    return depth;
}

bool isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

/// Data as the "A" functions hand it out, string types converted to 8-bit text, in `out`
/// (its storage reused).
void toNarrowData(const HiveValue& value, std::string& out)
{
    // ASCII text reads the same in UTF-8.
    if (!value.isAsciiText() && isStringType(value.type()))
        out = utf16ToUtf8(bytesToUtf16(value.storedData()));
    else
        out.assign(value.storedData());
}

std::string toStoredData(DWORD type, std::string_view data)
{
    if (isStringType(type))
        return utf16ToBytes(utf8ToUtf16(data));
    return std::string(data);
}

} // namespace

WineRegistry::WineRegistry(HiveStore& store) : m_store(store), m_generation(store.generation()) {}

inline void WineRegistry::followStore()
{
    if (m_generation != m_store.generation())
        adoptStoreGeneration();
}

void WineRegistry::adoptStoreGeneration()
{
    m_generation = m_store.generation();
    m_classesRoot = nullptr;
    for (size_t slot = 0; slot < m_slots.size(); ++slot) {
        if (m_slots[slot].open)
            closeSlot(slot);
    }
    m_deleted.clear();
    forgetWalk();
}

bool WineRegistry::writable() const
{
    // Asked before every change of the tree.
    if (m_writesRefused)
        return false;
    m_store.waitForSideReaders();
    return !m_store.isReadOnly();
}

HiveKey* WineRegistry::predefinedKey(HKEY handle) const
{
    switch (handle) {
    case HKEY_LOCAL_MACHINE:
        return m_store.machineKey();
    case HKEY_USERS:
        return m_store.usersKey();
    case HKEY_CURRENT_USER:
        return m_store.currentUserKey();
    case HKEY_CLASSES_ROOT:
        return classesRoot();
    case HKEY_CURRENT_CONFIG:
        return findPath(m_store.machineKey(),
                        u"System\\CurrentControlSet\\Hardware Profiles\\Current", 0);
    default:
        return nullptr;
    }
}

// A handle is kHandleBase + 4 * slot + (generation << 32): above the predefined keys, which
// lie below 2^32, for every generation.
static_assert(sizeof(HKEY) >= 8, "handles need 64 bits");
constexpr HKEY kHandleBase = 0x100;

inline WineRegistry::OpenKey* WineRegistry::openSlot(HKEY handle)
{
    const HKEY low = handle & 0xffffffffu;
    if (low < kHandleBase || (low - kHandleBase) % 4 != 0)
        return nullptr;
    const size_t slot = static_cast<size_t>((low - kHandleBase) / 4);
    if (slot >= m_slots.size())
        return nullptr;
    OpenKey& open = m_slots[slot];
    return open.open && open.generation == (handle >> 32) ? &open : nullptr;
}

LONG WineRegistry::lookup(HKEY handle, REGSAM needed, HiveKey** key)
{
    followStore();
    if (handle >= HKEY_CLASSES_ROOT && handle <= HKEY_CURRENT_CONFIG + 1) {
        *key = predefinedKey(handle);
        return *key ? ERROR_SUCCESS
                    : (handle == HKEY_CLASSES_ROOT || handle == HKEY_CURRENT_CONFIG
                           ? ERROR_FILE_NOT_FOUND
                           : ERROR_INVALID_HANDLE);
    }
    const OpenKey* open = openSlot(handle);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (open->key->isDeleted())
        return ERROR_KEY_DELETED;
    if ((open->access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    *key = open->key;
    return ERROR_SUCCESS;
}

HiveKey* WineRegistry::classesRoot() const
{
    if (m_classesRoot && !m_classesRoot->isDeleted())
        return m_classesRoot;
    HiveKey* machine = m_store.machineKey();
    HiveKey* found = findPath(machine, u"Software\\Classes", 0);
    const HiveKey* software = found ? found->parent() : nullptr;
    const bool direct = software && machine->findSubkey(u"Software") == software &&
                        software->findSubkey(u"Classes") == found;
    m_classesRoot = direct ? found : nullptr;
    return found;
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
    if (!target || target->type() != REG_LINK)
        return nullptr;
    std::u16string path = bytesToUtf16(target->data());
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
        return &m_store.registryRoot();
    return findPath(&m_store.registryRoot(), rest.substr(sep + 1), depth + 1);
}

HiveKey* WineRegistry::lastEnumerated(const HiveKey* key, std::string_view name) const
{
    if (m_enumerated.parent != key || m_enumerated.index >= key->subkeys().size())
        return nullptr;
    HiveKey* subkey = key->subkeys()[m_enumerated.index];
    const HiveName kept = subkey->name();
    return kept.isAscii() && kept.ascii() == name ? subkey : nullptr;
}

const std::u16string& WineRegistry::lookupName(std::string_view name)
{
    // ASCII names (nearly all) unit by unit, in one pass.
    m_lookupName.resize(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c & 0x80) {
            m_lookupName = utf8ToUtf16(name);
            break;
        }
        m_lookupName[i] = c;
    }
    return m_lookupName;
}

void WineRegistry::forgetWalk()
{
    m_enumerated = Enumerated();
    m_walkBase = nullptr;
    m_walkPath.clear();
    m_walkSteps.clear();
}

LONG WineRegistry::walk(HiveKey* base, std::string_view path, bool create, HiveKey** result,
                        bool* created, bool openLink)
{
    if (created)
        *created = false;
    if (!path.empty() && path.front() == '\\')
        return ERROR_BAD_PATHNAME;
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);

    // Starts from the deepest key of the last walk whose path is a leading part of this one
    // (for a link left unfollowed, one above the last component). A walk of one step (a
    // subkey below an open key) leaves what was learnt alone.
    const bool remember = path.find('\\') != std::string_view::npos;
    size_t kept = 0;
    if (remember && m_walkBase == base) {
        const size_t same = static_cast<size_t>(
            std::mismatch(path.begin(), path.end(), m_walkPath.begin(), m_walkPath.end()).first -
            path.begin());
        for (size_t i = m_walkSteps.size(); i > 0; --i) {
            const size_t end = m_walkSteps[i - 1].end;
            if (end <= same && (end < path.size() || !openLink) &&
                (end == path.size() || path[end] == '\\')) {
                kept = i;
                break;
            }
        }
        if (kept && m_walkSteps[kept - 1].key->isDeleted())
            kept = 0;
    }
    if (remember) {
        m_walkSteps.resize(kept);
        m_walkBase = base;
        m_walkPath.assign(path);
    }

    HiveKey* key = kept ? m_walkSteps[kept - 1].key : base;
    size_t start = kept ? m_walkSteps[kept - 1].end + 1 : 0;
    while (start < path.size()) {
        size_t sep = path.find('\\', start);
        if (sep == std::string_view::npos)
            sep = path.size();
        const std::string_view part = path.substr(start, sep - start);
        start = sep + 1;
        if (part.empty())
            continue;
        HiveKey* next = remember ? nullptr : lastEnumerated(key, part);
        if (!next) {
            const std::u16string& name = lookupName(part);
            if (name.size() > platform::kMaxKeyNameLength)
                return ERROR_INVALID_PARAMETER;
            next = key->findSubkey(name);
        }
        if (!next) {
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            if (!writable())
                return ERROR_ACCESS_DENIED;
            // Windows refuses keys deeper than it allows, as it refuses other bad names.
            if (depthOf(key) >= platform::kMaxKeyDepth)
                return ERROR_INVALID_PARAMETER;
            // A key no hive file holds (below another user's SID) would be lost at the save.
            if (!key->hive())
                return ERROR_ACCESS_DENIED;
            next = key->addSubkey(lookupName(part));
            next->setModified(m_store.now());
            m_store.touch(*key);
            if (created)
                *created = true;
        } else if (created) {
            *created = false;
        }
        if (openLink && start > path.size()) {
            key = next;
            break;
        }
        key = followLink(next);
        if (!key)
            return ERROR_FILE_NOT_FOUND;
        if (remember)
            m_walkSteps.push_back({sep, key});
    }
    *result = key;
    return ERROR_SUCCESS;
}

HKEY WineRegistry::newHandle(HiveKey* key, REGSAM access)
{
    size_t slot;
    if (!m_freeSlots.empty()) {
        slot = m_freeSlots.back();
        m_freeSlots.pop_back();
    } else {
        slot = m_slots.size();
        m_slots.emplace_back();
    }
    OpenKey& open = m_slots[slot];
    open.key = key;
    open.access = access;
    open.open = true;
    ++m_openHandles;
    return kHandleBase + 4 * static_cast<HKEY>(slot) + (static_cast<HKEY>(open.generation) << 32);
}

void WineRegistry::closeSlot(size_t slot)
{
    OpenKey& open = m_slots[slot];
    open = OpenKey{nullptr, 0, open.generation + 1 == 0 ? 1 : open.generation + 1, false};
    m_freeSlots.push_back(slot);
    --m_openHandles;
}

LONG WineRegistry::openKey(HKEY key, std::string_view subKey, REGSAM access, HKEY* result,
                           DWORD options)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = 0;
    HiveKey* base = nullptr;
    if (const LONG rc = lookup(key, 0, &base))
        return rc;
    HiveKey* found = nullptr;
    if (const LONG rc =
            walk(base, subKey, false, &found, nullptr, (options & REG_OPTION_OPEN_LINK) != 0))
        return rc;
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
    followStore();
    if (key >= HKEY_CLASSES_ROOT && key <= HKEY_CURRENT_CONFIG + 1)
        return ERROR_SUCCESS;
    if (!openSlot(key))
        return ERROR_INVALID_HANDLE;
    closeSlot(static_cast<size_t>(((key & 0xffffffffu) - kHandleBase) / 4));
    return ERROR_SUCCESS;
}

LONG WineRegistry::flushKey(HKEY key)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, 0, &found))
        return rc;
    try {
        m_store.save();
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
        result.maxValueNameLen =
            std::max<DWORD>(result.maxValueNameLen, DWORD(value.name().size()));
        result.maxValueLen = std::max<DWORD>(result.maxValueLen, DWORD(value.dataSize()));
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
        found->subkeys()[index]->name().toUtf8(*name);
    m_enumerated = {found, index};
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
        value.name().toUtf8(*name);
    if (type)
        *type = value.type();
    if (data)
        toNarrowData(value, *data);
    return ERROR_SUCCESS;
}

LONG WineRegistry::queryValue(HKEY key, std::string_view name, DWORD* type, std::string* data)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, KEY_QUERY_VALUE, &found))
        return rc;
    const HiveValue* value = found->findValue(lookupName(name));
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = value->type();
    if (data)
        toNarrowData(*value, *data);
    return ERROR_SUCCESS;
}

LONG WineRegistry::setValue(HKEY key, std::string_view name, DWORD type, std::string_view data)
{
    HiveKey* found = nullptr;
    if (const LONG rc = lookup(key, KEY_SET_VALUE, &found))
        return rc;
    const std::u16string wideName = utf8ToUtf16(name);
    if (wideName.size() > platform::kMaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    if (!writable() || !found->hive())
        return ERROR_ACCESS_DENIED;
    found->setValue(wideName, type, toStoredData(type, data));
    forgetWalk();
    m_store.touch(*found);
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
    forgetWalk();
    m_store.touch(*found);
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
    if (!parent || target->hiveBase() || target == m_store.machineKey() ||
        target == m_store.usersKey())
        return ERROR_ACCESS_DENIED;
    if (!target->subkeys().empty())
        return ERROR_ACCESS_DENIED;
    if (!writable())
        return ERROR_ACCESS_DENIED;
    m_store.touch(*parent);
    target->markDeleted();
    forgetWalk();
    m_deleted.push_back(parent->takeSubkey(target));
    return ERROR_SUCCESS;
}

} // namespace tw::wine
