// Walking subkeys by index with the registry functions, as the deep scans do.
#pragma once

#include "platform/WinTypes.h"

#include <functional>
#include <string>
#include <string_view>

namespace tw::sections {

/// Opens `path` under `root` for reading and calls `visit` with each subkey's name and path
/// (path + "\" + name, or the name alone for an empty path) in enumeration order, until it
/// returns false. Returns false when the key does not open.
bool forEachSubkey(win::HKEY root, std::string_view path,
                   const std::function<bool(const std::string& name, const std::string& subPath)>& visit);

/// The number of subkeys of `path` under `root`; -1 when it does not open.
int subkeyCount(win::HKEY root, std::string_view path);

} // namespace tw::sections
