// The names of the registry value types.
#pragma once

#include "WinTypes.h"

#include <string>
#include <string_view>

namespace tw::platform {

struct ValueTypeName
{
    win::DWORD type;
    std::string_view name;
    /// Whether the command line's reg set writes it.
    bool writable;
};

inline constexpr ValueTypeName kValueTypes[] = {
    {win::REG_NONE, "REG_NONE", false},
    {win::REG_SZ, "REG_SZ", true},
    {win::REG_EXPAND_SZ, "REG_EXPAND_SZ", true},
    {win::REG_BINARY, "REG_BINARY", true},
    {win::REG_DWORD, "REG_DWORD", true},
    {win::REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN", false},
    {win::REG_LINK, "REG_LINK", false},
    {win::REG_MULTI_SZ, "REG_MULTI_SZ", true},
    {8, "REG_RESOURCE_LIST", false},
    {9, "REG_FULL_RESOURCE_DESCRIPTOR", false},
    {10, "REG_RESOURCE_REQUIREMENTS_LIST", false},
    {win::REG_QWORD, "REG_QWORD", true},
};

/// "REG_DWORD" and the like; "0x" and the number in hex for a type without a name.
std::string valueTypeName(win::DWORD type);

} // namespace tw::platform
