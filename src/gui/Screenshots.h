// Pictures of every page and window, for reviews and the README.
#pragma once

#include "gui/prefixes/PrefixChooserForm.h"

#include <QString>
#include <vector>

namespace tw::gui {

class TMainForm;

/// Scans with every section, then saves a PNG of each page and window into `folder`, and of
/// the prefix chooser listing `prefixes` when there are any. Runs the repair only in memory
/// (no backup, nothing saved). Returns false on a write error.
bool saveScreenshots(TMainForm& window, const QString& folder,
                     const std::vector<PrefixChoiceRow>& prefixes = {});

} // namespace tw::gui
