// Writing a command's changes to the prefix, and refusing them where they cannot last.
#pragma once

namespace tw::wine {
class WinePrefix;
}

namespace tw::cli {

/// Throws CliError with the reason when the prefix is open read-only (Wine runs in it).
void requireWritable(const wine::WinePrefix& prefix);
/// Writes the changed hives; throws CliError with the reason when they cannot be written.
void saveChanges(wine::WinePrefix& prefix);

} // namespace tw::cli
