// .reg export and import over the live registry and Windows file paths.
#pragma once

#include "platform/RegistryEditor.h"

namespace tw::win32 {

class Win32Registry;

class Win32RegistryEditor : public platform::RegistryEditor
{
public:
    explicit Win32RegistryEditor(Win32Registry& registry);

    void exportToFile(std::string_view file, std::string_view key,
                      platform::RegFileFormat format = platform::RegFileFormat::Unicode) override;
    void importFile(std::string_view file) override;
    void
    exportToHostFile(const std::string& hostFile, std::string_view key,
                     platform::RegFileFormat format = platform::RegFileFormat::Unicode) override;
    void importHostFile(const std::string& hostFile) override;

private:
    Win32Registry& m_registry;
};

} // namespace tw::win32
