// Walking subkeys by index with the registry functions, as the deep scans do.
#pragma once

#include "registry/Session.h"

#include <functional>
#include <string>
#include <string_view>

namespace tw::sections {

/// Opens `path` under `root` for reading, hands what RegQueryInfoKey says of it to `opened`
/// (when given), then calls `visit` with each subkey's name and path (path + "\" + name, or
/// the name alone for an empty path) in enumeration order, until it returns false. Returns
/// false when the key does not open.
bool forEachSubkey(
    const Session& session, win::HKEY root, std::string_view path,
    const std::function<bool(const std::string& name, const std::string& subPath)>& visit,
    const std::function<void(const platform::KeyInfo& info)>& opened = {});

} // namespace tw::sections
