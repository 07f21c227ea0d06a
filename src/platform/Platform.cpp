#include "Platform.h"

#include <stdexcept>

namespace tw::platform {

namespace {
const Platform* g_current = nullptr;

template <typename T> T& require(T* part, const char* what)
{
    if (!part)
        throw std::logic_error(std::string("No ") + what + " is installed");
    return *part;
}
} // namespace

void setCurrent(const Platform* platform)
{
    g_current = platform;
}

const Platform& current()
{
    return require(g_current, "platform");
}

Registry& registry()
{
    return require(current().registry, "registry");
}

Files& files()
{
    return require(current().files, "file system");
}

System& system()
{
    return require(current().system, "system information");
}

RegistryEditor& registryEditor()
{
    return require(current().registryEditor, "registry editor");
}

} // namespace tw::platform

namespace tw::platform {

Shell& shell()
{
    return require(current().shell, "shell");
}

} // namespace tw::platform
