// The window, driven as a user would: scan, abort, report, details, repair, backups, tray.
#include "gui/MainForm.h"

#include "app/SessionStart.h"
#include "gui/AboutForm.h"
#include "gui/scanner/ProblemListForm.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/WinePrefix.h"
#include "platform/wine/WineRegistry.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "registry/TRegistry.h"
#include "support/TestSupport.h"

#include <QCheckBox>
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
    QStringList m_messages;
    int m_commits = 0;

    void tick(std::initializer_list<int> sections)
    {
        for (int i = 0; i < m_window->ChLBSection->count(); ++i)
            m_window->ChLBSection->item(i)->setCheckState(Qt::Unchecked);
        for (int n : sections)
            m_window->ChLBSection->item(n)->setCheckState(Qt::Checked);
    }
    QString cell(int row, int column) const
    {
        return m_window->OutcomeGrid->topLevelItem(row)->text(column);
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
        m_prefix = &m_started->prefix();
        m_session = &m_started->session();
        m_messages.clear();
        m_commits = 0;
        setMessageHandler([this](const MessageRequest& request) {
            m_messages << request.text;
            return QMessageBox::Yes;
        });
        MainFormSetup setup;
        setup.prefixDescription = QString::fromStdString(builder.str());
        setup.session = m_session;
        setup.commitChanges = [this]() -> QString {
            ++m_commits;
            m_prefix->save();
            return {};
        };
        m_window = std::make_unique<TMainForm>(setup);
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
        QVERIFY(m_window->ChbSelectAll->isChecked());
        QCOMPARE(m_window->ChLBSection->count(), 15);
        QCOMPARE(m_window->ChLBSection->item(8)->text(), QStringLiteral("Shared Dll     "));
        QVERIFY(m_window->windowTitle().startsWith(QStringLiteral("Tidewell ver 2.0")));
        // The label toggles the box, and the box ticks every section.
        m_window->suitempChbSelectAllClick(true);
        QVERIFY(!m_window->ChbSelectAll->isChecked());
        QCOMPARE(m_window->ChLBSection->item(3)->checkState(), Qt::Unchecked);
    }

    void scanCanBeAbortedFromTheWindow()
    {
        tick({6, 8, 9});
        // The abort button is pressed while the scan lets the window run.
        QTimer::singleShot(0, m_window->ImageExAbort, [this] { m_window->ImageExAbort->click(); });
        m_window->SpbScanNowClick();
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
        QTimer::singleShot(0, m_window.get(), [&] {
            m_window->IgeScanClick();
            m_window->IeAdvanceClick();
            m_window->IgBackupClick();
            pageDuringScan = m_window->currentPage();
        });
        m_window->SpbScanNowClick();
        QCOMPARE(pageDuringScan, int(TMainForm::BeginScan));
        QCOMPARE(m_window->ProgressBar1->value(), 100);
        m_window->IgeScanClick();
        QCOMPARE(m_window->currentPage(), int(TMainForm::Scaning));
    }

    void scanReportDetailsRepair()
    {
        tick({0, 8, 12});
        m_window->SpbScanNowClick();
        QCOMPARE(m_messages.value(0), QStringLiteral("Scan Completed!"));
        QCOMPARE(m_window->LbShowProblem->text(), QStringLiteral("5"));
        QCOMPARE(m_window->RepairList->count(), 3);
        QCOMPARE(m_window->RepairList->item(1)->text(),
                 QStringLiteral("Shared Dll     .3 Problem(s)"));
        QCOMPARE(m_window->OutcomeGrid->topLevelItemCount(), 4);
        QCOMPARE(cell(3, 0), QStringLiteral("Problems Found:"));
        QCOMPARE(cell(3, 1), QStringLiteral("5"));

        // Details of Shared Dll: deselect all, select all, then untick the first row alone.
        m_window->RepairList->setCurrentRow(1);
        QTimer::singleShot(0, m_window->ProblemList, [this] {
            TFormProblemList* details = m_window->ProblemList;
            QCOMPARE(details->problemsListBox()->count(), 3);
            details->deselectAllButton()->click();
            QVERIFY(!m_session->SectionContents[8].Items(2).Content.Checked);
            details->selectAllButton()->click();
            QVERIFY(m_session->SectionContents[8].Items(2).Content.Checked);
            details->problemsListBox()->item(0)->setCheckState(Qt::Unchecked);
            details->closeButton()->click();
        });
        m_window->suitempRepairListDblClick();
        QVERIFY(!m_session->SectionContents[8].Items(0).Content.Checked);
        QVERIFY(m_session->SectionContents[8].Items(1).Content.Checked);

        m_messages.clear();
        m_window->SpbRepairClick();
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_messages[0].startsWith(QStringLiteral("Tidewell will automatically backup")));
        QCOMPARE(m_messages[1], QStringLiteral("Repair Completed!"));
        QCOMPARE(m_window->currentPage(), int(TMainForm::FinishScan));
        QCOMPARE(m_window->FinishListView->topLevelItemCount(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(m_window->FinishListView->topLevelItem(i)->text(1),
                     QStringLiteral("Repair Succeed"));
        QVERIFY(m_commits >= 1);

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
        QCOMPARE(m_window->BackupDataListView->topLevelItemCount(), 0);
        m_window->SpbRestoreClick();
        m_window->SpdRemoveClick();
        QCOMPARE(m_messages,
                 QStringList({"You not select registry item!", "You not select registry item!"}));

        m_messages.clear();
        m_window->SpbBackRegClick();
        QCOMPARE(m_messages.value(0), QStringLiteral("Backup registry successfuly!"));
        QCOMPARE(m_window->BackupDataListView->topLevelItemCount(), 1);
        const QString path = m_window->BackupDataListView->topLevelItem(0)->text(1);
        QVERIFY(path.startsWith(
            QStringLiteral("C:\\Program Files\\Tidewell\\AllRegBack\\Full Registry Backup_")));

        m_window->BackupDataListView->setCurrentItem(m_window->BackupDataListView->topLevelItem(0));
        m_messages.clear();
        m_window->SpbRestoreClick();
        QCOMPARE(m_messages, QStringList({"Are you want to restore registry now?",
                                          "Restore registry successfuly!"}));
        m_messages.clear();
        m_window->SpdRemoveClick();
        QCOMPARE(m_messages, QStringList({"Are you want to remove registry now?",
                                          "Backup file remove successfuly!"}));
        QCOMPARE(m_window->BackupDataListView->topLevelItemCount(), 0);
        QVERIFY(!m_session->files().fileExists(path.toStdString()));
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
        ImageButton* button = m_window->SpbRepair;
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
