// The .reg file format of the registry editor: writing an export and importing a file.
#pragma once

#include "Registry.h"
#include "RegistryEditor.h"
#include "RootKeys.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw::platform {

/// Writes registry data in the registry editor's file format.
class RegFileWriter
{
public:
    struct Layout
    {
        /// The first line ("Windows Registry Editor Version 5.00", "REGEDIT4", ...).
        std::string header;
        bool blankLineBeforeKeys = true;
        bool finalBlankLine = true;
    };

    /// The layout the registry editor exports with. An 8-bit file is written in the
    /// registry's ANSI code page (see ansiCodePage) unless `codePage` names another.
    RegFileWriter(Registry& registry, RegFileFormat format);
    RegFileWriter(Registry& registry, RegFileFormat format, Layout layout);
    RegFileWriter(Registry& registry, RegFileFormat format, Layout layout, unsigned codePage);

    /// "[path]"; `path` is written as given.
    void addKeyLine(const std::string& path);
    /// One value line, escaped; string types as the "A" registry functions hand them out.
    void addValue(const std::string& name, win::DWORD type, const std::string& data);
    /// The key `key` (named `path`) with its values and everything below it.
    void addKeyTree(win::HKEY key, const std::string& path);
    /// "[-path]": the key with its subtree is deleted on import.
    void addKeyDeletion(const std::string& path);
    /// The line "name"=- (@=- for the unnamed value): the value is deleted on import.
    void addValueDeletion(const std::string& name);
    /// The file's bytes: 8-bit in the code page, or UTF-16LE with a byte-order mark for the
    /// Unicode format. Throws RegistryEditorError when the code page cannot be converted.
    std::string finish();

private:
    void addHex(size_t lineLength, win::DWORD type, const std::string& narrowData);
    static std::string escape(std::string_view text);

    Registry& m_registry;
    bool m_unicode;
    unsigned m_codePage;
    Layout m_layout;
    std::string m_out;
};

/// The code page 8-bit programs use on the system whose registry this is: the "ACP" value
/// of HKLM\System\CurrentControlSet\Control\Nls\CodePage, or 1252 when it has none.
unsigned ansiCodePage(Registry& registry);

/// Writes the whole registry (HKEY_LOCAL_MACHINE and HKEY_USERS, when `keyPath` is empty)
/// or one key with its subtree, as the registry editor exports it. Returns the file's
/// bytes. Throws RegistryEditorError when the key does not exist.
std::string exportRegFile(Registry& registry, std::string_view keyPath, RegFileFormat format);
/// The same with the code page of a REGEDIT4 file given.
std::string exportRegFile(Registry& registry, std::string_view keyPath, RegFileFormat format,
                          unsigned codePage);

/// One change that a .reg file asks for.
struct RegFileOperation
{
    enum class Kind
    {
        CreateKey,
        DeleteKey,
        SetValue,
        DeleteValue
    };
    Kind kind = Kind::CreateKey;
    int line = 0;
    KeyPath key;
    std::string valueName;
    win::DWORD type = 0;
    /// As the "A" registry functions take it (string types as 8-bit text with NULs).
    std::string data;
};

/// Parses a .reg file (REGEDIT4 or version 5.00, 8-bit or UTF-16LE); 8-bit text without a
/// UTF-8 byte-order mark is read in `codePage`. Throws RegistryEditorError "line N: ..." at
/// the first error.
std::vector<RegFileOperation> parseRegFile(std::string_view bytes, unsigned codePage = 1252);

/// Carries out parsed operations in order. Throws RegistryEditorError "line N: ..." at the
/// first operation the registry refuses; the operations before it stay done.
void applyRegFile(Registry& registry, const std::vector<RegFileOperation>& operations);

/// Deletes a key with everything below it. Returns the Win32 result of deleting the key.
win::LONG deleteKeyTree(Registry& registry, win::HKEY root, const std::string& subKey);

} // namespace tw::platform
