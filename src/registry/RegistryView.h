// The two registry views of a 64-bit system — a key under HKEY_LOCAL_MACHINE\Software that
// 64-bit programs read, and its Wow6432Node twin that 32-bit programs read — and how lists
// name them.
#pragma once

#include "Session.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class RegistryView
{
    Native,
    /// The 32-bit programs' keys under HKLM\Software\Wow6432Node.
    Wow64,
};

/// The view of a key below HKEY_LOCAL_MACHINE: Wow64 for one under Software\Wow6432Node.
RegistryView viewOfKeyPath(std::string_view keyPath);

/// How --json names a view: "native" or "32-bit".
std::string_view registryViewName(RegistryView view);

/// A row's name as lists show it: "NAME (32-bit)" for the 32-bit view, else unchanged.
std::string withViewMark(const std::string& name, RegistryView view);

/// The Wow6432Node twin of a key below HKEY_LOCAL_MACHINE\Software ("Software\X" gives
/// "Software\Wow6432Node\X"); none for other keys and for keys already in the 32-bit view.
std::optional<std::string> wow64Twin(win::HKEY root, std::string_view keyPath);

/// The path of the key `keyPath` names once the registry links along it are followed; none
/// when a link leads out of the root's tree, loops, or cannot be read. A missing key keeps
/// the rest of its path as it stands.
std::optional<std::string> resolvedKeyPath(const Session& session, win::HKEY root,
                                           std::string_view keyPath);

/// The keys to read for the keys a section names, in order: each key, then its Wow6432Node
/// twin. Only keys that open are listed, and none that links make the same key as one listed.
std::vector<std::string> keyViews(const Session& session, win::HKEY root,
                                  const std::vector<std::string>& keyPaths);
std::vector<std::string> keyViews(const Session& session, win::HKEY root, std::string_view keyPath);

} // namespace tw
