// The in-memory registry tree: keys and values as Wine's server keeps them.
#pragma once

#include "WinePlatformOnly.h"

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw::wine {

class HiveReleaseBatch;

/// The name of a key or value as it is kept: UTF-16 units, or one byte each when all of them
/// are below 0x80 (most names). A view, valid as long as what it names.
class HiveName
{
public:
    explicit HiveName(std::u16string_view units)
        : m_units(units.data()), m_size(units.size()), m_ascii(false)
    {
    }
    /// ASCII characters, one unit each.
    explicit HiveName(std::string_view ascii)
        : m_units(ascii.data()), m_size(ascii.size()), m_ascii(true)
    {
    }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    bool isAscii() const { return m_ascii; }
    /// For isAscii(): the characters.
    std::string_view ascii() const { return {static_cast<const char*>(m_units), m_size}; }
    /// For !isAscii(): the units.
    std::u16string_view utf16() const { return {static_cast<const char16_t*>(m_units), m_size}; }
    /// Calls `f` with the name as kept: ascii() or utf16().
    template <typename F> decltype(auto) visit(F&& f) const
    {
        return m_ascii ? f(ascii()) : f(utf16());
    }

    std::u16string toUtf16() const;
    std::string toUtf8() const;
    /// toUtf8() into `out`, reusing its storage.
    void toUtf8(std::string& out) const;
    void appendTo(std::u16string& out) const;

    friend bool operator==(const HiveName& a, std::u16string_view b);
    friend bool operator==(const HiveName& a, const HiveName& b);

private:
    const void* m_units;
    std::size_t m_size;
    bool m_ascii;
};

/// Case-insensitive order of names, as platform::compareNamesNoCase.
int compareNamesNoCase(const HiveName& a, std::u16string_view b);

/// One value of a key: a view of its name, type and data, valid until the value is changed
/// or removed. Name and data share one block: a registry holds millions of values. String data
/// of ASCII characters only (most of it) is kept as one byte per character, as are names.
class HiveValue
{
public:
    HiveName name() const
    {
        const char* units = reinterpret_cast<const char*>(m_block + 1);
        return m_block->nameAscii
                   ? HiveName(std::string_view(units, m_block->nameLength))
                   : HiveName(std::u16string_view(reinterpret_cast<const char16_t*>(units),
                                                  m_block->nameLength));
    }
    win::DWORD type() const { return m_block->type; }
    /// Raw data as Windows stores it (UTF-16LE for string types).
    std::string data() const;
    /// The size of the raw data.
    std::size_t dataSize() const
    {
        return m_block->ascii ? 2 * std::size_t(m_block->storedSize) : m_block->storedSize;
    }
    /// True for string data kept as one byte per character: all its UTF-16 units (the NULs
    /// too) are below 0x80.
    bool isAsciiText() const { return m_block->ascii; }
    /// The data as kept: the characters for isAsciiText(), else the raw data.
    std::string_view storedData() const
    {
        const std::size_t nameBytes =
            (m_block->nameAscii ? 1 : 2) * std::size_t(m_block->nameLength);
        return {reinterpret_cast<const char*>(m_block + 1) + nameBytes, m_block->storedSize};
    }

private:
    friend class HiveKey;
    /// Followed by the name as kept, then the data as kept.
    struct Block
    {
        std::uint32_t nameLength : 31;
        std::uint32_t nameAscii : 1;
        std::uint32_t storedSize : 31;
        std::uint32_t ascii : 1;
        win::DWORD type;
    };
    explicit HiveValue(const Block* block) : m_block(block) {}

    const Block* m_block;
};

class Hive;

/// One registry key. Subkeys and values are kept in Wine's order (case-insensitive,
/// then by length), so enumeration by index and hive files come out as Wine's.
///
/// A key and its name (kept as HiveName tells) are one piece of hive memory (HiveArena.h), as
/// are values; a key's lists grow on the heap and are moved to pieces of their exact size by
/// compact().
class HiveKey final
{
public:
    /// A key of its own, the root of a tree.
    static std::unique_ptr<HiveKey> create(std::u16string_view name);
    /// Frees the subtree level by level, so that its depth does not matter.
    ~HiveKey();
    HiveKey(const HiveKey&) = delete;
    HiveKey& operator=(const HiveKey&) = delete;
    static void operator delete(void* key) noexcept;

    HiveName name() const
    {
        const char* units = reinterpret_cast<const char*>(this + 1);
        return m_flags & AsciiName ? HiveName(std::string_view(units, m_nameLength))
                                   : HiveName(std::u16string_view(
                                         reinterpret_cast<const char16_t*>(units), m_nameLength));
    }
    HiveKey* parent() const { return m_parent; }

    /// The hive this key is saved in: the nearest key, itself included, that is a hive's base.
    Hive* hive() const;
    void setHiveBase(Hive* hive);
    Hive* hiveBase() const { return m_flags & HasExtra ? extra()->hiveBase : nullptr; }

    std::span<HiveKey* const> subkeys() const { return {m_subkeys, m_subkeyCount}; }
    std::span<const HiveValue> values() const { return {m_values, m_valueCount}; }

    HiveKey* findSubkey(std::u16string_view name) const;
    /// Returns the existing subkey of that name or a new one; `created` tells which.
    HiveKey* addSubkey(std::u16string_view name, bool* created = nullptr);
    /// Detaches the subkey and returns it (its parent pointer stays for open handles).
    std::unique_ptr<HiveKey> takeSubkey(const HiveKey* subkey);

    const HiveValue* findValue(std::u16string_view name) const;
    void setValue(std::u16string_view name, win::DWORD type, std::string_view data);
    bool removeValue(std::u16string_view name);

    /// Moves the lists of subkeys and values into storage of their exact size, for a key
    /// that is not expected to change (after loading). A later change is no less possible.
    void compact();

    win::FILETIME modified() const { return m_modified; }
    void setModified(win::FILETIME time) { m_modified = time; }

    const std::u16string* className() const
    {
        if (!(m_flags & HasExtra))
            return nullptr;
        const Extra* e = extra();
        return e->hasClass ? &e->className : nullptr;
    }
    void setClassName(std::u16string_view name);

    bool isLink() const { return m_flags & Link; }
    void setLink(bool link) { m_flags = link ? m_flags | Link : m_flags & ~Link; }
    bool isDeleted() const { return m_flags & Deleted; }
    void markDeleted();

    /// Full path from the tree's root, components joined by backslashes.
    std::u16string path() const;

private:
    /// What few keys have, kept aside (HasExtra).
    struct Extra
    {
        Hive* hiveBase = nullptr;
        bool hasClass = false;
        std::u16string className;
    };
    enum Flag : std::uint8_t
    {
        Link = 1,
        Deleted = 2,
        HasExtra = 4,
        // Where each list lives: on the heap, growing, or else in hive memory at its exact
        // size.
        SubkeysOnHeap = 8,
        ValuesOnHeap = 16,
        AsciiName = 32,
    };

    HiveKey(std::uint32_t nameLength, bool asciiName, HiveKey* parent)
        : m_parent(parent), m_nameLength(nameLength),
          m_flags(static_cast<std::uint8_t>(asciiName ? AsciiName : 0))
    {
    }
    /// A new key with its name in one piece of hive memory.
    static HiveKey* make(std::u16string_view name, HiveKey* parent);
    /// The key's extra part; made when missing.
    Extra& extra();
    const Extra* extra() const;
    /// Releases the values and lists; the subkeys go to `subkeys`, to be freed by the caller.
    void releaseLists(HiveReleaseBatch& batch, std::vector<HiveKey*>& subkeys) noexcept;

    size_t subkeyIndex(std::u16string_view name, bool* found) const;
    size_t valueIndex(std::u16string_view name, bool* found) const;

    HiveKey* m_parent;
    HiveKey** m_subkeys = nullptr;
    HiveValue* m_values = nullptr;
    win::FILETIME m_modified = 0;
    std::uint32_t m_nameLength;
    std::uint32_t m_subkeyCount = 0;
    std::uint32_t m_valueCount = 0;
    std::uint8_t m_flags = 0;
    // The name follows as kept.
};

} // namespace tw::wine
