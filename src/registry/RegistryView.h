// Which registry view a row of a tool's list comes from, and how the lists say so.
#pragma once

#include <string>
#include <string_view>

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

} // namespace tw
