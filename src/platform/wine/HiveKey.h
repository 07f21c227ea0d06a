// The in-memory registry tree: keys and values as Wine's server keeps them.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw::wine {

/// One value. Its name and data share one allocation: a registry holds millions of values.
class HiveValue
{
public:
    HiveValue(std::u16string_view name, win::DWORD type, std::string_view data);
    HiveValue(const HiveValue& other) : HiveValue(other.name(), other.type(), other.data()) {}
    HiveValue(HiveValue&&) noexcept = default;
    HiveValue& operator=(const HiveValue& other);
    HiveValue& operator=(HiveValue&&) noexcept = default;

    std::u16string_view name() const { return {m_block.get(), m_nameLength}; }
    win::DWORD type() const { return m_type; }
    /// Raw data as Windows stores it (UTF-16LE for string types).
    std::string_view data() const
    {
        return {reinterpret_cast<const char*>(m_block.get() + m_nameLength), m_dataSize};
    }
    /// Another type and data under the same name.
    void setData(win::DWORD type, std::string_view data);

private:
    /// The name's units, then the data's bytes.
    std::unique_ptr<char16_t[]> m_block;
    std::uint32_t m_nameLength = 0;
    std::uint32_t m_dataSize = 0;
    win::DWORD m_type = 0;
};

class Hive;

/// One registry key. Subkeys and values are kept in Wine's order (case-insensitive,
/// then by length), so enumeration by index and hive files come out as Wine's.
class HiveKey final
{
public:
    explicit HiveKey(std::u16string name, HiveKey* parent = nullptr)
        : m_name(std::move(name)), m_parent(parent)
    {
    }
    /// Frees the subtree level by level, so that its depth does not matter.
    ~HiveKey();
    HiveKey(const HiveKey&) = delete;
    HiveKey& operator=(const HiveKey&) = delete;

    /// Keys come from large blocks, not one allocation each: a registry holds millions.
    static void* operator new(std::size_t size);
    static void operator delete(void* key, std::size_t size) noexcept;

    const std::u16string& name() const { return m_name; }
    HiveKey* parent() const { return m_parent; }

    /// The hive this key is saved in: the nearest key, itself included, that is a hive's base.
    Hive* hive() const;
    void setHiveBase(Hive* hive) { m_hiveBase = hive; }
    Hive* hiveBase() const { return m_hiveBase; }

    const std::vector<std::unique_ptr<HiveKey>>& subkeys() const { return m_subkeys; }
    const std::vector<HiveValue>& values() const { return m_values; }

    HiveKey* findSubkey(std::u16string_view name) const;
    /// Returns the existing subkey of that name or a new one; `created` tells which.
    HiveKey* addSubkey(std::u16string_view name, bool* created = nullptr);
    /// Detaches the subkey and returns it (its parent pointer stays for open handles).
    std::unique_ptr<HiveKey> takeSubkey(const HiveKey* subkey);

    const HiveValue* findValue(std::u16string_view name) const;
    void setValue(std::u16string_view name, win::DWORD type, std::string_view data);
    bool removeValue(std::u16string_view name);

    win::FILETIME modified() const { return m_modified; }
    void setModified(win::FILETIME time) { m_modified = time; }

    const std::u16string* className() const { return m_class.get(); }
    void setClassName(std::u16string name)
    {
        m_class = std::make_unique<std::u16string>(std::move(name));
    }

    bool isLink() const { return m_isLink; }
    void setLink(bool link) { m_isLink = link; }
    bool isDeleted() const { return m_deleted; }
    void markDeleted();

    /// Full path from the tree's root, components joined by backslashes.
    std::u16string path() const;

private:
    size_t subkeyIndex(std::u16string_view name, bool* found) const;
    size_t valueIndex(std::u16string_view name, bool* found) const;

    std::u16string m_name;
    HiveKey* m_parent;
    Hive* m_hiveBase = nullptr;
    std::vector<std::unique_ptr<HiveKey>> m_subkeys;
    std::vector<HiveValue> m_values;
    std::unique_ptr<std::u16string> m_class;
    win::FILETIME m_modified = 0;
    bool m_isLink = false;
    bool m_deleted = false;
};

} // namespace tw::wine
