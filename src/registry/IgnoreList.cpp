#include "IgnoreList.h"

#include "Session.h"
#include "platform/Registry.h"
#include "platform/RootKeys.h"
#include "platform/Storage.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

namespace tw {

namespace {

constexpr std::string_view kKeyTag = "key:";
constexpr std::string_view kValueTag = "value:";
constexpr std::string_view kFileTag = "file:";
/// Key paths have no empty component, so two backslashes end the key of a value entry.
constexpr std::string_view kValueSeparator = "\\\\";

bool startsWith(std::string_view text, std::string_view head)
{
    return text.substr(0, head.size()) == head;
}

/// The key with its root's long name, or none for an unknown root, an empty path or an
/// empty component.
std::optional<std::string> canonicalKey(std::string_view key)
{
    const std::optional<platform::KeyPath> parsed = platform::parseKeyPath(key);
    if (!parsed || parsed->subKey.empty() ||
        parsed->subKey.find(kValueSeparator) != std::string::npos || parsed->subKey[0] == '\\')
        return std::nullopt;
    return parsed->rootName + "\\" + parsed->subKey;
}

bool isDrivePattern(std::string_view pattern)
{
    return pattern.size() >= 3 && std::isalpha(static_cast<unsigned char>(pattern[0])) &&
           pattern[1] == ':' && pattern[2] == '\\';
}

/// `key` is `base` or lies below it.
bool isAtOrBelow(std::string_view key, std::string_view base)
{
    if (key.size() < base.size() || !platform::equalNoCase(key.substr(0, base.size()), base))
        return false;
    return key.size() == base.size() || key[base.size()] == '\\';
}

/// The stored value names of the list in number order, with their numbers.
std::vector<std::pair<long long, std::string>> numberedValues(platform::Registry& registry,
                                                              win::HKEY key)
{
    std::vector<std::pair<long long, std::string>> names;
    std::string name;
    for (win::DWORD i = 0;
         registry.enumValue(key, i, &name, nullptr, nullptr) == win::ERROR_SUCCESS; ++i) {
        long long number = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
        if (error == std::errc() && end == name.data() + name.size() && number > 0)
            names.emplace_back(number, name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::string_view IgnoreEntry::kindName() const
{
    switch (kind) {
    case Kind::Key:
        return "key";
    case Kind::Value:
        return "value";
    case Kind::File:
        break;
    }
    return "file";
}

std::string IgnoreEntry::text() const
{
    switch (kind) {
    case Kind::Key:
        return key;
    case Kind::Value:
        return key + " \"" + value + "\"";
    case Kind::File:
        break;
    }
    return pattern;
}

IgnoreEntry IgnoreKeyEntry(std::string_view key)
{
    const std::optional<std::string> canonical = canonicalKey(key);
    if (!canonical)
        throw std::invalid_argument("\"" + std::string(key) +
                                    "\" is no registry key: it starts with a root such as "
                                    "HKEY_LOCAL_MACHINE or HKLM and names a key below it");
    IgnoreEntry entry;
    entry.kind = IgnoreEntry::Kind::Key;
    entry.key = *canonical;
    return entry;
}

IgnoreEntry IgnoreValueEntry(std::string_view key, std::string_view value)
{
    IgnoreEntry entry = IgnoreKeyEntry(key);
    entry.kind = IgnoreEntry::Kind::Value;
    entry.value = std::string(value);
    return entry;
}

IgnoreEntry IgnoreFileEntry(std::string_view pattern)
{
    if (!isDrivePattern(pattern))
        throw std::invalid_argument("\"" + std::string(pattern) +
                                    "\" is no Windows path pattern: it starts with a drive "
                                    "such as C:\\");
    IgnoreEntry entry;
    entry.kind = IgnoreEntry::Kind::File;
    entry.pattern = std::string(pattern);
    return entry;
}

std::string StoredIgnoreText(const IgnoreEntry& entry)
{
    switch (entry.kind) {
    case IgnoreEntry::Kind::Key:
        return std::string(kKeyTag) + entry.key;
    case IgnoreEntry::Kind::Value:
        return std::string(kValueTag) + entry.key + std::string(kValueSeparator) + entry.value;
    case IgnoreEntry::Kind::File:
        break;
    }
    return std::string(kFileTag) + entry.pattern;
}

std::optional<IgnoreEntry> ParseIgnoreText(std::string_view text)
{
    try {
        if (startsWith(text, kKeyTag))
            return IgnoreKeyEntry(text.substr(kKeyTag.size()));
        if (startsWith(text, kValueTag)) {
            const std::string_view rest = text.substr(kValueTag.size());
            const size_t separator = rest.find(kValueSeparator);
            if (separator == std::string_view::npos)
                return std::nullopt;
            return IgnoreValueEntry(rest.substr(0, separator),
                                    rest.substr(separator + kValueSeparator.size()));
        }
        if (startsWith(text, kFileTag))
            return IgnoreFileEntry(text.substr(kFileTag.size()));
    } catch (const std::invalid_argument&) {
    }
    return std::nullopt;
}

bool MatchIgnorePattern(std::string_view pattern, std::string_view path)
{
    return platform::matchesWildcard(platform::foldedName(path), platform::foldedName(pattern));
}

bool IgnoreCovers(const IgnoreEntry& entry, const IgnoreSubject& subject)
{
    switch (entry.kind) {
    case IgnoreEntry::Kind::Key:
        return !subject.key.empty() && isAtOrBelow(subject.key, entry.key);
    case IgnoreEntry::Kind::Value:
        return subject.value && platform::equalNoCase(subject.key, entry.key) &&
               platform::equalNoCase(*subject.value, entry.value);
    case IgnoreEntry::Kind::File:
        break;
    }
    return !subject.file.empty() && MatchIgnorePattern(entry.pattern, subject.file);
}

bool IgnoreList::covers(const IgnoreSubject& subject) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const IgnoreEntry& entry) { return IgnoreCovers(entry, subject); });
}

IgnoreList LoadIgnoreList(const Session& session)
{
    IgnoreList list;
    platform::Registry& registry = session.registry();
    platform::KeyHandle key(registry);
    if (registry.openKey(win::HKEY_CURRENT_USER, kIgnoreKey, win::KEY_READ, key.out()) !=
        win::ERROR_SUCCESS)
        return list;
    for (const auto& [number, name] : numberedValues(registry, key.get())) {
        win::DWORD type = 0;
        std::string data;
        if (registry.queryValue(key.get(), name, &type, &data) != win::ERROR_SUCCESS ||
            type != win::REG_SZ)
            continue;
        const size_t nul = data.find('\0');
        if (nul != std::string::npos)
            data.resize(nul);
        if (std::optional<IgnoreEntry> entry = ParseIgnoreText(data)) {
            list.m_entries.push_back(std::move(*entry));
            list.m_names.push_back(name);
        }
    }
    return list;
}

bool AddIgnoreEntry(Session& session, const IgnoreEntry& entry)
{
    const std::string text = StoredIgnoreText(entry);
    const IgnoreList stored = LoadIgnoreList(session);
    for (const IgnoreEntry& each : stored.entries()) {
        if (platform::equalNoCase(StoredIgnoreText(each), text))
            return false;
    }
    platform::Registry& registry = session.registry();
    platform::KeyHandle key(registry);
    if (registry.createKey(win::HKEY_CURRENT_USER, kIgnoreKey, win::KEY_READ | win::KEY_WRITE,
                           key.out()) != win::ERROR_SUCCESS)
        throw std::runtime_error(std::string("cannot create HKEY_CURRENT_USER\\") + kIgnoreKey);
    // After the highest number in use, so that entries this version skips keep theirs.
    const auto names = numberedValues(registry, key.get());
    const std::string name = std::to_string(names.empty() ? 1 : names.back().first + 1);
    if (registry.setValue(key.get(), name, win::REG_SZ, text + '\0') != win::ERROR_SUCCESS)
        throw std::runtime_error(std::string("cannot write HKEY_CURRENT_USER\\") + kIgnoreKey +
                                 " \"" + name + "\"");
    return true;
}

void RemoveIgnoreEntry(Session& session, const IgnoreList& list, size_t index)
{
    if (index >= list.m_names.size())
        throw std::out_of_range("the ignore list has " + std::to_string(list.m_names.size()) +
                                " entries");
    platform::Registry& registry = session.registry();
    platform::KeyHandle key(registry);
    const std::string where = std::string("HKEY_CURRENT_USER\\") + kIgnoreKey;
    if (registry.openKey(win::HKEY_CURRENT_USER, kIgnoreKey, win::KEY_READ | win::KEY_WRITE,
                         key.out()) != win::ERROR_SUCCESS ||
        registry.deleteValue(key.get(), list.m_names[index]) != win::ERROR_SUCCESS)
        throw std::runtime_error("cannot remove \"" + list.m_names[index] + "\" of " + where);
    platform::KeyInfo info;
    if (registry.queryInfoKey(key.get(), &info) != win::ERROR_SUCCESS)
        return;
    key.reset();
    // An empty key would be an empty-key finding of its own.
    if (info.values == 0 && info.subKeys == 0 &&
        registry.deleteKey(win::HKEY_CURRENT_USER, kIgnoreKey) != win::ERROR_SUCCESS)
        throw std::runtime_error("cannot remove the empty key " + where);
}

void StoreIgnoreEntries(Session& session, const std::vector<IgnoreEntry>& entries)
{
    session.requireChangeable();
    try {
        for (const IgnoreEntry& entry : entries)
            AddIgnoreEntry(session, entry);
        session.storage().commit();
    } catch (const std::runtime_error&) {
        session.storage().rollback();
        throw;
    }
}

} // namespace tw
