// A small JSON writer for --json output.
#pragma once

#include <string>
#include <string_view>

namespace tw::cli {

/// The text as a JSON string literal, quotes included.
std::string jsonString(std::string_view text);

} // namespace tw::cli
