// TMainForm: the main window's frame: header band, navigation, the six pages, the read-only
// banner and the notification-area icon with its menu.
#pragma once

#include "WindowContext.h"
#include "scanner/ScanDriver.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QStackedWidget;
class QSystemTrayIcon;
class QToolButton;

namespace tw::gui {

class BackupPage;
class OptionsPage;
class ReportPage;
class ResultPage;
class ScanProgressPage;
class SectionPage;
class TAboutForm;
class UpdateFlow;

/// What the program hands the window: the prefix for its title, why it is read-only (if it
/// is), and how changes are written at the end of an action (returns an error text).
struct MainFormSetup
{
    QString prefixDescription;
    QString readOnlyReason;
    std::function<QString()> commitChanges;
    Session* session = nullptr;
    /// Settings that read as their defaults (StartedSession::settingsProblems), shown above
    /// the pages.
    std::vector<std::string> settingsProblems;
    /// Offers the other prefixes and opens the one chosen; when set, the header has a
    /// "Switch prefix" link that calls it.
    std::function<void()> switchPrefix;
};

class TMainForm : public QMainWindow
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

    /// Builds the widgets only; it neither reads the settings nor touches the session's
    /// collections. Call restoreState() before the window is used.
    explicit TMainForm(MainFormSetup setup, QWidget* parent = nullptr);
    ~TMainForm() override;

    /// The start-up work of the window: ticks the sections as the settings say and creates
    /// the section collections. The program calls it once, after construction.
    void restoreState();

    /// The window size for a screen, by the size table; the designed size otherwise.
    static QSize windowSizeFor(const QSize& screen);

    // Navigation handlers, as the buttons call them.
    void IgeScanClick();
    void IgBackupClick();
    void IeAdvanceClick();

    int currentPage() const;
    void showPage(Page page);
    Session& session() const { return m_context.session; }
    WindowContext& context() { return m_context; }

    ScanProgressPage* scanProgressPage() const { return m_scanProgress; }
    SectionPage* sectionPage() const { return m_sections; }
    ReportPage* reportPage() const { return m_report; }
    ResultPage* resultPage() const { return m_results; }
    OptionsPage* optionsPage() const { return m_options; }
    BackupPage* backupPage() const { return m_backups; }
    /// The update check of the start-up and of "Online Update".
    UpdateFlow* updateFlow() const { return m_update; }

    QStackedWidget* NotebookScan = nullptr;
    QToolButton* IgeScan = nullptr;
    QToolButton* IgBackup = nullptr;
    QToolButton* IeAdvance = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr;
    QMenu* PopupMenu1 = nullptr;
    TAboutForm* AboutForm = nullptr;
    QLabel* ReadOnlyBanner = nullptr;
    QLabel* SettingsNotice = nullptr;
    /// The header's name of the prefix in use, and the link that switches to another.
    QLabel* PrefixLabel = nullptr;
    QLabel* SwitchPrefixLink = nullptr;

signals:
    /// The program is to end with this exit code ("Exit" in the icon menu).
    void exitRequested(int code);

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader(const QString& prefixDescription);
    /// The banner and the title say whether the prefix is read-only, and why.
    void showReadOnlyState();
    void buildTray();
    /// "Scan Now": the scan page while the scan runs, then the report.
    void scanSections(const SectionSelection& selection);
    /// "Repair Problems": the repair, then its results.
    void repairReport();

    WindowContext m_context;
    QString m_title;
    std::function<void()> m_switchPrefix;
    ScanProgressPage* m_scanProgress = nullptr;
    SectionPage* m_sections = nullptr;
    ReportPage* m_report = nullptr;
    ResultPage* m_results = nullptr;
    OptionsPage* m_options = nullptr;
    BackupPage* m_backups = nullptr;
    UpdateFlow* m_update = nullptr;
};

} // namespace tw::gui
