#include "HiveKey.h"

#include "platform/TextCodec.h"

#include <cstring>
#include <mutex>
#include <stdexcept>

namespace tw::wine {

using namespace tw::win;

using tw::platform::compareNamesNoCase;

namespace {

/// Memory for keys in blocks of many; a freed key's place is used again. Blocks stay until
/// the process ends (keys are freed in bulk when a prefix closes or is read again).
class KeyPool
{
public:
    void* allocate()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_free) {
            Slot* slot = m_free;
            m_free = slot->next;
            return slot;
        }
        if (m_blocks.empty() || m_used == kSlotsPerBlock) {
            m_blocks.push_back(std::make_unique<Slot[]>(kSlotsPerBlock));
            m_used = 0;
        }
        return &m_blocks.back()[m_used++];
    }
    void release(void* key) noexcept
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Slot* slot = static_cast<Slot*>(key);
        slot->next = m_free;
        m_free = slot;
    }

private:
    union Slot {
        Slot* next;
        alignas(HiveKey) unsigned char bytes[sizeof(HiveKey)];
    };
    static constexpr size_t kSlotsPerBlock = 16384;

    std::mutex m_mutex;
    std::vector<std::unique_ptr<Slot[]>> m_blocks;
    size_t m_used = 0;
    Slot* m_free = nullptr;
};

// Under AddressSanitizer each key is its own allocation, so that a use after free is found.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif

KeyPool& keyPool()
{
    // Never destroyed: keys of a static registry may be freed after it would be.
    static KeyPool* pool = new KeyPool;
    return *pool;
}

} // namespace

void* HiveKey::operator new(std::size_t size)
{
    return kPooled && size == sizeof(HiveKey) ? keyPool().allocate() : ::operator new(size);
}

void HiveKey::operator delete(void* key, std::size_t size) noexcept
{
    if (kPooled && size == sizeof(HiveKey))
        keyPool().release(key);
    else
        ::operator delete(key);
}

HiveValue::HiveValue(std::u16string_view name, DWORD type, std::string_view data) : m_type(type)
{
    if (name.size() > UINT32_MAX || data.size() > UINT32_MAX)
        throw std::length_error("registry value too large");
    m_nameLength = static_cast<std::uint32_t>(name.size());
    setData(type, data);
    if (m_block)
        std::copy(name.begin(), name.end(), m_block.get());
}

HiveValue& HiveValue::operator=(const HiveValue& other)
{
    if (this != &other)
        *this = HiveValue(other);
    return *this;
}

void HiveValue::setData(DWORD type, std::string_view data)
{
    if (data.size() > UINT32_MAX)
        throw std::length_error("registry value too large");
    const size_t units = m_nameLength + (data.size() + 1) / 2;
    std::unique_ptr<char16_t[]> block;
    if (units)
        block.reset(new char16_t[units]);
    if (m_block)
        std::copy(m_block.get(), m_block.get() + m_nameLength, block.get());
    if (!data.empty())
        std::memcpy(block.get() + m_nameLength, data.data(), data.size());
    m_block = std::move(block);
    m_dataSize = static_cast<std::uint32_t>(data.size());
    m_type = type;
}

HiveKey::~HiveKey()
{
    std::vector<std::unique_ptr<HiveKey>> pending = std::move(m_subkeys);
    while (!pending.empty()) {
        std::unique_ptr<HiveKey> key = std::move(pending.back());
        pending.pop_back();
        for (auto& sub : key->m_subkeys)
            pending.push_back(std::move(sub));
        key->m_subkeys.clear();
    }
}

Hive* HiveKey::hive() const
{
    for (const HiveKey* key = this; key; key = key->m_parent) {
        if (key->m_hiveBase)
            return key->m_hiveBase;
    }
    return nullptr;
}

namespace {

/// Where `name` is or would go in a list kept in Wine's order. Hive files list names in
/// order, so most lookups while loading hit the end.
template <typename List, typename NameOf>
size_t orderedIndex(const List& list, std::u16string_view name, NameOf nameOf, bool* found)
{
    *found = false;
    if (!list.empty()) {
        const int last = compareNamesNoCase(nameOf(list.back()), name);
        if (last < 0)
            return list.size();
        if (last == 0) {
            *found = true;
            return list.size() - 1;
        }
    }
    size_t lo = 0, hi = list.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const int c = compareNamesNoCase(nameOf(list[mid]), name);
        if (c == 0) {
            *found = true;
            return mid;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

} // namespace

size_t HiveKey::subkeyIndex(std::u16string_view name, bool* found) const
{
    return orderedIndex(
        m_subkeys, name, [](const auto& key) -> const std::u16string& { return key->m_name; },
        found);
}

size_t HiveKey::valueIndex(std::u16string_view name, bool* found) const
{
    return orderedIndex(
        m_values, name, [](const HiveValue& value) { return value.name(); }, found);
}

HiveKey* HiveKey::findSubkey(std::u16string_view name) const
{
    bool found = false;
    const size_t i = subkeyIndex(name, &found);
    return found ? m_subkeys[i].get() : nullptr;
}

HiveKey* HiveKey::addSubkey(std::u16string_view name, bool* created)
{
    bool found = false;
    const size_t i = subkeyIndex(name, &found);
    if (created)
        *created = !found;
    if (found)
        return m_subkeys[i].get();
    std::unique_ptr<HiveKey> key(new HiveKey(std::u16string(name), this));
    HiveKey* raw = key.get();
    m_subkeys.insert(m_subkeys.begin() + static_cast<std::ptrdiff_t>(i), std::move(key));
    return raw;
}

std::unique_ptr<HiveKey> HiveKey::takeSubkey(const HiveKey* subkey)
{
    bool found = false;
    const size_t i = subkeyIndex(subkey->m_name, &found);
    if (!found || m_subkeys[i].get() != subkey)
        return nullptr;
    std::unique_ptr<HiveKey> taken = std::move(m_subkeys[i]);
    m_subkeys.erase(m_subkeys.begin() + static_cast<std::ptrdiff_t>(i));
    return taken;
}

const HiveValue* HiveKey::findValue(std::u16string_view name) const
{
    bool found = false;
    const size_t i = valueIndex(name, &found);
    return found ? &m_values[i] : nullptr;
}

void HiveKey::setValue(std::u16string_view name, DWORD type, std::string_view data)
{
    bool found = false;
    const size_t i = valueIndex(name, &found);
    if (found) {
        // Windows keeps the name's case from the first time the value was set.
        m_values[i].setData(type, data);
        return;
    }
    m_values.insert(m_values.begin() + static_cast<std::ptrdiff_t>(i), HiveValue(name, type, data));
}

bool HiveKey::removeValue(std::u16string_view name)
{
    bool found = false;
    const size_t i = valueIndex(name, &found);
    if (!found)
        return false;
    m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

void HiveKey::markDeleted()
{
    std::vector<HiveKey*> pending = {this};
    while (!pending.empty()) {
        HiveKey* key = pending.back();
        pending.pop_back();
        key->m_deleted = true;
        for (auto& sub : key->m_subkeys)
            pending.push_back(sub.get());
    }
}

std::u16string HiveKey::path() const
{
    std::vector<const HiveKey*> chain;
    for (const HiveKey* key = this; key; key = key->m_parent)
        chain.push_back(key);
    std::u16string result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin() && !result.empty())
            result += u'\\';
        result += (*it)->m_name;
    }
    return result;
}

} // namespace tw::wine
