// The .reg file format of the registry editor: writing an export and importing a file.
#pragma once

#include "Registry.h"
#include "RegistryEditor.h"
#include "RootKeys.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw::platform {

/// Writes the whole registry (HKEY_LOCAL_MACHINE and HKEY_USERS, when `keyPath` is empty)
/// or one key with its subtree, as the registry editor exports it. Returns the file's
/// bytes. Throws RegistryEditorError when the key does not exist.
std::string exportRegFile(Registry& registry, std::string_view keyPath, RegFileFormat format);

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
    DWORD type = 0;
    /// As the "A" registry functions take it (string types as 8-bit text with NULs).
    std::string data;
};

/// Parses a .reg file (REGEDIT4 or version 5.00, 8-bit or UTF-16LE). Throws
/// RegistryEditorError "line N: ..." at the first error.
std::vector<RegFileOperation> parseRegFile(std::string_view bytes);

/// Carries out parsed operations in order. Throws RegistryEditorError "line N: ..." at the
/// first operation the registry refuses; the operations before it stay done.
void applyRegFile(Registry& registry, const std::vector<RegFileOperation>& operations);

/// Deletes a key with everything below it. Returns the Win32 result of deleting the key.
LONG deleteKeyTree(Registry& registry, HKEY root, const std::string& subKey);

} // namespace tw::platform
