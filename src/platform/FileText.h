// Whole files through the Files interface: read one, or replace one in a single step.
#pragma once

#include "Files.h"
#include "Processes.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tw::platform {

/// The file's bytes; empty when it cannot be opened or is longer than `maxBytes`.
std::optional<std::string> readWholeFile(Files& files, std::string_view path, std::size_t maxBytes);

/// Writes `bytes` to a TempFile beside `path` and renames it over `path`, so that the file is
/// either replaced whole or left as it was. Returns an error text; empty on success.
std::string replaceFile(Files& files, Processes& processes, std::string_view path,
                        std::string_view bytes);

} // namespace tw::platform
