// Pictures of every page and window, for reviews and the README.
#pragma once

#include <QString>

namespace tw::gui {

class TMainForm;

/// Scans with every section, then saves a PNG of each page and window into `folder`.
/// Runs the repair only in memory (no backup, nothing saved). Returns false on a write error.
bool saveScreenshots(TMainForm& window, const QString& folder);

} // namespace tw::gui
