#include "Session.h"

#include "platform/RootKeys.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace tw {

namespace {
template <typename T> T& require(T* part, const char* what)
{
    if (!part)
        throw std::logic_error(std::string("The platform has no ") + what);
    return *part;
}
} // namespace

platform::Registry& Session::registry() const
{
    return require(m_platform.registry, "registry");
}

platform::Files& Session::files() const
{
    return require(m_platform.files, "file system");
}

platform::System& Session::system() const
{
    return require(m_platform.system, "system information");
}

platform::RegistryEditor& Session::registryEditor() const
{
    return require(m_platform.registryEditor, "registry editor");
}

platform::Shell& Session::shell() const
{
    return require(m_platform.shell, "shell");
}

platform::Storage& Session::storage() const
{
    return require(m_platform.storage, "storage");
}

platform::Http& Session::http() const
{
    return require(m_platform.http, "network access");
}

platform::Installation& Session::installation() const
{
    return require(m_platform.installation, "installation");
}

platform::Processes& Session::processes() const
{
    return require(m_platform.processes, "process list");
}

platform::Programs& Session::programs() const
{
    return require(m_platform.programs, "program starter");
}

platform::UrlCache& Session::urlCache() const
{
    return require(m_platform.urlCache, "URL cache");
}

std::string Session::changeRefusal() const
{
    return storage().writeRefusal();
}

std::string Session::changeRefusalFor(const std::vector<std::string>& keyPaths) const
{
    if (std::string refusal = changeRefusal(); !refusal.empty())
        return refusal;
    std::vector<win::HKEY> asked;
    for (const std::string& path : keyPaths) {
        const std::optional<platform::KeyPath> key = platform::parseKeyPath(path);
        if (!key || std::find(asked.begin(), asked.end(), key->root) != asked.end())
            continue;
        asked.push_back(key->root);
        if (std::string refusal = storage().writeRefusalUnder(key->root); !refusal.empty())
            return refusal;
    }
    return {};
}

void Session::requireChangeable() const
{
    if (std::string refusal = changeRefusal(); !refusal.empty())
        throw ChangeRefused(std::move(refusal));
}

void ClearSectionContents(Session& session)
{
    for (TRegistryContents& contents : session.SectionContents)
        contents.Clear();
}

} // namespace tw
