// A registry as a .reg text describes it, for comparing two states of a prefix.
#pragma once

#include <map>
#include <string>

namespace tw::test {

/// key path (lower case) -> value name (lower case) -> "type:data"
using RegistryImage = std::map<std::string, std::map<std::string, std::string>>;

/// The keys and values a .reg text (either format) sets.
RegistryImage registryImageOf(const std::string& regText);

} // namespace tw::test
