// What the scan and repair commands share: the section list and the add-on list.
#pragma once

#include "Command.h"
#include "scanner/ScanDriver.h"

namespace tw::cli {

/// The sections of "--sections LIST" (all when it is not given). Throws UsageError.
SectionSelection sectionSelection(const Arguments& args);
/// Throws CliError when the add-on list could not be read at start-up.
void requireAddonList(const app::StartedSession& started);

} // namespace tw::cli
