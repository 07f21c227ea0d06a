#include "Prefixes.h"

#include "platform/wine/PrefixDiscovery.h"

namespace tw::app {

platform::PrefixList findPrefixes()
{
    return wine::discoverPrefixes(wine::DiscoveryPlaces::fromEnvironment());
}

} // namespace tw::app
