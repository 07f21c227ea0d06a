#include "BrowserRepairPlan.h"

#include "BrowserRepairItems.h"
#include "platform/RootKeys.h"
#include "platform/TextCodec.h"
#include "registry/RegistryView.h"
#include "registry/Session.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

namespace tw {

namespace {

using win::DWORD;
using win::HKEY;

std::string lower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

std::string upper(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

bool isText(DWORD type)
{
    return type == win::REG_SZ || type == win::REG_EXPAND_SZ;
}

/// String data as the program reads it: up to the first NUL.
std::string textOf(const std::string& data)
{
    return data.substr(0, data.find('\0'));
}

struct Value
{
    std::string name;
    DWORD type = 0;
    std::string data;
};

/// The registry as it will be once the changes planned so far are made: the real registry
/// below an overlay of planned keys and values. Names compare without regard to case.
class PlannedRegistry
{
public:
    explicit PlannedRegistry(platform::Registry& registry) : m_registry(registry) {}

    bool keyExists(HKEY root, std::string_view path) const
    {
        const std::string id = keyId(root, path);
        if (const auto at = m_keys.find(id); at != m_keys.end())
            return at->second;
        if (underDeletedTree(id))
            return false;
        platform::KeyHandle handle(m_registry);
        return m_registry.openKey(root, path, win::KEY_READ, handle.out()) == win::ERROR_SUCCESS;
    }

    std::vector<Value> values(HKEY root, std::string_view path) const
    {
        std::vector<Value> list;
        if (!keyExists(root, path))
            return list;
        const std::string id = keyId(root, path);
        if (!underDeletedTree(id)) {
            platform::KeyHandle handle(m_registry);
            if (m_registry.openKey(root, path, win::KEY_READ, handle.out()) == win::ERROR_SUCCESS) {
                Value value;
                for (DWORD i = 0; m_registry.enumValue(handle.get(), i, &value.name, &value.type,
                                                       &value.data) == win::ERROR_SUCCESS;
                     ++i)
                    list.push_back(value);
            }
        }
        // Planned changes of this key, in the order they were planned.
        for (const auto& [valueId, planned] : m_valueOrder) {
            if (valueId.first != id)
                continue;
            const auto at = std::find_if(list.begin(), list.end(), [&](const Value& v) {
                return lower(v.name) == valueId.second;
            });
            if (!planned && at != list.end())
                list.erase(at);
            else if (planned && at != list.end())
                *at = *planned;
            else if (planned)
                list.push_back(*planned);
        }
        return list;
    }

    std::optional<Value> value(HKEY root, std::string_view path, std::string_view name) const
    {
        for (const Value& v : values(root, path)) {
            if (lower(v.name) == lower(name))
                return v;
        }
        return std::nullopt;
    }

    std::vector<std::string> subkeys(HKEY root, std::string_view path) const
    {
        std::vector<std::string> list;
        if (!keyExists(root, path))
            return list;
        std::vector<std::string> candidates;
        if (!underDeletedTree(keyId(root, path))) {
            platform::KeyHandle handle(m_registry);
            if (m_registry.openKey(root, path, win::KEY_READ, handle.out()) == win::ERROR_SUCCESS) {
                std::string name;
                for (DWORD i = 0; m_registry.enumKey(handle.get(), i, &name) == win::ERROR_SUCCESS;
                     ++i)
                    candidates.push_back(name);
            }
        }
        for (const auto& [id, name] : m_createdNames) {
            if (id.first == keyId(root, path))
                candidates.push_back(name);
        }
        for (const std::string& name : candidates) {
            const std::string child = std::string(path) + "\\" + name;
            const bool listed = std::any_of(list.begin(), list.end(), [&](const std::string& n) {
                return lower(n) == lower(name);
            });
            if (!listed && keyExists(root, child))
                list.push_back(name);
        }
        return list;
    }

    void createKey(HKEY root, std::string_view path)
    {
        for (size_t end = 0; end != std::string_view::npos;) {
            end = path.find('\\', end + 1);
            const std::string_view part = path.substr(0, end);
            if (!keyExists(root, part)) {
                const size_t slash = part.rfind('\\');
                const std::string_view parent =
                    slash == std::string_view::npos ? std::string_view() : part.substr(0, slash);
                const std::string_view name =
                    slash == std::string_view::npos ? part : part.substr(slash + 1);
                m_createdNames.push_back({{keyId(root, parent), lower(name)}, std::string(name)});
            }
            m_keys[keyId(root, part)] = true;
        }
    }

    void setValue(HKEY root, std::string_view path, const Value& value)
    {
        m_valueOrder.push_back({{keyId(root, path), lower(value.name)}, value});
    }

    void deleteValue(HKEY root, std::string_view path, std::string_view name)
    {
        m_valueOrder.push_back({{keyId(root, path), lower(name)}, std::nullopt});
    }

    void deleteKey(HKEY root, std::string_view path)
    {
        const std::string id = keyId(root, path);
        // Whatever was planned inside the tree goes with it.
        std::erase_if(m_keys, [&](const auto& entry) { return inTree(entry.first, id); });
        std::erase_if(m_valueOrder,
                      [&](const auto& entry) { return inTree(entry.first.first, id); });
        std::erase_if(m_createdNames,
                      [&](const auto& entry) { return inTree(entry.first.first, id); });
        m_deletedTrees.push_back(id);
        m_keys[id] = false;
    }

private:
    static std::string keyId(HKEY root, std::string_view path)
    {
        return std::to_string(root) + "\\" + lower(path);
    }
    static bool inTree(const std::string& id, const std::string& tree)
    {
        return id == tree || (id.size() > tree.size() && id.compare(0, tree.size(), tree) == 0 &&
                              id[tree.size()] == '\\');
    }
    bool underDeletedTree(const std::string& id) const
    {
        return std::any_of(m_deletedTrees.begin(), m_deletedTrees.end(),
                           [&](const std::string& tree) { return inTree(id, tree); });
    }

    platform::Registry& m_registry;
    std::map<std::string, bool> m_keys;
    std::vector<std::string> m_deletedTrees;
    /// (key, lower-cased value name) and the value planned, or none for a deletion.
    std::vector<std::pair<std::pair<std::string, std::string>, std::optional<Value>>> m_valueOrder;
    /// (parent key, lower-cased name) and the name of each key planned to be created.
    std::vector<std::pair<std::pair<std::string, std::string>, std::string>> m_createdNames;
};

class Planner
{
public:
    Planner(const Session& session, PlannedItem& item) : m_session(session), m_item(item) {}

    void run(const BrowserRepairStep& step, PlannedRegistry& registry)
    {
        m_planned = &registry;
        const std::string key(step.key);
        if (!registry.keyExists(step.root, key)) {
            // A missing key that the step may not create: the step does nothing.
            if (!step.create)
                return;
            add(RegistryChange::Kind::CreateKey, step.root, key);
            registry.createKey(step.root, key);
        }
        switch (step.kind) {
        case BrowserStepKind::SetZero:
            for (const BrowserStepValue& v : step.values)
                set(step, v.name, win::REG_DWORD, std::string(4, '\0'));
            break;
        case BrowserStepKind::SetZeroBytes:
            for (const BrowserStepValue& v : step.values)
                set(step, v.name, win::REG_BINARY, std::string(4, '\0'));
            break;
        case BrowserStepKind::SetText:
            for (const BrowserStepValue& v : step.values)
                set(step, v.name, win::REG_SZ, std::string(v.text) + '\0');
            break;
        case BrowserStepKind::DeleteAllValues:
            for (const Value& v : registry.values(step.root, key))
                remove(step, v.name);
            break;
        case BrowserStepKind::DeleteAllSubkeys:
            for (const std::string& name : registry.subkeys(step.root, key)) {
                add(RegistryChange::Kind::DeleteKey, step.root, key + "\\" + name);
                registry.deleteKey(step.root, key + "\\" + name);
            }
            break;
        case BrowserStepKind::DeleteStartPageEntry:
            deleteStartPageEntry(step);
            break;
        case BrowserStepKind::DeleteValueAndFile:
            for (const BrowserStepValue& v : step.values) {
                if (registry.value(step.root, key, v.name))
                    remove(step, v.name);
                const std::string file =
                    m_session.system().tempPath().substr(0, 3) + std::string(v.text);
                const bool kept =
                    std::any_of(m_item.files.begin(), m_item.files.end(), [&](const KeptFile& k) {
                        return platform::equalNoCase(k.path, file);
                    });
                if (!kept && m_session.files().fileExists(file))
                    m_item.files.push_back({file, false});
            }
            break;
        case BrowserStepKind::DeleteDataMatches:
            for (const Value& v : registry.values(step.root, key)) {
                if (!isText(v.type))
                    continue;
                const std::string data = upper(textOf(v.data));
                if (std::any_of(step.values.begin(), step.values.end(),
                                [&](const BrowserStepValue& pattern) {
                                    return data.find(pattern.text) != std::string::npos;
                                }))
                    remove(step, v.name);
            }
            break;
        }
    }

private:
    void add(RegistryChange::Kind kind, win::HKEY root, std::string_view key, std::string name = {},
             DWORD type = 0, std::string data = {})
    {
        const std::string path = std::string(platform::rootKeyName(root)) + "\\" + std::string(key);
        m_item.changes.push_back({kind, path, std::move(name), type, std::move(data)});
    }

    void set(const BrowserRepairStep& step, std::string_view name, DWORD type, std::string data)
    {
        add(RegistryChange::Kind::SetValue, step.root, step.key, std::string(name), type, data);
        m_planned->setValue(step.root, step.key, {std::string(name), type, std::move(data)});
    }

    void remove(const BrowserRepairStep& step, std::string_view name)
    {
        add(RegistryChange::Kind::DeleteValue, step.root, step.key, std::string(name));
        m_planned->deleteValue(step.root, step.key, name);
    }

    /// The Run entry of a start page: the value named like it alone, else every string
    /// value whose data holds it (exact letter case).
    void deleteStartPageEntry(const BrowserRepairStep& step)
    {
        std::string startPage;
        for (const BrowserStepValue& v : step.values) {
            const std::optional<Value> stored = m_planned->value(step.root, step.source, v.name);
            if (stored && isText(stored->type))
                startPage = textOf(stored->data);
        }
        if (startPage.empty())
            return;
        if (const std::optional<Value> named = m_planned->value(step.root, step.key, startPage)) {
            remove(step, named->name);
            return;
        }
        for (const Value& v : m_planned->values(step.root, step.key)) {
            if (isText(v.type) && textOf(v.data).find(startPage) != std::string::npos)
                remove(step, v.name);
        }
    }

    const Session& m_session;
    PlannedItem& m_item;
    PlannedRegistry* m_planned = nullptr;
};

/// A step on a key of HKLM\Software in the 32-bit view: the same step on the Wow6432Node
/// keys, which it never creates.
struct Wow64Step
{
    BrowserRepairStep native;
    std::string key;
    std::string source;

    BrowserRepairStep step() const
    {
        BrowserRepairStep twin = native;
        twin.key = key;
        twin.source = source;
        twin.create = false;
        return twin;
    }
};

/// The step's 32-bit twin when its key there opens and is another key than the native one
/// (not one Wine links to it).
std::optional<Wow64Step> wow64Step(const Session& session, const BrowserRepairStep& step)
{
    const std::optional<std::string> key = wow64Twin(step.root, step.key);
    if (!key)
        return std::nullopt;
    std::string source;
    if (!step.source.empty()) {
        const std::optional<std::string> twin = wow64Twin(step.root, step.source);
        if (!twin)
            return std::nullopt;
        source = *twin;
    }
    const std::vector<std::string> views = keyViews(session, step.root, step.key);
    if (std::none_of(views.begin(), views.end(),
                     [&](const std::string& view) { return view == *key; }))
        return std::nullopt;
    return Wow64Step{step, *key, std::move(source)};
}

} // namespace

std::vector<PlannedItem> PlanBrowserRepair(const Session& session, const std::vector<int>& rows)
{
    const auto items = BrowserRepairItems();
    PlannedRegistry registry(session.registry());
    std::vector<PlannedItem> plan;
    for (const int row : rows) {
        if (row < 0 || static_cast<size_t>(row) >= items.size())
            continue;
        PlannedItem& item = plan.emplace_back();
        item.row = row;
        Planner planner(session, item);
        for (const BrowserRepairStep& step : items[static_cast<size_t>(row)].steps) {
            planner.run(step, registry);
            if (const std::optional<Wow64Step> twin = wow64Step(session, step))
                planner.run(twin->step(), registry);
        }
    }
    return plan;
}

} // namespace tw
