// The start-up steps before any window: the elevation flag and the settings.
#pragma once

namespace tw {
class Session;
}

namespace tw::app {

/// Reads and removes the one-shot elevation flag ("vista" under HKCU\Software\Kestrin).
bool ConsumeElevationFlag(const Session& session);

/// The elevated restart on systems with user account control (Windows 6 and later).
/// Returns false when the program has restarted itself and this copy is to end.
bool RunElevationStep(const Session& session);

} // namespace tw::app
