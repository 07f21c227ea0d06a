// What a scan shows: the outcome grid, the status text, the progress bar, and the yield.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tw {

/// The Status cell of a section row.
enum class RowStatus
{
    Empty,
    Scanning,
    Finished,
    Aborted,
};

/// The cell's text: "", "Scanning", "Finished" or "Abort Scan".
std::string RowStatusText(RowStatus status);

/// One row of the outcome grid: the section caption, its Problems and Status cells, and the
/// undisplayed section number. Texts are made where the row is shown.
struct OutcomeRow
{
    std::string caption;
    /// The Problems cell; empty until the row starts.
    std::optional<int> problems;
    RowStatus status = RowStatus::Empty;
    /// The section the row runs; -1 for none (the total row).
    int section = -1;
    bool isTotal = false;
    /// How long the row's section ran, on the thread that ran it (zero until it ran), and
    /// whether that was the scan's second thread.
    std::chrono::duration<double> ran{};
    bool ranBeside = false;
    /// Findings of the row that the ignore list left out.
    int ignored = 0;

    /// The Problems cell as shown: the count in decimal, or "" when empty.
    std::string problemsText() const
    {
        return problems ? std::to_string(*problems) : std::string();
    }
    std::string statusText() const { return RowStatusText(status); }
};

struct OutcomeGrid
{
    std::vector<OutcomeRow> rows;
};

/// Implemented by the window, the command line and tests; every call is made on the thread
/// that runs the scan, at the moment the scan changes what it shows.
class ScanView
{
public:
    virtual ~ScanView() = default;
    /// The grid's rows were rebuilt (row -1) or one row's cells changed.
    virtual void gridChanged(int row) { (void)row; }
    virtual void statusChanged(const std::string& text) { (void)text; }
    virtual void progressChanged(int position) { (void)position; }
    /// Lets pending user input run (the abort control among it).
    virtual void yield() {}
    /// True when the scan's own driver asks the sections to end (the window's abort comes
    /// through the session's OperationState).
    virtual bool stopRequested() const { return false; }
};

/// What a repair shows: the state window's label and the result list.
class RepairView
{
public:
    virtual ~RepairView() = default;
    virtual void setLabel(const std::string& text) { (void)text; }
    /// Adds a result row with its "Problems" caption; returns its index.
    virtual int addResultRow(const std::string& problem) = 0;
    virtual void setResultStatus(int row, const std::string& status) = 0;
    virtual void yield() {}
};

} // namespace tw
