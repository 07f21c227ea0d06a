// Page 0, "BeginScan": the outcome grid, status text, progress bar and "Abort Scan" of a
// running scan.
#pragma once

#include "scanner/ScanDriver.h"

#include <QElapsedTimer>
#include <QWidget>
#include <optional>

class QLabel;
class QProgressBar;
class QTreeWidget;

namespace tw::gui {

class ImageButton;
struct WindowContext;

class ScanProgressPage : public QWidget, public ScanView
{
    Q_OBJECT
public:
    ScanProgressPage(WindowContext& context, QWidget* parent = nullptr);

    /// Scans the ticked sections, showing each step, and then the end message ("Scan
    /// Completed!" or "Scan Aborted!"). Returns nothing when an error stopped the scan; the
    /// error has been shown.
    std::optional<ScanResult> runScan(const SectionSelection& selection);

    void ImageExAbortClick();

    // ScanView
    void gridChanged(int row) override;
    void statusChanged(const std::string& text) override;
    void progressChanged(int position) override;
    void yield() override;

    QTreeWidget* OutcomeGrid = nullptr;
    QLabel* ScanOutcomePanel = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    ImageButton* ImageExAbort = nullptr;

private:
    WindowContext& m_context;
    /// Since the scan last let the window run.
    QElapsedTimer m_sinceYield;
    ::tw::OutcomeGrid m_grid;
};

} // namespace tw::gui
