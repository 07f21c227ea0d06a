// Registry value types by name, and value data as text, for the command line.
#pragma once

#include "platform/WinTypes.h"

#include <optional>
#include <string>
#include <string_view>

namespace tw::cli {

/// "REG_SZ" for 1 and so on; "0x63" for types without a name.
std::string valueTypeName(win::DWORD type);
/// The type of a name that the command line accepts for writing.
std::optional<win::DWORD> writableValueType(std::string_view name);
/// Data as `reg query` shows it (text for strings, 0x... for numbers, hex for the rest).
std::string formatValueData(win::DWORD type, const std::string& data);
/// Data given on the command line for a type, as the registry functions take it.
/// Throws UsageError for data that does not fit the type.
std::string parseValueData(win::DWORD type, std::string_view text);

} // namespace tw::cli
