// The Windows system Tidewell runs on: one object of each Win32 platform part.
#pragma once

#include "platform/Platform.h"

#include <memory>

namespace tw::win32 {

class Win32Registry;
class Win32Storage;
class Win32RegistryEditor;
class Win32Files;
class Win32System;
class Win32Shell;
class Win32Installation;
class Win32Processes;
class Win32Programs;
class Win32UrlCache;

class Win32Machine
{
public:
    Win32Machine();
    ~Win32Machine();
    Win32Machine(const Win32Machine&) = delete;
    Win32Machine& operator=(const Win32Machine&) = delete;

    /// Every part but HTTP, which the start-up adds.
    platform::Platform platform();

private:
    std::unique_ptr<Win32Registry> m_registry;
    std::unique_ptr<Win32Storage> m_storage;
    std::unique_ptr<Win32RegistryEditor> m_registryEditor;
    std::unique_ptr<Win32Files> m_files;
    std::unique_ptr<Win32System> m_system;
    std::unique_ptr<Win32Shell> m_shell;
    std::unique_ptr<Win32Installation> m_installation;
    std::unique_ptr<Win32Processes> m_processes;
    std::unique_ptr<Win32Programs> m_programs;
    std::unique_ptr<Win32UrlCache> m_urlCache;
};

} // namespace tw::win32
