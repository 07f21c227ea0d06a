// One run of the program: the platform in use and the state its routines share.
#pragma once

#include "IgnoreList.h"
#include "RegistryContents.h"
#include "Settings.h"
#include "platform/Platform.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw {

/// Requests to stop long loops: 0 set when a scan starts, 1 "Abort Scan", 2 a history clear
/// runs, 3 the state window's "Cancel".
inline constexpr std::uint8_t kOperationIdle = 0;
inline constexpr std::uint8_t kOperationAbortScan = 1;
inline constexpr std::uint8_t kOperationClearing = 2;
inline constexpr std::uint8_t kOperationCancelRepair = 3;

/// The junk cleaner's state, apart from OperationState: 0 before the first scan, 1 while a
/// scan runs, 2 when a scan was stopped or has finished ("Stop" sets it), 4 once cleaning
/// has started.
inline constexpr std::uint8_t kDiskScanIdle = 0;
inline constexpr std::uint8_t kDiskScanRunning = 1;
inline constexpr std::uint8_t kDiskScanStopped = 2;
inline constexpr std::uint8_t kDiskScanCleaning = 4;

/// An action refused whole before it changed anything; the message says why.
class ChangeRefused : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Built once by each front end (tests build their own) and handed to every routine.
/// The fields keep the program's own names.
class Session
{
public:
    /// `platform` must outlive the session.
    explicit Session(const platform::Platform& platform) : m_platform(platform) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const platform::Platform& platform() const { return m_platform; }
    /// The parts of the platform; each throws std::logic_error when the platform has none.
    platform::Registry& registry() const;
    platform::Files& files() const;
    platform::System& system() const;
    platform::RegistryEditor& registryEditor() const;
    platform::Shell& shell() const;
    platform::Storage& storage() const;
    platform::Http& http() const;
    platform::Installation& installation() const;
    platform::Processes& processes() const;
    platform::Programs& programs() const;
    platform::UrlCache& urlCache() const;

    /// Why nothing of the system may be changed now (Wine runs in the prefix and holds it,
    /// the registry may not be written); empty when changes may be made. Every action that
    /// changes the system's files or registry asks first and changes nothing when refused.
    std::string changeRefusal() const;
    /// changeRefusal(), and why the keys named (full paths such as
    /// "HKEY_LOCAL_MACHINE\\Software\\X") could not be changed now (no administrator rights).
    std::string changeRefusalFor(const std::vector<std::string>& keyPaths) const;
    /// Throws ChangeRefused with the refusal when changes may not be made now.
    void requireChangeable() const;

    /// A stop request for the long loop that runs (kOperation...).
    std::uint8_t OperationState = kOperationIdle;
    /// Entries visited by the deep walks; the status text is refreshed on every 200th.
    int StatusTick = 0;
    /// The settings, filled by LoadSettings or ReadSettings.
    TMyRegistryInfo AppSettings;
    /// Drives (such as "E:") whose paths are left alone.
    std::vector<std::string> ExcludedDrives;
    /// The Windows family: 1 Win32s, 2 Windows 9x, 4 NT; 0 until DetectPlatform ran.
    std::uint8_t PlatformKind = 0;
    /// The fifteen section collections, indexed by section number.
    std::array<TRegistryContents, kSectionCount> SectionContents;
    /// The findings a scan leaves out; read by each scan from the stored list.
    IgnoreList Ignored;
    /// Entry k: the section number of report row k.
    std::vector<int> ReportRowSection;
    /// The junk cleaner's state (kDiskScan...).
    std::uint8_t DiskScanState = kDiskScanIdle;
    /// The add-on list: lines of a name followed by an identifier ("Name{CLSID}").
    std::vector<std::string> MemoActiveX;
    /// The process manager's sort state, shared by its two lists: the comparison kind of the
    /// last sort (0 text, 1 whole number) and one direction flag per column index.
    std::uint8_t ProcessSortKind = 0;
    std::array<bool, 7> ProcessSortFlags{};

private:
    platform::Platform m_platform;
};

/// Empties every section collection.
void ClearSectionContents(Session& session);

} // namespace tw
