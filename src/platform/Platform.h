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

#include <functional>
#include <memory>

namespace tw::platform {

class SideReader;

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
    /// Makes a SideReader; empty where the platform has none.
    std::function<std::unique_ptr<SideReader>()> sideReader;
};

/// The reading parts of a platform once more (registry, files, system and shell), with
/// handles and caches of their own, for one more thread that only reads while this one
/// reads too. Made on the thread that uses the first parts and used on one other thread; a
/// change made through the first parts meanwhile waits until the reader is gone.
class SideReader
{
public:
    virtual ~SideReader() = default;
    /// The four reading parts; the others are null.
    virtual const Platform& platform() const = 0;
};

} // namespace tw::platform
