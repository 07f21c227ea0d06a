#include "SaveRecord.h"

#include "AtomicFile.h"
#include "FileIdentity.h"

#include <fstream>
#include <map>
#include <string_view>

namespace tw::wine {

namespace {

constexpr std::string_view kRecordName = ".tidewell.saved";

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// File name to identity text, one "name<TAB>identity" line each.
std::map<std::string, std::string> readRecord(const std::string& folder)
{
    std::map<std::string, std::string> entries;
    std::ifstream in(folder + "/" + std::string(kRecordName));
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos)
            entries[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return entries;
}

} // namespace

void recordSave(const std::string& folder, const std::vector<std::string>& files)
{
    std::map<std::string, std::string> entries = readRecord(folder);
    for (const std::string& file : files)
        entries[baseName(file)] = FileIdentity::of(file).toText();
    std::string text;
    for (const auto& [name, identity] : entries)
        text += name + '\t' + identity + '\n';
    try {
        writeFileAtomically(folder + "/" + std::string(kRecordName), text);
    } catch (const std::exception&) {
        // Messages name the writer less precisely without it.
    }
}

void removeStaleRecordFiles(const std::string& folder)
{
    removeTemporaryFilesOf(folder, {std::string(kRecordName)});
}

bool savedByTidewell(const std::string& folder, const std::string& file)
{
    const std::map<std::string, std::string> entries = readRecord(folder);
    const auto found = entries.find(baseName(file));
    if (found == entries.end())
        return false;
    const std::optional<FileIdentity> saved = FileIdentity::fromText(found->second);
    return saved && *saved == FileIdentity::of(file);
}

} // namespace tw::wine
