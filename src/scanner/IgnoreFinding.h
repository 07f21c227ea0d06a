// What a scan finding names for the ignore list, and the entries that would ignore it.
#pragma once

#include "registry/IgnoreList.h"
#include "registry/RegistryContents.h"

#include <string>
#include <vector>

namespace tw {

class Session;

/// The key, value and file finding `record` of section `section` names. The key is the
/// record's KeyPath; the value is the one the section's repair removes. The file is the
/// record's own path for a finding on a file (a shortcut), else the first of ValueData,
/// ValueName and ItemName that is a drive path ("C:\...").
IgnoreSubject IgnoreSubjectOf(int section, const TContent& record);

/// The entries that would ignore the finding, the narrowest first: the value, then its key,
/// for a finding on a value; the key for one on a key; the file for one on a file.
std::vector<IgnoreEntry> IgnoreChoicesFor(int section, const TContent& record);

/// Takes the findings that `entries` cover out of every section's collection, as a scan with
/// them would have left them out; returns how many went.
int DropIgnoredFindings(Session& session, const std::vector<IgnoreEntry>& entries);

/// True for Tidewell's own settings keys (HKCU\Software\Tidewell and below, also reached as
/// HKEY_USERS\<SID>\Software\Tidewell), which no scan reports.
bool IsOwnSettingsKey(const std::string& key);

} // namespace tw
