// TMainForm: the main window with its six pages, navigation and notification-area icon.
#pragma once

#include "platform/System.h"
#include "scanner/ScanDriver.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QStackedWidget;
class QSystemTrayIcon;
class QToolButton;
class QTreeWidget;

namespace tw::gui {

class ImageButton;
class TAboutForm;
class TFormProblemList;

/// What the program hands the window: the prefix for its title, why it is read-only (if it
/// is), and how changes are written at the end of an action (returns an error text).
struct MainFormSetup
{
    QString prefixDescription;
    QString readOnlyReason;
    std::function<QString()> commitChanges;
    Session* session = nullptr;
};

class TMainForm : public QMainWindow, public ScanView
{
    Q_OBJECT
public:
    enum Page
    {
        BeginScan = 0,
        Scaning,
        Scanreport,
        FinishScan,
        Options,
        BackReg
    };

    explicit TMainForm(MainFormSetup setup, QWidget* parent = nullptr);
    ~TMainForm() override;

    /// The window size for a screen, by the size table; the designed size otherwise.
    static QSize windowSizeFor(const QSize& screen);

    // Handlers, as the buttons call them.
    void SpbScanNowClick();
    void ImageExAbortClick();
    void SpbRepairClick();
    void IgeScanClick();
    void IgBackupClick();
    void IeAdvanceClick();
    void SpbBackRegClick();
    void SpbRestoreClick();
    void SpdRemoveClick();
    void suitempRepairListDblClick();
    void suitempChbSelectAllClick(bool fromLabel);

    // ScanView
    void gridChanged(int row) override;
    void statusChanged(const std::string& text) override;
    void progressChanged(int position) override;
    void yield() override;

    int currentPage() const;
    Session& session() const { return m_session; }
    void showPage(Page page);

    // The controls, for tests and screenshots.
    QStackedWidget* NotebookScan = nullptr;
    QTreeWidget* OutcomeGrid = nullptr;
    QLabel* ScanOutcomePanel = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    ImageButton* ImageExAbort = nullptr;
    QListWidget* ChLBSection = nullptr;
    QCheckBox* ChbSelectAll = nullptr;
    QLabel* LbSelectAll = nullptr;
    ImageButton* IgxPreferences = nullptr;
    ImageButton* IgxHelp = nullptr;
    QToolButton* IgeScanNow = nullptr;
    QLabel* LbShowProblem = nullptr;
    QListWidget* RepairList = nullptr;
    ImageButton* SpbRepair = nullptr;
    QTreeWidget* FinishListView = nullptr;
    QTreeWidget* BackupDataListView = nullptr;
    ImageButton* SpbBackReg = nullptr;
    ImageButton* SpbRestore = nullptr;
    ImageButton* SpdRemove = nullptr;
    QToolButton* IgeScan = nullptr;
    QToolButton* IgBackup = nullptr;
    QToolButton* IeAdvance = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr;
    QMenu* PopupMenu1 = nullptr;
    TFormProblemList* ProblemList = nullptr;
    TAboutForm* AboutForm = nullptr;
    QLabel* ReadOnlyBanner = nullptr;

    /// Runs the repair with the backup skipped (screenshots, which must not write).
    void repairWithoutBackup();

signals:
    /// The program is to end with this exit code ("Exit" in the icon menu).
    void exitRequested(int code);

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildScanPage();
    QWidget* buildSectionPage();
    QWidget* buildReportPage();
    QWidget* buildResultPage();
    QWidget* buildOptionsPage();
    QWidget* buildBackupPage();
    void buildTray();
    void showReport(const ScanResult& result);
    void fillBackupList();
    void addBackupRow(const std::string& path, const tw::platform::SystemTime& time);
    void runRepair(bool skipBackup);
    void commit();
    /// Runs a user action; an error that escapes it is shown and the window goes on.
    void guarded(const std::function<void()>& action);

    MainFormSetup m_setup;
    Session& m_session;
    /// Since the scan last let the window run.
    QElapsedTimer m_sinceYield;
    ::tw::OutcomeGrid m_grid;
};

} // namespace tw::gui
