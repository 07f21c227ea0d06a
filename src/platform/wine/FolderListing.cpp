#include "FolderListing.h"

#include "platform/TextCodec.h"

namespace tw::wine {

void FolderListing::add(std::string_view name, unsigned char type)
{
    list.push_back({static_cast<std::uint32_t>(names.size()),
                    static_cast<std::uint32_t>(name.size()),
                    static_cast<std::uint32_t>(platform::hashNoCase(name)), type});
    names.append(name);
}

void FolderListing::index()
{
    size_t size = 8;
    while (size < 2 * list.size())
        size *= 2;
    m_slots.assign(size, 0);
    m_caseTwins.clear();
    const size_t mask = size - 1;
    for (size_t i = 0; i < list.size(); ++i) {
        const Entry& entry = list[i];
        size_t slot = entry.hash & mask;
        for (;; slot = (slot + 1) & mask) {
            const std::uint32_t held = m_slots[slot];
            if (held == 0) {
                m_slots[slot] = static_cast<std::uint32_t>(i + 1);
                break;
            }
            const Entry& other = list[held - 1];
            if (other.hash == entry.hash && platform::equalNoCase(nameOf(other), nameOf(entry))) {
                m_caseTwins.push_back(static_cast<std::uint32_t>(i));
                break;
            }
        }
    }
}

const FolderListing::Entry* FolderListing::findNoCase(std::string_view name) const
{
    if (m_slots.empty())
        return nullptr;
    const auto hash = static_cast<std::uint32_t>(platform::hashNoCase(name));
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t held = m_slots[slot];
        if (held == 0)
            return nullptr;
        const Entry& entry = list[held - 1];
        if (entry.hash == hash && platform::equalNoCase(nameOf(entry), name))
            return &entry;
    }
}

const FolderListing::Entry* FolderListing::exactEntry(std::string_view name) const
{
    const Entry* first = findNoCase(name);
    if (!first || nameOf(*first) == name)
        return first;
    for (const std::uint32_t twin : m_caseTwins) {
        if (nameOf(list[twin]) == name)
            return &list[twin];
    }
    return nullptr;
}

} // namespace tw::wine
