// The two registry views of a 64-bit system: a key of HKLM\Software and its Wow6432Node twin.
#pragma once

#include "platform/WinTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw {

class Session;

enum class RegistryView
{
    Native,
    Wow32,
};

/// How lists and --json name a view: "native" or "32-bit".
std::string_view registryViewName(RegistryView view);

/// A row's name as lists show it: "NAME (32-bit)" for the 32-bit view, else unchanged.
std::string withViewMark(const std::string& name, RegistryView view);

/// A key as one view names it.
struct ViewKey
{
    RegistryView view = RegistryView::Native;
    std::string path;
};

/// `path` (below HKLM, "SOFTWARE\..." without a leading backslash) as the 32-bit view names
/// it, "SOFTWARE\Wow6432Node\..."; empty for a path outside HKLM\Software or already in it.
std::string wow32KeyPath(std::string_view path);

/// The key that `path` below `root` reaches, with every registry link on the way followed,
/// as a root-relative name ("MACHINE\..."); empty when it does not open.
std::string resolvedKeyName(const Session& session, win::HKEY root, std::string_view path);

/// The keys to read for `path` below `root`: the native key, then, for a key of
/// HKLM\Software, its 32-bit twin when that opens and is not the same key (Wine links some).
/// The native key is listed even when it does not open.
std::vector<ViewKey> keyViews(const Session& session, win::HKEY root, std::string_view path);

} // namespace tw
