// Replacing a file in one step: write a temporary file beside it, flush, rename.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tw::wine {

/// Writes `path` through `produce`, which hands the text in pieces to its sink. The file is
/// either replaced whole or left as it was; the permissions of an existing file are kept.
/// Throws std::system_error (or whatever `produce` throws) and leaves no temporary file.
void writeFileAtomically(
    const std::string& path,
    const std::function<void(const std::function<void(std::string_view)>&)>& produce);

/// The same for one block of text.
void writeFileAtomically(const std::string& path, std::string_view text);

} // namespace tw::wine
