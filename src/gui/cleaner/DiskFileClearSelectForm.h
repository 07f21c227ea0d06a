// TFormDiskFileClearSelect: how the ticked finds are removed, and the outcome of each.
#pragma once

#include "cleaner/CleanJunk.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QRadioButton;
class QStackedWidget;
class QTableView;

namespace tw {
class Session;
}

namespace tw::gui {

class CleanResultModel;
class ImageButton;
class TFormDiskScan;

class TFormDiskFileClearSelect : public QDialog, public CleanView
{
    Q_OBJECT
public:
    /// The pages of NotebookClear.
    enum Page
    {
        ResultsPage = 0,
        OptionsPage = 1
    };

    /// `scan` holds the found files that are cleaned.
    TFormDiskFileClearSelect(Session& session, TFormDiskScan& scan, QWidget* parent = nullptr);

    /// A click on "Move all files in one folder": selects it and asks for the folder.
    void RbMoveClick();
    /// "Excute": the results page, DiskScanState 4, then every ticked find treated. With
    /// "Move all files in one folder" and no folder yet, the folder is asked for first.
    void SpbExcuteClick();

    CleanMode mode() const;

    // CleanView
    void cleanStarted(int maximum) override;
    int addResultRow(const std::string& junkFile) override;
    void setResultStatus(int row, const std::string& status) override;
    void setResultReason(int row, const std::string& reason) override;
    void progressChanged(int position) override;

    CleanResultModel* resultModel() const { return m_results; }

    QStackedWidget* NotebookClear = nullptr;
    QRadioButton* RbDelete = nullptr;
    QRadioButton* RbRecycle = nullptr;
    QRadioButton* RbMove = nullptr;
    QLabel* panJunkMoveFolder = nullptr;
    ImageButton* SpbExcute = nullptr;
    ImageButton* SpbOptionsClose = nullptr;
    QTableView* CleanerListView = nullptr;
    QProgressBar* SuiPgb = nullptr;
    ImageButton* SpbResultsClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Session& m_session;
    TFormDiskScan& m_scan;
    CleanResultModel* m_results;
    QElapsedTimer m_sincePaint;
};

} // namespace tw::gui
