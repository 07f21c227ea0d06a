// The platform in use: one implementation of each interface, chosen by main().
#pragma once

#include "Files.h"
#include "Registry.h"
#include "RegistryEditor.h"
#include "Shell.h"
#include "System.h"

namespace tw::platform {

struct Platform
{
    Registry* registry = nullptr;
    Files* files = nullptr;
    System* system = nullptr;
    RegistryEditor* registryEditor = nullptr;
    Shell* shell = nullptr;
};

/// Installs the platform that domain code reaches through current(); null uninstalls.
void setCurrent(const Platform* platform);
/// The installed platform. Throws std::logic_error when none is installed.
const Platform& current();

Registry& registry();
Files& files();
System& system();
RegistryEditor& registryEditor();
Shell& shell();

} // namespace tw::platform
