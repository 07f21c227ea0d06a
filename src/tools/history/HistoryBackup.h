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
/// which the backup page lists and whose restore puts them back. Returns its path; empty
/// when there are no values or none of them exists. Throws HistoryRefused when the file
/// cannot be written; then nothing is left behind.
std::string BackUpHistoryValues(const Session& session, const std::vector<HistoryValue>& values);

/// Removes a backup whose values were not removed after all (Cancel came first).
void DiscardHistoryBackup(const Session& session, const std::string& path);

} // namespace tw
