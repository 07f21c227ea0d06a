// A small JSON writer for --json output.
#pragma once

#include <string>
#include <string_view>

namespace tw::cli {

/// The text as a JSON string literal, quotes included. Bytes that are not UTF-8 become
/// U+FFFD, so that the output is always valid JSON.
std::string jsonString(std::string_view text);

} // namespace tw::cli
