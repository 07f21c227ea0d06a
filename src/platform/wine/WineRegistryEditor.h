// The registry editor over a Wine prefix: .reg export and import of Windows paths.
#pragma once

#include "WinePlatformOnly.h"

#include "WinePaths.h"
#include "platform/RegFile.h"
#include "platform/RegistryEditor.h"

namespace tw::wine {

class HiveStore;
class WineRegistry;

class WineRegistryEditor final : public platform::RegistryEditor
{
public:
    WineRegistryEditor(WineRegistry& registry, HiveStore& store, const WinePathMapper& paths);

    void exportToFile(std::string_view file, std::string_view key,
                      platform::RegFileFormat format) override;
    void importFile(std::string_view file) override;

    void exportToHostFile(const std::string& hostFile, std::string_view key,
                          platform::RegFileFormat format) override;
    void importHostFile(const std::string& hostFile) override;

private:
    std::string hostPathOf(std::string_view file) const;
    /// Throws RegistryEditorError "line N: ..." for the first key or value the file would
    /// add where no hive of the prefix holds it (below another user's SID).
    void refuseKeysOfNoHive(const std::vector<platform::RegFileOperation>& operations) const;

    WineRegistry& m_registry;
    HiveStore& m_store;
    const WinePathMapper& m_paths;
};

} // namespace tw::wine
