// Page 2, "Scanreport": the number of problems found, one report row per section with its
// details window, and "Repair Problems".
#pragma once

#include <QWidget>

class QLabel;
class QListWidget;

namespace tw {
struct ScanResult;
}

namespace tw::gui {

class ImageButton;
class TFormProblemList;
struct WindowContext;

class ReportPage : public QWidget
{
    Q_OBJECT
public:
    ReportPage(WindowContext& context, QWidget* parent = nullptr);

    /// Fills the page with a finished scan's report.
    void showReport(const ScanResult& result);

    // Handlers, as the controls call them.
    void suitempRepairListDblClick();
    void SpbRepairClick();
    /// "Ignore" on a report row: after asking, ignores every problem of its section, each by
    /// its value (or key, or file) alone.
    void ignoreSection();

    QLabel* LbShowProblem = nullptr;
    QListWidget* RepairList = nullptr;
    ImageButton* SpbRepair = nullptr;
    /// The details of one report row's section.
    TFormProblemList* ProblemList = nullptr;

signals:
    /// "Repair Problems" with a report to repair; the repair has ended when the call returns.
    void repairRequested();

private:
    /// The counts after problems were ignored; a section left with none leaves the report.
    void refreshCounts();

    WindowContext& m_context;
};

} // namespace tw::gui
