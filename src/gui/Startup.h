// The start-up steps before any window: the elevation flag and the settings.
#pragma once

namespace tw::gui {

/// Reads and removes the one-shot elevation flag ("vista" under HKCU\Software\Kestrin).
bool ConsumeElevationFlag();

/// The elevated restart on systems with user account control (Windows 6 and later).
/// Returns false when the program has restarted itself and this copy is to end.
bool RunElevationStep();

} // namespace tw::gui
