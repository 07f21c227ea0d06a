// The readers of the prefix managers' files: each adds the folders its manager names.
#pragma once

#include "WinePlatformOnly.h"

#include "PrefixDiscovery.h"

#include <string>
#include <vector>

namespace tw::wine {

/// A folder a manager names as a prefix, not yet checked.
struct PrefixCandidate
{
    std::string path;
    std::string name;
    std::string source;
    std::string steamAppId;
};

struct CandidateList
{
    std::vector<PrefixCandidate> candidates;
    std::vector<std::string> warnings;
};

/// True when `dir` holds system.reg, user.reg and drive_c.
bool isWinePrefix(const std::string& dir);

/// The subfolders of `dir`, sorted by name; none when it cannot be read.
std::vector<std::string> subfolderNames(const std::string& dir);
/// The regular files of `dir` whose names end in `extension`, sorted by name.
std::vector<std::string> fileNames(const std::string& dir, const std::string& extension);

void addWinePrefixes(const DiscoveryPlaces& places, CandidateList& out);
void addSteamPrefixes(const DiscoveryPlaces& places, CandidateList& out);
void addLutrisPrefixes(const DiscoveryPlaces& places, CandidateList& out);
void addBottlesPrefixes(const DiscoveryPlaces& places, CandidateList& out);
void addHeroicPrefixes(const DiscoveryPlaces& places, CandidateList& out);
/// PlayOnLinux and Phoenicis: one prefix per subfolder of their prefix folder.
void addFolderPrefixes(const DiscoveryPlaces& places, CandidateList& out);

} // namespace tw::wine
