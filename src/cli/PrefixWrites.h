// Writing a command's changes to the prefix, and refusing them where they cannot last.
#pragma once

namespace tw {
class Session;
}

namespace tw::cli {

/// Throws CliError with the reason when the prefix is open read-only (Wine runs in it).
void requireWritable(const Session& session);
/// Makes the changes lasting; throws CliError with the reason when they cannot be.
void saveChanges(const Session& session);

} // namespace tw::cli
