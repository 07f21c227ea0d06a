#include "Win32Machine.h"

#include "Win32Files.h"
#include "Win32Installation.h"
#include "Win32Processes.h"
#include "Win32Programs.h"
#include "Win32Registry.h"
#include "Win32RegistryEditor.h"
#include "Win32Shell.h"
#include "Win32System.h"
#include "Win32UrlCache.h"

namespace tw::win32 {

Win32Machine::Win32Machine()
    : m_registry(std::make_unique<Win32Registry>()),
      m_storage(std::make_unique<Win32Storage>(*m_registry)),
      m_registryEditor(std::make_unique<Win32RegistryEditor>(*m_registry)),
      m_files(std::make_unique<Win32Files>()), m_system(std::make_unique<Win32System>()),
      m_shell(std::make_unique<Win32Shell>()),
      m_installation(std::make_unique<Win32Installation>()),
      m_processes(std::make_unique<Win32Processes>()),
      m_programs(std::make_unique<Win32Programs>(*m_storage)),
      m_urlCache(std::make_unique<Win32UrlCache>())
{
}

Win32Machine::~Win32Machine() = default;

platform::Platform Win32Machine::platform()
{
    platform::Platform parts;
    parts.registry = m_registry.get();
    parts.files = m_files.get();
    parts.system = m_system.get();
    parts.registryEditor = m_registryEditor.get();
    parts.shell = m_shell.get();
    parts.storage = m_storage.get();
    parts.installation = m_installation.get();
    parts.processes = m_processes.get();
    parts.programs = m_programs.get();
    parts.urlCache = m_urlCache.get();
    return parts;
}

} // namespace tw::win32
