// Problem records: one TRegistryContentItem per problem, a TRegistryContents per section.
#pragma once

#include <array>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tw {

/// One problem that a scan section found.
struct TContent
{
    bool Checked = false;
    std::string KeyPath;
    std::string ItemName;
    std::string ValueName;
    std::string ValueData;
};

/// The toolkit's list error ("List index out of bounds (%d)").
class EListError : public std::out_of_range
{
public:
    using std::out_of_range::out_of_range;
};

class TRegistryContents;

class TRegistryContentItem
{
public:
    TRegistryContentItem(TRegistryContents& collection, int index)
        : m_collection(&collection), m_index(index)
    {
    }
    TRegistryContents& Collection() const { return *m_collection; }
    int Index() const { return m_index; }

    TContent Content;

private:
    friend class TRegistryContents;
    TRegistryContents* m_collection;
    int m_index;
};

/// An ordered collection that owns its records. Records are appended; the collection shrinks
/// by Clear, and by RemoveAt when the user ignores a finding.
class TRegistryContents
{
public:
    TRegistryContents() = default;
    TRegistryContents(const TRegistryContents&) = delete;
    TRegistryContents& operator=(const TRegistryContents&) = delete;

    /// Appends a new, empty record; returns its index.
    int Add();
    /// The record at `index`; throws EListError outside 0 .. Count() - 1.
    TRegistryContentItem& Items(int index);
    const TRegistryContentItem& Items(int index) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    void Clear() { m_items.clear(); }
    /// Removes the record at `index`; the records after it move up one. Throws EListError
    /// outside 0 .. Count() - 1.
    void RemoveAt(int index);
    /// Appends the records of `other` in their order and empties it.
    void TakeAll(TRegistryContents& other);

private:
    /// A deque: records stay where they are as more are added, without one allocation each.
    std::deque<TRegistryContentItem> m_items;
};

/// Appends a new, empty record to `collection` and returns its index.
int AddContentItem(TRegistryContents& collection);

inline constexpr int kSectionCount = 15;

} // namespace tw
