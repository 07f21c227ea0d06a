// The backup written before the history cleaner removes registry values.
#pragma once

#include <string>
#include <vector>

namespace tw {

class Session;

/// A value under HKEY_CURRENT_USER that a clear will remove.
struct HistoryValue
{
    const char* key;
    std::string name;
};

/// Writes the values as the registry holds them now to a new backup file in AllRegBack,
/// which the backup page lists and restores. Returns its path; empty when none of the values
/// exists. Throws HistoryRefused when the file cannot be written.
std::string BackUpHistoryValues(const Session& session, const std::vector<HistoryValue>& values);

} // namespace tw
