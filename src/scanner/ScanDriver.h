// The scan driver: from the ticked sections to the outcome grid and the report.
#pragma once

#include "ScanView.h"
#include "SectionTable.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

using SectionSelection = std::array<bool, kSectionCountTotal>;

/// The result of a whole scan.
struct ScanResult
{
    /// "Scan Completed!" or "Scan Aborted!".
    std::string message;
    /// The report list's rows (ReportRowText).
    std::vector<std::string> reportRows;
    int totalProblems = 0;
    /// Findings the ignore list left out.
    int ignored = 0;
};

/// A whole scan as the start control runs it: clears the collections, reads the ignore list,
/// builds one grid row per ticked section, runs them, adds the total row and builds the report
/// (which also fills ReportRowSection).
ScanResult ScanSections(Session& session, const SectionSelection& selection, OutcomeGrid& grid,
                        ScanView& view);

/// The scan loop over the grid rows.
void RunScan(Session& session, OutcomeGrid& grid, ScanView& view);
/// The progress bar position at the start of row `index` of `rows` (0..100, half to even).
int ProgressPosition(int index, int rows);
/// Appends the "Problems Found:" row with the sum of the Problems cells that are not empty.
void AddTotalRow(OutcomeGrid& grid);
/// The number of records in all fifteen collections.
int TotalProblemCount(const Session& session);
/// The report rows of a finished grid; fills the session's ReportRowSection alongside.
std::vector<std::string> BuildReport(Session& session, const OutcomeGrid& grid);
/// One report row: caption + "." + count + " Problem(s)".
std::string ReportRowText(std::string_view caption, int problems);

/// Reads "ScanSetting": all sections ticked when it is "1", none otherwise; `selectAllBox`
/// follows. When the settings key does not open, both stay as they are.
void RestoreScanSelection(const Session& session, SectionSelection& selection, bool& selectAllBox);
void CreateSectionContents(Session& session);
void ClearAllSections(Session& session);

} // namespace tw
