// The platform in use: one implementation of each interface, chosen by main().
#pragma once

#include "Files.h"
#include "Http.h"
#include "Installation.h"
#include "Processes.h"
#include "Programs.h"
#include "Registry.h"
#include "RegistryEditor.h"
#include "Shell.h"
#include "Storage.h"
#include "System.h"
#include "UrlCache.h"

namespace tw::platform {

struct Platform
{
    Registry* registry = nullptr;
    Files* files = nullptr;
    System* system = nullptr;
    RegistryEditor* registryEditor = nullptr;
    Shell* shell = nullptr;
    Storage* storage = nullptr;
    /// Null where the session may not use the network (pictures of the windows).
    Http* http = nullptr;
    Installation* installation = nullptr;
    Processes* processes = nullptr;
    Programs* programs = nullptr;
    UrlCache* urlCache = nullptr;
};

} // namespace tw::platform
