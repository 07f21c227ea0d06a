// The two registry views of a 64-bit system: a key under HKEY_LOCAL_MACHINE\Software that
// 64-bit programs read, and its Wow6432Node twin that 32-bit programs read.
#pragma once

#include "registry/Session.h"
#include "scanner/ScanContext.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::sections {

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

class FileView;
/// Scans one opened view of a section's key.
using KeyViewScan = void (*)(ScanContext& context, const FileView& files, win::HKEY root,
                             const std::string& keyPath, TRegistryContents& contents);
/// The row of a section that reads one key in both views: empties `contents`; when a view
/// opens, starts the row, hands each view (keyViews) to `scanKey`, and finishes the row.
void scanKeyViews(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root, KeyViewScan scanKey);

} // namespace tw::sections
