// The window, driven as a user would: scan, abort, report, details, repair, backups, tray.
#include "gui/MainForm.h"

#include "app/SessionStart.h"
#include "app/WineStart.h"
#include "gui/AboutForm.h"
#include "gui/ToolTable.h"
#include "gui/pages/BackupPage.h"
#include "gui/pages/OptionsPage.h"
#include "gui/pages/ReportPage.h"
#include "gui/pages/ResultPage.h"
#include "gui/pages/ScanProgressPage.h"
#include "gui/pages/SectionPage.h"
#include "gui/scanner/ProblemListForm.h"
#include "gui/widgets/ClickLabel.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "registry/TRegistry.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <map>

using namespace tw;
using namespace tw::gui;

namespace {

const char* kProblems = R"hive(
[Software\\Microsoft\\Windows NT\\CurrentVersion] 1
"SystemRoot"="C:\\windows"
"CurrentVersion"="6.1"

[Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe] 1
@="C:\\Gone\\gone.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls] 1
"C:\\Lib\\a.dll"=dword:00000001
"C:\\Lib\\b.dll"=dword:00000001
"C:\\Lib\\c.dll"=dword:00000001

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone] 1
"UninstallString"="C:\\Gone\\un.exe"
)hive";

/// A tool window that notes how it was opened and closes itself at once.
class ProbeWindow : public QDialog
{
public:
    ProbeWindow(WindowContext& context, QWidget* parent) : QDialog(parent)
    {
        session = &context.session;
        ++alive;
    }
    ~ProbeWindow() override { --alive; }
    static inline Session* session = nullptr;
    static inline bool shownModal = false;
    static inline int alive = 0;
    static inline int shown = 0;

protected:
    void showEvent(QShowEvent* event) override
    {
        QDialog::showEvent(event);
        shownModal = isModal();
        ++shown;
        QTimer::singleShot(0, this, &QDialog::accept);
    }
};

} // namespace

class MainFormTest : public QObject
{
    Q_OBJECT

private:
    test::TempDir* m_dir = nullptr;
    std::unique_ptr<app::StartedSession> m_started;
    wine::WinePrefix* m_prefix = nullptr;
    Session* m_session = nullptr;
    std::unique_ptr<TMainForm> m_window;
    MainFormSetup m_setup;
    QStringList m_messages;
    int m_commits = 0;

    SectionPage* sections() const { return m_window->sectionPage(); }
    ScanProgressPage* progress() const { return m_window->scanProgressPage(); }
    ReportPage* report() const { return m_window->reportPage(); }
    ResultPage* results() const { return m_window->resultPage(); }
    BackupPage* backups() const { return m_window->backupPage(); }

    void tick(std::initializer_list<int> numbers)
    {
        for (int i = 0; i < sections()->ChLBSection->count(); ++i)
            sections()->ChLBSection->item(i)->setCheckState(Qt::Unchecked);
        for (int n : numbers)
            sections()->ChLBSection->item(n)->setCheckState(Qt::Checked);
    }
    QString cell(int row, int column) const
    {
        return progress()->OutcomeGrid->topLevelItem(row)->text(column);
    }

private slots:
    void init()
    {
        m_dir = new test::TempDir;
        test::PrefixBuilder builder(m_dir->path() / "prefix");
        builder.systemHive(kProblems).userHive("\n[Software\\\\Tidewell] 1\n\"SelectAll\"=\"1\"\n"
                                               "\"ScanSetting\"=\"1\"\n");
        // The window's own start-up: settings loaded (and written), drives, add-on list.
        m_started = app::startSession({builder.str(), app::SettingsMode::Load});
        m_prefix = &app::winePrefix(*m_started);
        m_session = &m_started->session();
        m_messages.clear();
        m_commits = 0;
        setMessageHandler([this](const MessageRequest& request) {
            m_messages << request.text;
            return QMessageBox::Yes;
        });
        m_setup = {};
        m_setup.prefixDescription = QString::fromStdString(builder.str());
        m_setup.session = m_session;
        m_setup.commitChanges = [this]() -> QString {
            ++m_commits;
            m_prefix->save();
            return {};
        };
        m_window = std::make_unique<TMainForm>(m_setup);
        m_window->restoreState();
        m_window->show();
    }

    void cleanup()
    {
        m_window.reset();
        setMessageHandler({});
        m_started.reset();
        delete m_dir;
        m_dir = nullptr;
    }

    void startsOnTheSectionPageWithTheStoredSelection()
    {
        QCOMPARE(m_window->currentPage(), int(TMainForm::Scaning));
        QVERIFY(sections()->ChbSelectAll->isChecked());
        QCOMPARE(sections()->ChLBSection->count(), 15);
        QCOMPARE(sections()->ChLBSection->item(8)->text(), QStringLiteral("Shared Dll     "));
        QVERIFY(m_window->windowTitle().startsWith(QStringLiteral("Tidewell ver 2.0")));
        // The label toggles the box, and the box ticks every section.
        sections()->suitempChbSelectAllClick(true);
        QVERIFY(!sections()->ChbSelectAll->isChecked());
        QCOMPARE(sections()->ChLBSection->item(3)->checkState(), Qt::Unchecked);
    }

    void aSettingThatIsNotTextIsShownAndTheStartGoesOn()
    {
        test::TempDir dir;
        test::PrefixBuilder builder(dir.path() / "prefix");
        builder.userHive("\n[Software\\\\Tidewell] 1\n\"CheckUpdate\"=dword:00000000\n"
                         "\"ScanSetting\"=dword:00000000\n\"SelectAll\"=\"1\"\n");
        const auto started = app::startSession({builder.str(), app::SettingsMode::Load});
        QVERIFY(started->session().AppSettings.CheckUpdate);
        QCOMPARE(started->settingsProblems.size(), size_t(2));
        MainFormSetup setup;
        setup.session = &started->session();
        setup.settingsProblems = started->settingsProblems;
        TMainForm window(setup);
        window.restoreState();
        window.show();
        QVERIFY(window.SettingsNotice->isVisible());
        const QStringList lines = window.SettingsNotice->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith(QStringLiteral("The setting CheckUpdate under "
                                                   "HKEY_CURRENT_USER\\Software\\Tidewell is a "
                                                   "REG_DWORD, not text")));
        QVERIFY(lines[1].startsWith(QStringLiteral("The setting ScanSetting ")));
        // Nothing waits for an answer.
        QVERIFY(m_messages.isEmpty());
        // The main window of init() has no such line.
        QVERIFY(!m_window->SettingsNotice->isVisible());
    }

    void stateIsRestoredOnlyWhenAsked()
    {
        tick({8});
        sections()->SpbScanNowClick();
        QCOMPARE(m_session->SectionContents[8].Count(), 3);
        // A window just built has read no setting and left the collections alone.
        TMainForm fresh(m_setup);
        QVERIFY(!fresh.sectionPage()->ChbSelectAll->isChecked());
        QCOMPARE(fresh.sectionPage()->ChLBSection->item(3)->checkState(), Qt::Unchecked);
        QCOMPARE(m_session->SectionContents[8].Count(), 3);
        fresh.restoreState();
        QVERIFY(fresh.sectionPage()->ChbSelectAll->isChecked());
        QCOMPARE(fresh.sectionPage()->ChLBSection->item(3)->checkState(), Qt::Checked);
        QCOMPARE(m_session->SectionContents[8].Count(), 0);
    }

    void scanCanBeAbortedFromTheWindow()
    {
        tick({6, 8, 9});
        // The abort button is pressed while the scan lets the window run.
        QTimer::singleShot(0, progress()->ImageExAbort,
                           [this] { progress()->ImageExAbort->click(); });
        sections()->SpbScanNowClick();
        QCOMPARE(m_messages.value(0), QStringLiteral("Scan Aborted!"));
        // Help Files has no key to walk and finishes; Shared Dll lets the window run first.
        QCOMPARE(cell(0, 2), QStringLiteral("Finished"));
        QCOMPARE(cell(1, 2), QStringLiteral("Abort Scan"));
        QCOMPARE(cell(2, 1), QString());
        QCOMPARE(cell(2, 2), QString());
        QCOMPARE(m_window->currentPage(), int(TMainForm::Scanreport));
    }

    void navigationIsRefusedWhileScanning()
    {
        tick({8});
        int pageDuringScan = -1;
        bool abortableDuringScan = false;
        QVERIFY2(!progress()->ImageExAbort->isEnabled(), "no scan to abort yet");
        QTimer::singleShot(0, m_window.get(), [&] {
            abortableDuringScan = progress()->ImageExAbort->isEnabled();
            m_window->IgeScanClick();
            m_window->IeAdvanceClick();
            m_window->IgBackupClick();
            pageDuringScan = m_window->currentPage();
        });
        sections()->SpbScanNowClick();
        QCOMPARE(pageDuringScan, int(TMainForm::BeginScan));
        QCOMPARE(progress()->ProgressBar1->value(), 100);
        QVERIFY(abortableDuringScan);
        QVERIFY2(!progress()->ImageExAbort->isEnabled(), "a finished scan offers no abort");
        m_window->IgeScanClick();
        QCOMPARE(m_window->currentPage(), int(TMainForm::Scaning));
    }

    void ignoredProblemsLeaveTheListAndLaterScans()
    {
        tick({0, 8, 12});
        sections()->SpbScanNowClick();
        QCOMPARE(report()->LbShowProblem->text(), QStringLiteral("5"));

        // Details of Shared Dll: "Ignore" on the second row asks value or key; Yes: the value.
        report()->RepairList->setCurrentRow(1);
        int rowsAfter = -1;
        int rowsAfterCancel = -1;
        QTimer::singleShot(0, report()->ProblemList, [&] {
            TFormProblemList* details = report()->ProblemList;
            details->problemsListBox()->setCurrentRow(1);
            // Cancel stores nothing and keeps the row.
            setMessageHandler([](const MessageRequest&) { return QMessageBox::Cancel; });
            details->ignoreButton()->click();
            rowsAfterCancel = details->problemsListBox()->count();
            setMessageHandler([this](const MessageRequest& request) {
                m_messages << request.text;
                return QMessageBox::Yes;
            });
            details->ignoreButton()->click();
            rowsAfter = details->problemsListBox()->count();
            details->closeButton()->click();
        });
        report()->suitempRepairListDblClick();
        QCOMPARE(rowsAfterCancel, 3);
        QCOMPARE(rowsAfter, 2);
        QCOMPARE(m_messages.size(), 2);
        QVERIFY2(
            m_messages[1].startsWith(QStringLiteral("Ignore only the value \"C:\\Lib\\b.dll\"")),
            qPrintable(m_messages[1]));
        QCOMPARE(m_session->SectionContents[8].Count(), 2);
        QCOMPARE(m_session->SectionContents[8].Items(1).Content.ValueName,
                 std::string("C:\\Lib\\c.dll"));
        QCOMPARE(report()->RepairList->item(1)->text(),
                 QStringLiteral("Shared Dll     .2 Problem(s)"));
        QCOMPARE(report()->LbShowProblem->text(), QStringLiteral("4"));

        // The report's own "Ignore" takes a whole section's problems, and its row, away.
        report()->RepairList->setCurrentRow(2);
        report()->ignoreSection();
        QCOMPARE(report()->RepairList->count(), 2);
        QCOMPARE(report()->LbShowProblem->text(), QStringLiteral("3"));
        QCOMPARE(m_session->ReportRowSection, (std::vector<int>{0, 8}));

        // Stored and saved: a fresh start reads them, and a new scan leaves them out.
        QVERIFY(!m_prefix->hasUnsavedChanges());
        const std::string user = test::readFile(m_dir->path() / "prefix" / "user.reg");
        QVERIFY2(
            user.find("\"1\"=\"value:HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\"
                      "CurrentVersion\\\\SharedDlls\\\\\\\\C:\\\\Lib\\\\b.dll\"") !=
                std::string::npos,
            user.c_str());
        m_messages.clear();
        sections()->SpbScanNowClick();
        QCOMPARE(report()->LbShowProblem->text(), QStringLiteral("3"));
        QCOMPARE(report()->RepairList->count(), 2);
    }

    void scanReportDetailsRepair()
    {
        tick({0, 8, 12});
        sections()->SpbScanNowClick();
        QCOMPARE(m_messages.value(0), QStringLiteral("Scan Completed!"));
        QCOMPARE(report()->LbShowProblem->text(), QStringLiteral("5"));
        QCOMPARE(report()->RepairList->count(), 3);
        QCOMPARE(report()->RepairList->item(1)->text(),
                 QStringLiteral("Shared Dll     .3 Problem(s)"));
        // Readable: five sections fit in the list, and a selected row is a light highlight
        // under dark text.
        QListWidget* list = report()->RepairList;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QVERIFY2(5 * list->sizeHintForRow(0) <= list->viewport()->height(),
                 qPrintable(QString::number(list->sizeHintForRow(0))));
        list->setCurrentRow(0);
        const QRect selected = list->visualItemRect(list->item(0));
        const QImage shown = list->viewport()->grab().toImage();
        QVERIFY(qGray(shown.pixel(selected.right() - 4, selected.bottom() - 3)) > 180);
        list->setCurrentRow(-1);
        QCOMPARE(progress()->OutcomeGrid->topLevelItemCount(), 4);
        QCOMPARE(cell(3, 0), QStringLiteral("Problems Found:"));
        QCOMPARE(cell(3, 1), QStringLiteral("5"));

        // Details of Shared Dll: deselect all, select all, then untick the first row alone.
        report()->RepairList->setCurrentRow(1);
        QTimer::singleShot(0, report()->ProblemList, [this] {
            TFormProblemList* details = report()->ProblemList;
            QCOMPARE(details->problemsListBox()->count(), 3);
            details->deselectAllButton()->click();
            QVERIFY(!m_session->SectionContents[8].Items(2).Content.Checked);
            details->selectAllButton()->click();
            QVERIFY(m_session->SectionContents[8].Items(2).Content.Checked);
            details->problemsListBox()->item(0)->setCheckState(Qt::Unchecked);
            details->closeButton()->click();
        });
        report()->suitempRepairListDblClick();
        QVERIFY(!m_session->SectionContents[8].Items(0).Content.Checked);
        QVERIFY(m_session->SectionContents[8].Items(1).Content.Checked);

        m_messages.clear();
        report()->SpbRepairClick();
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_messages[0].startsWith(QStringLiteral("Tidewell will automatically backup")));
        QCOMPARE(m_messages[1], QStringLiteral("Repair Completed!"));
        QCOMPARE(m_window->currentPage(), int(TMainForm::FinishScan));
        QCOMPARE(results()->FinishListView->topLevelItemCount(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(results()->FinishListView->topLevelItem(i)->text(1),
                     QStringLiteral("Repair Succeed"));
        QVERIFY2(!m_prefix->hasUnsavedChanges(), "the repair saved what it changed");

        // What was repaired is written to the hive; the unticked record stays.
        wine::WinePrefix reread(m_prefix->hostPath());
        platform::KeyHandle key(reread.registry());
        QCOMPARE(
            reread.registry().openKey(win::HKEY_LOCAL_MACHINE,
                                      "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                                      win::KEY_READ, key.out()),
            win::ERROR_SUCCESS);
        QCOMPARE(reread.registry().queryValue(key.get(), "C:\\Lib\\a.dll", nullptr, nullptr),
                 win::ERROR_SUCCESS);
        QCOMPARE(reread.registry().queryValue(key.get(), "C:\\Lib\\b.dll", nullptr, nullptr),
                 win::ERROR_FILE_NOT_FOUND);
    }

    void backupPageListsRestoresAndRemoves()
    {
        m_window->IgBackupClick();
        QCOMPARE(m_window->currentPage(), int(TMainForm::BackReg));
        QCOMPARE(backups()->BackupDataListView->topLevelItemCount(), 0);
        backups()->SpbRestoreClick();
        backups()->SpdRemoveClick();
        QCOMPARE(m_messages,
                 QStringList({"You not select registry item!", "You not select registry item!"}));

        m_messages.clear();
        backups()->SpbBackRegClick();
        QCOMPARE(m_messages.value(0), QStringLiteral("Backup registry successfully!"));
        QCOMPARE(backups()->BackupDataListView->topLevelItemCount(), 1);
        const QString path = backups()->BackupDataListView->topLevelItem(0)->text(1);
        QVERIFY(path.startsWith(
            QStringLiteral("C:\\Program Files\\Tidewell\\AllRegBack\\Full Registry Backup_")));
        // The time is shown whole; the path, cut in its middle when it must be, in full on hover.
        QTreeWidget* list = backups()->BackupDataListView;
        QVERIFY(list->header()->sectionSize(0) >=
                list->fontMetrics().horizontalAdvance(list->topLevelItem(0)->text(0)));
        QCOMPARE(list->topLevelItem(0)->toolTip(1), path);

        backups()->BackupDataListView->setCurrentItem(
            backups()->BackupDataListView->topLevelItem(0));
        m_messages.clear();
        backups()->SpbRestoreClick();
        QCOMPARE(m_messages, QStringList({"Are you want to restore registry now?",
                                          "Restore registry successfully!"}));
        m_messages.clear();
        backups()->SpdRemoveClick();
        QCOMPARE(m_messages, QStringList({"Are you want to remove registry now?",
                                          "Backup file remove successfully!"}));
        QCOMPARE(backups()->BackupDataListView->topLevelItemCount(), 0);
        QVERIFY(!m_session->files().fileExists(path.toStdString()));
    }

    void besideRunningWineTheRepairFailsAndSaysWhy()
    {
        const std::string prefix = m_prefix->hostPath();
        m_window.reset();
        m_started.reset();
        const std::map<std::string, std::string> env = {{"WINEPREFIX", prefix},
                                                        {"WINEDEBUG", "-all"}};
        QCOMPARE(test::runProcess({"wineserver", "-p"}, env).exitCode, 0);
        struct StopServer
        {
            std::map<std::string, std::string> env;
            ~StopServer()
            {
                test::runProcess({"wineserver", "-k"}, env);
                test::runProcess({"wineserver", "-w"}, env);
            }
        } stop{env};
        m_started = app::startSession({prefix, app::SettingsMode::Load});
        m_prefix = &app::winePrefix(*m_started);
        m_session = &m_started->session();
        QVERIFY(m_prefix->isReadOnly());
        m_setup.session = m_session;
        m_setup.readOnlyReason = QString::fromStdString(m_prefix->readOnlyReason());
        m_window = std::make_unique<TMainForm>(m_setup);
        m_window->restoreState();
        m_window->show();
        QVERIFY(m_window->windowTitle().endsWith(QStringLiteral("(read-only)")));
        QCOMPARE(m_window->ReadOnlyBanner->text(), m_setup.readOnlyReason);

        tick({8});
        sections()->SpbScanNowClick();
        QCOMPARE(report()->RepairList->count(), 1);
        m_messages.clear();
        report()->SpbRepairClick();
        // Refused whole before anything changes: no backup notice, no rows, and the reason.
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].startsWith(QStringLiteral("Nothing was repaired.")));
        QVERIFY(m_messages[0].contains(QStringLiteral("wineserver -k")));
        QCOMPARE(m_window->currentPage(), int(TMainForm::Scanreport));
        QCOMPARE(results()->FinishListView->topLevelItemCount(), 0);
        QCOMPARE(m_commits, 0);
        QVERIFY(!std::filesystem::exists(std::filesystem::path(prefix) /
                                         "drive_c/Program Files/Tidewell"));

        // Once Wine has ended the window says so and the repair goes through.
        QVERIFY(m_window->ReadOnlyBanner->isVisible());
        test::runProcess({"wineserver", "-k"}, env);
        test::runProcess({"wineserver", "-w"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->ReadOnlyBanner->isVisible(), 5000);
        QVERIFY(!m_window->windowTitle().endsWith(QStringLiteral("(read-only)")));
        QVERIFY(!m_prefix->isReadOnly());
        m_messages.clear();
        report()->SpbRepairClick();
        QCOMPARE(m_window->currentPage(), int(TMainForm::FinishScan));
        QVERIFY(results()->FinishListView->topLevelItemCount() > 0);
        QVERIFY(!m_prefix->hasUnsavedChanges());
        QVERIFY(std::filesystem::exists(std::filesystem::path(prefix) /
                                        "drive_c/Program Files/Tidewell"));
    }

    void toolLinksOpenTheirWindowOrSayItIsNotThereYet()
    {
        static const ToolRow rows[] = {
            {"Probe Tool", "P", qRgb(30, 110, 200), &toolWindow<ProbeWindow>},
            {"Later Tool", "L", qRgb(30, 110, 200), nullptr},
        };
        WindowContext context{*m_session, {}, {}, {}};
        OptionsPage page(context, rows);
        page.show();
        const QList<ClickLabel*> links = page.findChildren<ClickLabel*>(QStringLiteral("toolLink"));
        QCOMPARE(links.size(), 2);
        QCOMPARE(links[1]->text(), QStringLiteral("Later Tool"));
        QTest::mouseClick(links[1], Qt::LeftButton);
        QCOMPARE(m_messages,
                 QStringList({"Later Tool is not available in this version of Tidewell yet."}));
        // The window is made at the first opening, shown modally, and kept: the second
        // opening shows the same window again; it goes with the window that owns it.
        {
            QWidget owner;
            OptionsPage ownedPage(context, rows, &owner);
            const QList<ClickLabel*> ownedLinks =
                ownedPage.findChildren<ClickLabel*>(QStringLiteral("toolLink"));
            QTest::mouseClick(ownedLinks[0], Qt::LeftButton);
            QVERIFY(ProbeWindow::shownModal);
            QCOMPARE(ProbeWindow::session, m_session);
            QCOMPARE(ProbeWindow::alive, 1);
            QTest::mouseClick(ownedLinks[0], Qt::LeftButton);
            QCOMPARE(ProbeWindow::alive, 1);
            QCOMPARE(ProbeWindow::shown, 2);
        }
        QCOMPARE(ProbeWindow::alive, 0);
        QCOMPARE(m_messages.size(), 1);
        // The real page has a link for each tool of the table.
        QCOMPARE(
            m_window->optionsPage()->findChildren<ClickLabel*>(QStringLiteral("toolLink")).size(),
            int(optionTools().size()));
    }

    void trayMenuActions()
    {
        const QList<QAction*> actions = m_window->PopupMenu1->actions();
        QStringList texts;
        for (QAction* action : actions)
            texts << action->text();
        QCOMPARE(texts, QStringList({"Tidewell", "", "Home Page", "Help", "Online Update", "",
                                     "About", "", "Exit"}));
        actions[6]->trigger();
        QVERIFY(m_window->AboutForm->isVisible());
        QCOMPARE(m_window->AboutForm->versionLabel()->text(), QStringLiteral("Tidewell ver 2.0"));
        m_window->showMinimized();
        QTRY_VERIFY(!m_window->isVisible());
        QVERIFY(m_window->TrayIcon->isVisible());
        actions[0]->trigger();
        QVERIFY(m_window->isVisible());
        QSignalSpy exits(m_window.get(), &TMainForm::exitRequested);
        actions[8]->trigger();
        QCOMPARE(exits.count(), 1);
        QCOMPARE(exits.at(0).at(0).toInt(), 1);
        QVERIFY(!m_window->TrayIcon->isVisible());
    }

    void windowSizeFollowsTheScreenTable()
    {
        QCOMPARE(TMainForm::windowSizeFor({1024, 768}), QSize(716, 499));
        QCOMPARE(TMainForm::windowSizeFor({800, 600}), QSize(704, 462));
        QCOMPARE(TMainForm::windowSizeFor({1920, 1080}), QSize(692, 439));
    }

    void imageButtonsPaintTheirCaptionAndSwapOnHover()
    {
        ImageButton* button = report()->SpbRepair;
        QCOMPARE(button->size(), QSize(152, 25));
        const QImage normal = button->grab().toImage();
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(button, &enter);
        QVERIFY(button->isHighlighted());
        QVERIFY(button->grab().toImage() != normal);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        QVERIFY(!button->isHighlighted());
        QCOMPARE(button->grab().toImage(), normal);
        // The caption's blue is on the face.
        bool blue = false;
        for (int x = 0; x < normal.width() && !blue; ++x)
            for (int y = 0; y < normal.height() && !blue; ++y)
                blue = normal.pixelColor(x, y) == QColor(0, 99, 198);
        QVERIFY(blue);
    }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
