#include "HiveKey.h"

#include "platform/TextCodec.h"

namespace tw::wine {

using tw::platform::compareNamesNoCase;

Hive* HiveKey::hive() const
{
    for (const HiveKey* key = this; key; key = key->m_parent) {
        if (key->m_hiveBase)
            return key->m_hiveBase;
    }
    return nullptr;
}

size_t HiveKey::subkeyIndex(std::u16string_view name, bool* found) const
{
    // Hive files list keys in order, so most lookups while loading hit the end.
    if (!m_subkeys.empty()) {
        const int last = compareNamesNoCase(m_subkeys.back()->m_name, name);
        if (last < 0) {
            *found = false;
            return m_subkeys.size();
        }
        if (last == 0) {
            *found = true;
            return m_subkeys.size() - 1;
        }
    }
    size_t lo = 0, hi = m_subkeys.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const int c = compareNamesNoCase(m_subkeys[mid]->m_name, name);
        if (c == 0) {
            *found = true;
            return mid;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    *found = false;
    return lo;
}

size_t HiveKey::valueIndex(std::u16string_view name, bool* found) const
{
    if (!m_values.empty()) {
        const int last = compareNamesNoCase(m_values.back().name, name);
        if (last < 0) {
            *found = false;
            return m_values.size();
        }
    }
    size_t lo = 0, hi = m_values.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const int c = compareNamesNoCase(m_values[mid].name, name);
        if (c == 0) {
            *found = true;
            return mid;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    *found = false;
    return lo;
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
    auto key = std::make_unique<HiveKey>(std::u16string(name), this);
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

void HiveKey::setValue(std::u16string_view name, DWORD type, std::string data)
{
    bool found = false;
    const size_t i = valueIndex(name, &found);
    if (found) {
        // Windows keeps the name's case from the first time the value was set.
        m_values[i].type = type;
        m_values[i].data = std::move(data);
        return;
    }
    m_values.insert(m_values.begin() + static_cast<std::ptrdiff_t>(i),
                    HiveValue{std::u16string(name), type, std::move(data)});
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
    m_deleted = true;
    for (auto& sub : m_subkeys)
        sub->markDeleted();
}

std::u16string HiveKey::path() const
{
    if (!m_parent)
        return m_name;
    std::u16string parentPath = m_parent->path();
    if (!parentPath.empty())
        parentPath += u'\\';
    return parentPath + m_name;
}

} // namespace tw::wine
