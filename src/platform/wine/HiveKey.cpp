#include "HiveKey.h"

#include "HiveArena.h"
#include "platform/TextCodec.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw::wine {

using namespace tw::win;

using tw::platform::compareNamesNoCase;

namespace {

// --- the lists of a key -----------------------------------------------------------------------
// A list on the heap has room for capacityFor(count) items at least; one in hive memory has
// room for exactly its items (compact()) and moves to the heap when it grows.

size_t capacityFor(size_t count)
{
    return count <= 4 ? 4 : std::bit_ceil(count);
}

/// The flag of a key that tells whether one of its lists is on the heap.
struct HeapFlag
{
    std::uint8_t& flags;
    std::uint8_t bit;

    bool isSet() const { return flags & bit; }
    void set(bool on) { flags = static_cast<std::uint8_t>(on ? flags | bit : flags & ~bit); }
};

template <typename T>
void insertItem(T*& items, std::uint32_t& count, HeapFlag heap, size_t index, T item)
{
    static_assert(std::is_trivially_copyable_v<T>);
    const size_t n = count;
    if (n == UINT32_MAX)
        throw std::length_error("too many registry entries in one key");
    if (!heap.isSet() || capacityFor(n) < n + 1) {
        void* grown = heap.isSet() ? std::realloc(items, capacityFor(n + 1) * sizeof(T))
                                   : std::malloc(capacityFor(n + 1) * sizeof(T));
        if (!grown)
            throw std::bad_alloc();
        if (!heap.isSet()) {
            if (n)
                std::memcpy(grown, items, n * sizeof(T));
            if (items)
                hiveRelease(items);
            heap.set(true);
        }
        items = static_cast<T*>(grown);
    }
    std::memmove(items + index + 1, items + index, (n - index) * sizeof(T));
    items[index] = item;
    count = static_cast<std::uint32_t>(n + 1);
}

template <typename T>
void freeItems(T*& items, HeapFlag heap, HiveReleaseBatch* batch = nullptr) noexcept
{
    if (heap.isSet())
        std::free(items);
    else if (items && batch)
        batch->release(items);
    else if (items)
        hiveRelease(items);
    items = nullptr;
    heap.set(false);
}

template <typename T> void eraseItem(T*& items, std::uint32_t& count, HeapFlag heap, size_t index)
{
    std::memmove(items + index, items + index + 1, (count - index - 1) * sizeof(T));
    if (--count == 0)
        freeItems(items, heap);
}

template <typename T> void compactItems(T*& items, std::uint32_t count, HeapFlag heap)
{
    if (!heap.isSet())
        return;
    T* exact = nullptr;
    if (count) {
        exact = static_cast<T*>(hiveAllocate(count * sizeof(T), alignof(T)));
        std::memcpy(exact, items, count * sizeof(T));
    }
    std::free(items);
    items = exact;
    heap.set(false);
}

/// Where `name` is or would go in a list kept in Wine's order. Hive files list names in
/// order, so most lookups while loading hit the end.
template <typename T, typename NameOf>
size_t orderedIndex(const T* list, size_t size, std::u16string_view name, NameOf nameOf,
                    bool* found)
{
    *found = false;
    if (size) {
        const int last = compareNamesNoCase(nameOf(list[size - 1]), name);
        if (last < 0)
            return size;
        if (last == 0) {
            *found = true;
            return size - 1;
        }
    }
    size_t lo = 0, hi = size;
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

// --- names ------------------------------------------------------------------------------------

namespace {

char16_t unitOf(char c)
{
    return static_cast<unsigned char>(c);
}

char16_t unitOf(char16_t c)
{
    return c;
}

bool isAsciiName(std::u16string_view name)
{
    char16_t any = 0;
    for (const char16_t c : name)
        any |= c;
    return any < 0x80;
}

/// Writes the name as kept for `ascii`; returns the bytes written.
size_t storeName(const HiveName& name, bool ascii, char* out)
{
    return name.visit([&](auto units) -> size_t {
        if (ascii) {
            for (size_t i = 0; i < units.size(); ++i)
                out[i] = static_cast<char>(units[i]);
            return units.size();
        }
        char16_t* wide = reinterpret_cast<char16_t*>(out);
        for (size_t i = 0; i < units.size(); ++i)
            wide[i] = unitOf(units[i]);
        return units.size() * sizeof(char16_t);
    });
}

bool canStoreAscii(const HiveName& name)
{
    return name.isAscii() || isAsciiName(name.utf16());
}

} // namespace

std::u16string HiveName::toUtf16() const
{
    std::u16string out;
    appendTo(out);
    return out;
}

std::string HiveName::toUtf8() const
{
    return m_ascii ? std::string(ascii()) : platform::utf16ToUtf8(utf16());
}

void HiveName::toUtf8(std::string& out) const
{
    if (m_ascii)
        out.assign(ascii());
    else
        out = platform::utf16ToUtf8(utf16());
}

void HiveName::appendTo(std::u16string& out) const
{
    if (!m_ascii) {
        out += utf16();
        return;
    }
    const size_t old = out.size();
    out.resize(old + m_size);
    for (size_t i = 0; i < m_size; ++i)
        out[old + i] = unitOf(ascii()[i]);
}

bool operator==(const HiveName& a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    return a.visit([&](auto units) {
        for (size_t i = 0; i < units.size(); ++i) {
            if (unitOf(units[i]) != b[i])
                return false;
        }
        return true;
    });
}

bool operator==(const HiveName& a, const HiveName& b)
{
    return b.visit([&](auto units) {
        if (a.size() != units.size())
            return false;
        for (size_t i = 0; i < units.size(); ++i) {
            if (a.visit([i](auto other) { return unitOf(other[i]); }) != unitOf(units[i]))
                return false;
        }
        return true;
    });
}

int compareNamesNoCase(const HiveName& a, std::u16string_view b)
{
    const char16_t* lower = platform::foldCaseTable();
    return a.visit([&](auto units) {
        const size_t n = units.size() < b.size() ? units.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            if (unitOf(units[i]) == b[i])
                continue;
            const int d = int(lower[unitOf(units[i])]) - int(lower[b[i]]);
            if (d)
                return d;
        }
        return int(units.size()) - int(b.size());
    });
}

// --- values -----------------------------------------------------------------------------------

std::string HiveValue::data() const
{
    const std::string_view stored = storedData();
    if (!isAsciiText())
        return std::string(stored);
    std::string raw(2 * stored.size(), '\0');
    for (size_t i = 0; i < stored.size(); ++i)
        raw[2 * i] = stored[i];
    return raw;
}

// A registry holds millions of keys.
static_assert(sizeof(void*) != 8 || sizeof(HiveKey) == 48);

HiveKey* HiveKey::make(std::u16string_view name, HiveKey* parent)
{
    if (name.size() > UINT32_MAX)
        throw std::length_error("registry key name too long");
    const bool ascii = isAsciiName(name);
    void* piece = hiveAllocate(sizeof(HiveKey) + name.size() * (ascii ? 1 : sizeof(char16_t)),
                               alignof(HiveKey));
    HiveKey* key = ::new (piece) HiveKey(static_cast<std::uint32_t>(name.size()), ascii, parent);
    storeName(HiveName(name), ascii, reinterpret_cast<char*>(key + 1));
    return key;
}

std::unique_ptr<HiveKey> HiveKey::create(std::u16string_view name)
{
    return std::unique_ptr<HiveKey>(make(name, nullptr));
}

void HiveKey::operator delete(void* key) noexcept
{
    hiveRelease(key);
}

namespace {

/// The extra parts of keys, by key.
template <typename Extra> struct ExtraTable
{
    std::mutex mutex;
    std::unordered_map<const HiveKey*, Extra> parts;

    static ExtraTable& instance()
    {
        // Never destroyed: keys of a static registry may be freed after it would be.
        static auto* table = new ExtraTable;
        return *table;
    }
};

} // namespace

HiveKey::~HiveKey()
{
    if (m_flags & HasExtra) {
        auto& table = ExtraTable<Extra>::instance();
        const std::lock_guard<std::mutex> lock(table.mutex);
        table.parts.erase(this);
    }
    HiveReleaseBatch batch;
    std::vector<HiveKey*> pending;
    releaseLists(batch, pending);
    while (!pending.empty()) {
        HiveKey* key = pending.back();
        pending.pop_back();
        key->releaseLists(batch, pending);
        key->~HiveKey();
        batch.release(key);
    }
}

void HiveKey::releaseLists(HiveReleaseBatch& batch, std::vector<HiveKey*>& subkeys) noexcept
{
    for (uint32_t i = 0; i < m_valueCount; ++i)
        batch.release(const_cast<HiveValue::Block*>(m_values[i].m_block));
    m_valueCount = 0;
    freeItems(m_values, HeapFlag{m_flags, ValuesOnHeap}, &batch);
    subkeys.insert(subkeys.end(), m_subkeys, m_subkeys + m_subkeyCount);
    m_subkeyCount = 0;
    freeItems(m_subkeys, HeapFlag{m_flags, SubkeysOnHeap}, &batch);
}

HiveKey::Extra& HiveKey::extra()
{
    auto& table = ExtraTable<Extra>::instance();
    const std::lock_guard<std::mutex> lock(table.mutex);
    m_flags |= HasExtra;
    return table.parts[this];
}

const HiveKey::Extra* HiveKey::extra() const
{
    auto& table = ExtraTable<Extra>::instance();
    const std::lock_guard<std::mutex> lock(table.mutex);
    return &table.parts.at(this);
}

void HiveKey::setHiveBase(Hive* hive)
{
    extra().hiveBase = hive;
}

void HiveKey::setClassName(std::u16string_view name)
{
    Extra& e = extra();
    e.className.assign(name);
    e.hasClass = true;
}

Hive* HiveKey::hive() const
{
    for (const HiveKey* key = this; key; key = key->m_parent) {
        if (Hive* base = key->hiveBase())
            return base;
    }
    return nullptr;
}

size_t HiveKey::subkeyIndex(std::u16string_view name, bool* found) const
{
    return orderedIndex(
        m_subkeys, m_subkeyCount, name, [](const HiveKey* key) { return key->name(); }, found);
}

size_t HiveKey::valueIndex(std::u16string_view name, bool* found) const
{
    return orderedIndex(
        m_values, m_valueCount, name, [](const HiveValue& value) { return value.name(); }, found);
}

HiveKey* HiveKey::findSubkey(std::u16string_view name) const
{
    bool found = false;
    const size_t i = subkeyIndex(name, &found);
    return found ? m_subkeys[i] : nullptr;
}

HiveKey* HiveKey::addSubkey(std::u16string_view name, bool* created)
{
    bool found = false;
    const size_t i = subkeyIndex(name, &found);
    if (created)
        *created = !found;
    if (found)
        return m_subkeys[i];
    std::unique_ptr<HiveKey> key(make(name, this));
    insertItem(m_subkeys, m_subkeyCount, HeapFlag{m_flags, SubkeysOnHeap}, i, key.get());
    return key.release();
}

std::unique_ptr<HiveKey> HiveKey::takeSubkey(const HiveKey* subkey)
{
    bool found = false;
    const size_t i = subkeyIndex(subkey->name().toUtf16(), &found);
    if (!found || m_subkeys[i] != subkey)
        return nullptr;
    std::unique_ptr<HiveKey> taken(m_subkeys[i]);
    eraseItem(m_subkeys, m_subkeyCount, HeapFlag{m_flags, SubkeysOnHeap}, i);
    return taken;
}

namespace {

bool isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

/// Whether data is UTF-16LE units below 0x80 only.
bool isAsciiUtf16(std::string_view data)
{
    if (data.size() % 2)
        return false;
    const char* p = data.data();
    const char* const end = p + data.size();
#if defined(__SSE2__)
    __m128i any = _mm_setzero_si128();
    for (; end - p >= 16; p += 16)
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    const __m128i beyond = _mm_and_si128(any, _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(beyond, _mm_setzero_si128())) != 0xFFFF)
        return false;
#endif
    unsigned char any8 = 0;
    for (; p != end; p += 2)
        any8 |= static_cast<unsigned char>(p[0] & 0x80) | static_cast<unsigned char>(p[1]);
    return any8 == 0;
}

/// The low bytes of `units` UTF-16LE units.
void narrowUtf16(const char* from, size_t units, char* to)
{
#if defined(__SSE2__)
    for (; units >= 8; units -= 8, from += 16, to += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(v, v));
    }
#endif
    for (size_t i = 0; i < units; ++i)
        to[i] = from[2 * i];
}

/// A value's block with its name and data, in hive memory.
template <typename Block>
Block* makeValueBlock(const HiveName& name, DWORD type, std::string_view data)
{
    if (name.size() > INT32_MAX || data.size() > INT32_MAX)
        throw std::length_error("registry value too large");
    const bool asciiName = canStoreAscii(name);
    const bool ascii = isStringType(type) && isAsciiUtf16(data);
    const size_t stored = ascii ? data.size() / 2 : data.size();
    const size_t nameBytes = name.size() * (asciiName ? 1 : sizeof(char16_t));
    auto* block =
        static_cast<Block*>(hiveAllocate(sizeof(Block) + nameBytes + stored, alignof(Block)));
    block->nameLength = static_cast<std::uint32_t>(name.size()) & 0x7FFFFFFFu;
    block->nameAscii = asciiName;
    block->storedSize = static_cast<std::uint32_t>(stored) & 0x7FFFFFFFu;
    block->ascii = ascii;
    block->type = type;
    char* out = reinterpret_cast<char*>(block + 1);
    out += storeName(name, asciiName, out);
    if (ascii)
        narrowUtf16(data.data(), stored, out);
    else if (!data.empty())
        std::memcpy(out, data.data(), data.size());
    return block;
}

} // namespace

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
        const HiveValue::Block* old = m_values[i].m_block;
        m_values[i].m_block = makeValueBlock<HiveValue::Block>(m_values[i].name(), type, data);
        hiveRelease(const_cast<HiveValue::Block*>(old));
        return;
    }
    HiveValue value(makeValueBlock<HiveValue::Block>(HiveName(name), type, data));
    try {
        insertItem(m_values, m_valueCount, HeapFlag{m_flags, ValuesOnHeap}, i, value);
    } catch (...) {
        hiveRelease(const_cast<HiveValue::Block*>(value.m_block));
        throw;
    }
}

bool HiveKey::removeValue(std::u16string_view name)
{
    bool found = false;
    const size_t i = valueIndex(name, &found);
    if (!found)
        return false;
    hiveRelease(const_cast<HiveValue::Block*>(m_values[i].m_block));
    eraseItem(m_values, m_valueCount, HeapFlag{m_flags, ValuesOnHeap}, i);
    return true;
}

void HiveKey::compact()
{
    compactItems(m_subkeys, m_subkeyCount, HeapFlag{m_flags, SubkeysOnHeap});
    compactItems(m_values, m_valueCount, HeapFlag{m_flags, ValuesOnHeap});
}

void HiveKey::markDeleted()
{
    std::vector<HiveKey*> pending = {this};
    while (!pending.empty()) {
        HiveKey* key = pending.back();
        pending.pop_back();
        key->m_flags |= Deleted;
        pending.insert(pending.end(), key->m_subkeys, key->m_subkeys + key->m_subkeyCount);
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
        (*it)->name().appendTo(result);
    }
    return result;
}

} // namespace tw::wine
