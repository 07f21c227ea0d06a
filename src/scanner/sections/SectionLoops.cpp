#include "SectionLoops.h"

#include "FileView.h"
#include "SectionText.h"
#include "registry/RegistryView.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tw::sections {

namespace {

/// The keys a walk holds open, one per level, closed however the walk ends.
class KeyStack
{
public:
    struct Frame
    {
        win::HKEY key = 0;
        /// The length of the key's path in the walk's path.
        size_t pathLength = 0;
        win::DWORD subKeys = 0;
        win::DWORD next = 0;
    };

    explicit KeyStack(platform::Registry& registry) : m_registry(registry) {}
    KeyStack(const KeyStack&) = delete;
    KeyStack& operator=(const KeyStack&) = delete;
    ~KeyStack()
    {
        while (!empty())
            pop();
    }

    bool empty() const { return m_frames.empty(); }
    Frame& top() { return m_frames.back(); }
    void push(Frame frame) { m_frames.push_back(std::move(frame)); }
    void pop()
    {
        m_registry.closeKey(m_frames.back().key);
        m_frames.pop_back();
    }

private:
    platform::Registry& m_registry;
    std::vector<Frame> m_frames;
};

/// A key handle that closes itself unless handed on.
class OpenKey
{
public:
    explicit OpenKey(platform::Registry& registry) : m_registry(&registry) {}
    OpenKey(OpenKey&& other) noexcept : m_registry(other.m_registry), m_key(other.release()) {}
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    OpenKey& operator=(OpenKey&&) = delete;
    ~OpenKey()
    {
        if (m_key)
            m_registry->closeKey(m_key);
    }
    win::HKEY get() const { return m_key; }
    win::HKEY* out() { return &m_key; }
    win::HKEY release() { return std::exchange(m_key, 0); }
    explicit operator bool() const { return m_key != 0; }

private:
    platform::Registry* m_registry;
    win::HKEY m_key = 0;
};

constexpr std::string_view kLinkValue = "SymbolicLinkValue";

/// True for a key opened with REG_OPTION_OPEN_LINK that is a registry link.
bool isLink(platform::Registry& registry, win::HKEY key)
{
    win::DWORD type = 0;
    return registry.queryValue(key, kLinkValue, &type, nullptr) == win::ERROR_SUCCESS &&
           type == win::REG_LINK;
}

} // namespace

std::string joinKeyPath(std::string_view path, std::string_view name)
{
    std::string joined;
    joined.reserve(path.size() + 1 + name.size());
    joined.append(path);
    if (!path.empty())
        joined.push_back('\\');
    joined.append(name);
    return joined;
}

bool keyOpens(const Session& session, win::HKEY root, std::string_view path)
{
    platform::Registry& registry = session.registry();
    platform::KeyHandle key(registry);
    return registry.openKey(root, path, win::KEY_READ, key.out()) == win::ERROR_SUCCESS;
}

std::optional<std::vector<std::string>> subkeyNames(const Session& session, win::HKEY root,
                                                    std::string_view path)
{
    platform::Registry& registry = session.registry();
    platform::KeyHandle key(registry);
    if (registry.openKey(root, path, win::KEY_READ, key.out()) != win::ERROR_SUCCESS)
        return std::nullopt;
    std::vector<std::string> names;
    platform::KeyInfo info;
    if (registry.queryInfoKey(key.get(), &info) != win::ERROR_SUCCESS)
        return names;
    names.reserve(info.subKeys);
    std::string name;
    for (win::DWORD i = 0; i < info.subKeys; ++i) {
        if (registry.enumKey(key.get(), i, &name) == win::ERROR_SUCCESS)
            names.push_back(name);
    }
    return names;
}

bool openValueList(TRegistry& reg, win::HKEY root, std::string_view keyPath,
                   std::vector<std::string>& names)
{
    reg.SelectRoot(root);
    if (!reg.OpenPath(keyPath, false))
        return false;
    reg.ListValues(names);
    return true;
}

bool walkPathHolds(std::string_view path, std::string_view start, std::string_view part)
{
    const size_t sep = path.rfind('\\');
    if (path.size() <= start.size() || sep == std::string_view::npos || part.empty())
        return containsNoCase(path, part);
    // A match that does not reach the separator lies in the parent's path.
    const size_t from = sep + 1 > part.size() ? sep + 1 - part.size() : 0;
    return containsNoCase(path.substr(from), part);
}

WalkPathParts::WalkPathParts(std::initializer_list<std::string_view> parts)
{
    for (const std::string_view part : parts) {
        m_parts.push_back(upperCase(part));
        m_longest = std::max(m_longest, part.size());
    }
}

bool WalkPathParts::heldBy(std::string_view path, std::string_view start) const
{
    const size_t sep = path.rfind('\\');
    const bool whole = path.size() <= start.size() || sep == std::string_view::npos;
    // Where the search for a part of `length` starts (see walkPathHolds).
    const auto windowStart = [&](size_t length) {
        return whole || sep + 1 <= length ? 0 : sep + 1 - length;
    };
    const size_t from = windowStart(m_longest);
    const std::string_view window = path.substr(from);
    std::array<char, 512> buffer;
    if (window.size() > buffer.size()) {
        return std::any_of(m_parts.begin(), m_parts.end(), [&](const std::string& part) {
            return walkPathHolds(path, start, part);
        });
    }
    for (size_t i = 0; i < window.size(); ++i) {
        const char c = window[i];
        buffer[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const std::string_view upper(buffer.data(), window.size());
    return std::any_of(m_parts.begin(), m_parts.end(), [&](const std::string& part) {
        return part.empty() ||
               (part.size() <= window.size() &&
                upper.find(part, windowStart(part.size()) - from) != std::string_view::npos);
    });
}

void walkKeyTree(ScanContext& context, win::HKEY root, std::string_view start, const KeyWalk& walk)
{
    platform::Registry& registry = context.session().registry();
    KeyStack stack(registry);
    // The path of the key being entered or visited: each level's own is where its frame says.
    std::string path(start);
    // Opens the key at `path` (or takes the handle given, and what is known of it) and goes
    // on with its subkeys.
    const auto enter = [&](OpenKey key, const platform::KeyInfo* known) {
        if (walk.enters && !walk.enters(path))
            return false;
        if (!key && registry.openKey(root, path, win::KEY_READ, key.out()) != win::ERROR_SUCCESS)
            return false;
        platform::KeyInfo info;
        if (known)
            info = *known;
        else if (registry.queryInfoKey(key.get(), &info) != win::ERROR_SUCCESS)
            return false;
        stack.push({key.release(), path.size(), info.subKeys, 0});
        if (walk.opened)
            walk.opened(path, info);
        return true;
    };

    enter(OpenKey(registry), nullptr);
    std::string name;
    while (!stack.empty()) {
        KeyStack::Frame& frame = stack.top();
        bool leave = frame.next >= frame.subKeys;
        if (!leave) {
            if (registry.enumKey(frame.key, frame.next++, &name) != win::ERROR_SUCCESS)
                continue;
            leave = context.aborted();
        }
        if (leave) {
            // Back in the parent's loop, which yields after each subkey's subtree.
            stack.pop();
            if (!stack.empty())
                context.yield();
            continue;
        }
        path.resize(frame.pathLength);
        if (!path.empty())
            path.push_back('\\');
        path.append(name);
        // A registry link is a second name of a key the walk reaches by its own name. The
        // subkey is opened below its parent's handle, not again from the root.
        OpenKey subkey(registry);
        platform::KeyInfo info;
        bool infoRead = false;
        if (registry.openKey(frame.key, name, win::KEY_READ, subkey.out(),
                             win::REG_OPTION_OPEN_LINK) == win::ERROR_SUCCESS) {
            infoRead = registry.queryInfoKey(subkey.get(), &info) == win::ERROR_SUCCESS;
            // A link keeps its target in a value: a key without values, or whose value names
            // are all shorter than that one's, is none.
            const bool mayBeLink =
                !infoRead || (info.values > 0 && info.maxValueNameLen >= kLinkValue.size());
            if (mayBeLink && isLink(registry, subkey.get()))
                continue;
        }
        const Descent descent = walk.visit(name, path, subkey.get());
        if (descent == Descent::PassOver)
            continue;
        if (descent == Descent::Into && enter(std::move(subkey), infoRead ? &info : nullptr))
            continue;
        context.yield();
    }
}

void scanKeyViews(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root, KeyViewScan scanKey)
{
    contents.Clear();
    const std::vector<std::string> views = tw::keyViews(context.session(), root, keyPath);
    if (views.empty())
        return;
    context.rowStart();
    const FileView files(context.session());
    for (const std::string& view : views)
        scanKey(context, files, root, view, contents);
    context.rowFinish();
}

} // namespace tw::sections
