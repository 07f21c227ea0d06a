// What a scan shows: the outcome grid, the status text, the progress bar, and the yield.
#pragma once

#include <string>
#include <vector>

namespace tw {

/// One row of the outcome grid: the section caption and its Problems and Status cells, and
/// the undisplayed section number text.
struct OutcomeRow
{
    std::string caption;
    std::string problems;
    std::string status;
    std::string section;
    bool isTotal = false;
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
