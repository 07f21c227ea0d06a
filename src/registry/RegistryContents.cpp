#include "RegistryContents.h"

namespace tw {

int TRegistryContents::Add()
{
    const int index = Count();
    m_items.emplace_back(*this, index);
    return index;
}

TRegistryContentItem& TRegistryContents::Items(int index)
{
    return const_cast<TRegistryContentItem&>(std::as_const(*this).Items(index));
}

const TRegistryContentItem& TRegistryContents::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return m_items[static_cast<size_t>(index)];
}

void TRegistryContents::RemoveAt(int index)
{
    Items(index);
    m_items.erase(m_items.begin() + index);
    for (size_t i = static_cast<size_t>(index); i < m_items.size(); ++i)
        m_items[i].m_index = static_cast<int>(i);
}

void TRegistryContents::TakeAll(TRegistryContents& other)
{
    if (m_items.empty()) {
        // The other's records become these where they lie, none copied or freed.
        m_items.swap(other.m_items);
        for (TRegistryContentItem& item : m_items)
            item.m_collection = this;
        return;
    }
    for (TRegistryContentItem& item : other.m_items)
        Items(Add()).Content = std::move(item.Content);
    other.Clear();
}

int AddContentItem(TRegistryContents& collection)
{
    return collection.Add();
}

} // namespace tw
