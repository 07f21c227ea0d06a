// The system registry editor: export to and import from .reg files.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tw::platform {

enum class RegFileFormat
{
    Unicode, ///< "Windows Registry Editor Version 5.00", UTF-16LE with BOM
    Ansi,    ///< "REGEDIT4", 8-bit
};

/// A .reg file that cannot be imported or an export that failed.
class RegistryEditorError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// What "Regedit /E" and "Regedit /s" do, over Windows file paths.
class RegistryEditor
{
public:
    virtual ~RegistryEditor() = default;
    /// Exports the whole registry (empty key) or one key with its subtree to `file`.
    /// Throws RegistryEditorError; a failed export leaves no file behind.
    virtual void exportToFile(std::string_view file, std::string_view key,
                              RegFileFormat format = RegFileFormat::Unicode) = 0;
    /// Imports `file`, all or nothing. Throws RegistryEditorError naming the line of the
    /// first error.
    virtual void importFile(std::string_view file) = 0;
    /// The same for a file of the host's file system, where the command line's paths lie.
    virtual void exportToHostFile(const std::string& hostFile, std::string_view key,
                                  RegFileFormat format = RegFileFormat::Unicode) = 0;
    virtual void importHostFile(const std::string& hostFile) = 0;
};

} // namespace tw::platform
