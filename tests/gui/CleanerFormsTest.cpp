// The disk cleaner's windows, driven as a user would: types, drives, scan, Stop, clean.
#include "app/SessionStart.h"
#include "cleaner/JunkFileTypes.h"
#include "gui/MainForm.h"
#include "gui/cleaner/CleanerViews.h"
#include "gui/cleaner/DiskFileClearSelectForm.h"
#include "gui/cleaner/DiskScanForm.h"
#include "gui/cleaner/JunkModels.h"
#include "gui/cleaner/JunkOptionForm.h"
#include "gui/cleaner/SysDiskClearForm.h"
#include "gui/cleaner/TemporaryFileForm.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/WinePrefix.h"
#include "registry/Session.h"
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>

using namespace tw;
using namespace tw::gui;
namespace fs = std::filesystem;

namespace {

struct Message
{
    QString caption;
    QString text;
};

/// Runs `act` on the next modal dialog of type T once it is open.
template <typename T> void whenModal(std::function<void(T&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY2(dialog, "the expected dialog is not open");
        act(*dialog);
    });
}

} // namespace

class CleanerFormsTest : public QObject
{
    Q_OBJECT

private:
    test::TempDir* m_dir = nullptr;
    std::unique_ptr<app::StartedSession> m_started;
    Session* m_session = nullptr;
    QList<Message> m_messages;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    fs::path builderDir() const { return m_dir->path() / "prefix"; }
    fs::path driveC() const { return builderDir() / "drive_c"; }
    fs::path fileList() const { return driveC() / "Program Files/Tidewell/FileList"; }
    std::vector<std::string> foundPaths(const TFormDiskScan& scan) const
    {
        std::vector<std::string> paths;
        for (const FoundJunkRow& row : scan.foundModel()->rows())
            paths.push_back(row.path);
        return paths;
    }
    /// Shows the scan window and waits until its scan has ended.
    void scanWith(TFormSysDiskClear& cleaner)
    {
        cleaner.FormDiskScan->show();
        QTRY_COMPARE(m_session->DiskScanState, kDiskScanStopped);
    }

private slots:
    void init()
    {
        m_dir = new test::TempDir;
        test::PrefixBuilder builder(m_dir->path() / "prefix");
        builder.file("Sounds/track01.wav")
            .file("Sounds/track01.wav.bak", "old take")
            .file("Sounds/mix.tmp", "mix")
            .file("Sounds/old.bak/song.tmp", "log")
            .drive('d', "../drive_d");
        test::writeFile(builder.dir() / "drive_d/save.tmp", "save");
        fs::create_directories(m_dir->path() / "data");
        ::setenv("XDG_DATA_HOME", (m_dir->path() / "data").c_str(), 1);
        m_started = app::startSession({builder.str(), app::SettingsMode::Read});
        m_session = &m_started->session();
        m_messages.clear();
        m_answer = QMessageBox::Yes;
        setMessageHandler([this](const MessageRequest& request) {
            m_messages.push_back({request.caption, request.text});
            return request.buttons == MessageButtons::YesNo ? m_answer : QMessageBox::Ok;
        });
    }

    void cleanup()
    {
        setMessageHandler({});
        setFolderBrowser({});
        m_started.reset();
        delete m_dir;
        m_dir = nullptr;
        ::unsetenv("XDG_DATA_HOME");
    }

    void typeDialogEnablesOkOnlyForAPattern()
    {
        TTemporaryFileForm dialog(QStringLiteral("Add a new file type to search for..."));
        QVERIFY(!dialog.mrOkBtn->isEnabled());
        QTest::keyClicks(dialog.edExtension, QStringLiteral("   "));
        QVERIFY(!dialog.mrOkBtn->isEnabled());
        dialog.edExtension->clear();
        QTest::keyClicks(dialog.edExtension, QStringLiteral(" *.tmp "));
        QVERIFY(dialog.mrOkBtn->isEnabled());
        QCOMPARE(dialog.pattern(), QStringLiteral(" *.tmp "));
        dialog.setTexts(QStringLiteral("\t"), QStringLiteral("only a tab"));
        QVERIFY(!dialog.mrOkBtn->isEnabled());
        QVERIFY(dialog.mrOkBtn->isDefault());
    }

    void optionsWindowStoresTheBuiltInTypesAndSavesEditsOnClose()
    {
        TFormJunkOption options(*m_session, true);
        QCOMPARE(fs::file_size(fileList()), std::uintmax_t(9541));
        QCOMPARE(options.JunkFilesListView->rowCount(), 47);
        QCOMPARE(options.JunkFilesListView->item(41, 0)->text(), QStringLiteral("modemdet.txt"));

        // Add, with a pattern too long for a record.
        const QString longPattern(150, QLatin1Char('p'));
        whenModal<TTemporaryFileForm>([&](TTemporaryFileForm& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Add a new file type to search for..."));
            dialog.edExtension->setText(longPattern);
            dialog.edDesc->setText(QStringLiteral("Long"));
            dialog.mrOkBtn->click();
        });
        options.AddClick();
        QCOMPARE(options.JunkFilesListView->rowCount(), 48);
        QCOMPARE(options.JunkFilesListView->item(47, 0)->text(), longPattern);
        QCOMPARE(options.fileTypes().back().Pattern.size(), size_t(100));

        // Edit keeps the record's tick; Cancel changes nothing.
        options.JunkFilesListView->selectRow(2);
        whenModal<TTemporaryFileForm>([](TTemporaryFileForm& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Modify file type to search for..."));
            QCOMPARE(dialog.edExtension->text(), QStringLiteral("*.~*"));
            QVERIFY(dialog.mrOkBtn->isEnabled());
            dialog.edExtension->setText(QStringLiteral("*.wav"));
            dialog.mrOkBtn->click();
        });
        options.EditClick();
        QCOMPARE(options.fileTypes()[2], (TJunkFileType{1, "*.wav", "Temporary Junk Files"}));
        whenModal<TTemporaryFileForm>([](TTemporaryFileForm& dialog) {
            dialog.edExtension->setText(QStringLiteral("*.nothing"));
            dialog.cancelButton->click();
        });
        options.EditClick();
        QCOMPARE(options.fileTypes()[2].Pattern, std::string("*.wav"));

        // Remove asks first; rows and records stay in step.
        m_answer = QMessageBox::No;
        options.JunkFilesListView->selectRow(0);
        options.RemoveClick();
        QCOMPARE(options.JunkFilesListView->rowCount(), 48);
        QCOMPARE(m_messages.back().text, QStringLiteral("You want to Delete selected item?"));
        m_answer = QMessageBox::Yes;
        options.RemoveClick();
        QCOMPARE(options.JunkFilesListView->rowCount(), 47);
        QCOMPARE(options.fileTypes().front().Pattern, std::string("*.$$$"));
        QCOMPARE(options.JunkFilesListView->item(0, 0)->text(), QStringLiteral("*.$$$"));

        // A tick changes its row only, until the window closes.
        options.JunkFilesListView->item(0, 0)->setCheckState(Qt::Unchecked);
        QCOMPARE(options.fileTypes().front().Checked, std::uint8_t(1));
        QCOMPARE(fs::file_size(fileList()), std::uintmax_t(9541));
        options.reject();
        FileTypeList saved;
        QCOMPARE(LoadFileTypes(*m_session, saved, false), std::string());
        QCOMPARE(saved.size(), size_t(47));
        QCOMPARE(saved.front(), (TJunkFileType{0, "*.$$$", "Temporary Junk Files"}));
        QCOMPARE(saved[1].Pattern, std::string("*.wav"));
        QCOMPARE(saved.back().Pattern, longPattern.left(100).toStdString());
    }

    void closingUnchangedOptionsWritesNothing()
    {
        TFormJunkOption options(*m_session, true);
        const JunkRecord record = EncodeJunkRecord({1, "*.x", "X"});
        const std::string other(record.begin(), record.end());
        test::writeFile(fileList(), other);
        options.reject();
        QCOMPARE(test::readFile(fileList()), other);

        // Screenshots: the window neither stores the built-in types nor saves.
        fs::remove(fileList());
        TFormJunkOption shown(*m_session, false);
        shown.JunkFilesListView->item(0, 0)->setCheckState(Qt::Unchecked);
        shown.reject();
        QVERIFY(!fs::exists(fileList()));
    }

    void driveTreeTicksTheSelectedDrive()
    {
        TFormSysDiskClear cleaner(*m_session, {});
        cleaner.show();
        QTreeWidget* tree = cleaner.ChbTvDiskList;
        QCOMPARE(cleaner.windowTitle(), QStringLiteral("System Disk CLeaner"));
        QTreeWidgetItem* computer = tree->topLevelItem(0);
        QCOMPARE(computer->text(0), QStringLiteral("My Computer"));
        QCOMPARE(computer->childCount(), 2);
        QCOMPARE(computer->child(1)->text(0), QStringLiteral("Local Disk (D:)"));
        QCOMPARE(cleaner.DriveRoots, (std::vector<std::string>{"C:", "D:"}));
        QVERIFY(cleaner.tickedRoots().empty());

        auto click = [&](QTreeWidgetItem* item) {
            const QPoint at = item ? tree->visualItemRect(item).center()
                                   : QPoint(10, tree->viewport()->height() - 5);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        };
        click(computer->child(1));
        QCOMPARE(cleaner.tickedRoots(), std::vector<std::string>{"D:"});
        QCOMPARE(computer->child(1)->checkState(0), Qt::Checked);
        click(nullptr);
        QVERIFY2(cleaner.tickedRoots().empty(), "a click on no node acts on the selected one");
        click(computer->child(0));
        click(computer->child(1));
        QCOMPARE(cleaner.tickedRoots(), (std::vector<std::string>{"C:", "D:"}));
        click(computer);
        QCOMPARE(cleaner.tickedRoots(), (std::vector<std::string>{"C:", "D:"}));
    }

    void aClickOnADrivesBoxShowsWhatIsScanned()
    {
        TFormSysDiskClear cleaner(*m_session, {});
        cleaner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cleaner));
        QTreeWidget* tree = cleaner.ChbTvDiskList;
        QTreeWidgetItem* driveC = tree->topLevelItem(0)->child(0);
        QTreeWidgetItem* driveD = tree->topLevelItem(0)->child(1);
        // The box itself, where the view draws it.
        const auto box = [tree](QTreeWidgetItem* item) {
            QStyleOptionViewItem option;
            option.initFrom(tree->viewport());
            option.rect = tree->visualItemRect(item);
            option.features = QStyleOptionViewItem::HasCheckIndicator |
                              QStyleOptionViewItem::HasDisplay |
                              QStyleOptionViewItem::HasDecoration;
            option.decorationSize = tree->iconSize();
            option.text = item->text(0);
            return tree->style()
                ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree)
                .center();
        };
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box(driveD));
        QCOMPARE(driveD->checkState(0), Qt::Checked);
        QCOMPARE(cleaner.tickedRoots(), std::vector<std::string>{"D:"});
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box(driveD));
        QCOMPARE(driveD->checkState(0), Qt::Unchecked);
        QVERIFY(cleaner.tickedRoots().empty());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, box(driveC));
        QCOMPARE(driveC->checkState(0), Qt::Checked);
        QCOMPARE(driveD->checkState(0), Qt::Unchecked);

        // The scan searches the drive whose box is ticked, and only it.
        scanWith(cleaner);
        const std::vector<std::string> found = foundPaths(*cleaner.FormDiskScan);
        QVERIFY(!found.empty());
        for (const std::string& path : found)
            QVERIFY2(path.rfind("C:\\", 0) == 0, path.c_str());
        cleaner.FormDiskScan->close();
    }

    void scanWindowFindsStopsAndRefusesToCloseWhileScanning()
    {
        TFormSysDiskClear cleaner(*m_session, {});
        cleaner.setTicked("C:", true);
        cleaner.setTicked("D:", true);
        TFormDiskScan& scan = *cleaner.FormDiskScan;
        scanWith(cleaner);
        const std::vector<std::string> all = {
            "C:\\Sounds\\mix.tmp", "C:\\Sounds\\old.bak\\song.tmp", "C:\\Sounds\\old.bak",
            "C:\\Sounds\\track01.wav.bak", "D:\\save.tmp"};
        QCOMPARE(foundPaths(scan), all);
        QVERIFY(scan.ChbSelectAll->isChecked());
        QCOMPARE(scan.ScanMessage->text(), QString());

        // Select All: the label turns the box over, the box sets every row.
        QTest::mouseClick(scan.LbSelectAll, Qt::LeftButton);
        QVERIFY(!scan.ChbSelectAll->isChecked());
        for (const FoundJunkRow& row : scan.foundModel()->rows())
            QVERIFY(!row.checked);
        scan.ChbSelectAll->click();
        for (const FoundJunkRow& row : scan.foundModel()->rows())
            QVERIFY(row.checked);
        scan.hide();

        // Shown again: numbered from 1, a close request is refused while the scan runs, and
        // Stop ends it with what was found so far.
        m_messages.clear();
        bool refused = false;
        bool ran = false;
        scan.show();
        QTimer::singleShot(0, &scan, [&] {
            ran = true;
            QCOMPARE(m_session->DiskScanState, kDiskScanRunning);
            scan.close();
            refused = scan.isVisible();
            scan.SpbClearJunk->click();
            QVERIFY(scan.isVisible());
            scan.SpbStop->click();
        });
        QTRY_VERIFY(ran);
        QCOMPARE(m_session->DiskScanState, kDiskScanStopped);
        QVERIFY(refused);
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[0].caption, QStringLiteral("Hit"));
        QCOMPARE(m_messages[0].text, QStringLiteral("Stop Scanning first"));
        QCOMPARE(m_messages[1].caption, QStringLiteral("Tidewell"));
        QCOMPARE(m_messages[1].text, QStringLiteral("Stop Succeed."));
        QVERIFY(scan.foundModel()->rows().size() < all.size());
        if (!scan.foundModel()->rows().empty())
            QCOMPARE(scan.foundModel()->rows().front().caption, std::string("1"));
        scan.close();
        QVERIFY(!scan.isVisible());
    }

    void noDriveTickedEndsTheScanAtOnce()
    {
        TFormSysDiskClear cleaner(*m_session, {});
        scanWith(cleaner);
        QCOMPARE(cleaner.FormDiskScan->foundModel()->rowCount(), 0);
        cleaner.FormDiskScan->close();
        QVERIFY(!cleaner.FormDiskScan->isVisible());
    }

    void cleanWindowRecyclesTheTickedFindsAndGoesOnAfterAVanishedOne()
    {
        TFormSysDiskClear cleaner(*m_session, {});
        cleaner.setTicked("C:", true);
        scanWith(cleaner);
        TFormDiskScan& scan = *cleaner.FormDiskScan;
        scan.foundModel()->setData(scan.foundModel()->index(3, 0), Qt::Unchecked,
                                   Qt::CheckStateRole);
        scan.SpbClearJunk->click();
        QCOMPARE(scan.result(), int(TFormDiskScan::ClearJunkResult));
        fs::remove(driveC() / "Sounds/mix.tmp");

        TFormDiskFileClearSelect& clean = *cleaner.FormDiskFileClearSelect;
        clean.show();
        QCOMPARE(clean.windowTitle(), QStringLiteral("Cleaner Option"));
        QCOMPARE(clean.NotebookClear->currentIndex(), int(TFormDiskFileClearSelect::OptionsPage));
        QVERIFY(clean.RbRecycle->isChecked());
        clean.SpbExcute->click();
        QCOMPARE(clean.windowTitle(), QStringLiteral("Junk Files"));
        QCOMPARE(clean.NotebookClear->currentIndex(), int(TFormDiskFileClearSelect::ResultsPage));
        QCOMPARE(m_session->DiskScanState, kDiskScanCleaning);
        using Rows = std::vector<std::pair<std::string, std::string>>;
        QCOMPARE(clean.resultModel()->rows(),
                 (Rows{{"C:\\Sounds\\mix.tmp", "Deleted Error"},
                       {"C:\\Sounds\\old.bak\\song.tmp", "File Deleted"},
                       {"C:\\Sounds\\old.bak", "File Deleted"}}));
        // The failed row's status tells why when the pointer rests on it.
        const CleanResultModel& results = *clean.resultModel();
        QCOMPARE(results.data(results.index(0, 1), Qt::ToolTipRole).toString(),
                 QStringLiteral("It is gone, or is no longer the file the scan found"));
        QVERIFY(!results.data(results.index(1, 1), Qt::ToolTipRole).isValid());
        QCOMPARE(clean.SuiPgb->maximum(), 3);
        QCOMPARE(clean.SuiPgb->value(), 3);
        QVERIFY(fs::exists(m_dir->path() / "data/Trash/files/old.bak"));
        QVERIFY(fs::exists(driveC() / "Sounds/track01.wav.bak"));
        clean.SpbResultsClose->click();
        clean.show();
        QCOMPARE(clean.NotebookClear->currentIndex(), int(TFormDiskFileClearSelect::OptionsPage));
    }

    void besideARunningWineTheCleanAndTheTypeEditsChangeNothing()
    {
        if (!test::wineInstalled())
            QSKIP("wine is not installed");
        TFormSysDiskClear cleaner(*m_session, {});
        cleaner.setTicked("C:", true);
        scanWith(cleaner);
        cleaner.FormDiskScan->SpbClearJunk->click();
        TFormDiskFileClearSelect& clean = *cleaner.FormDiskFileClearSelect;
        clean.show();

        QVERIFY(fs::exists(fileList()));
        const std::string types = test::readFile(fileList());

        // Wine starts after the scan, in the prefix the window has open.
        const std::map<std::string, std::string> env{{"WINEPREFIX", builderDir().string()},
                                                     {"WINEDEBUG", "-all"}};
        QCOMPARE(test::runProcess({"wineserver", "-p"}, env).exitCode, 0);
        const auto stopWine = qScopeGuard([&] {
            test::runProcess({"wineserver", "-k"}, env);
            test::runProcess({"wineserver", "-w"}, env);
        });
        clean.SpbExcute->click();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(
            m_messages[0].text.startsWith(QStringLiteral("Nothing was cleaned. Wine is running")));
        QVERIFY(m_messages[0].text.contains(QStringLiteral("wineserver -k")));
        QCOMPARE(clean.NotebookClear->currentIndex(), int(TFormDiskFileClearSelect::OptionsPage));
        QCOMPARE(clean.windowTitle(), QStringLiteral("Cleaner Option"));
        QVERIFY(clean.resultModel()->rows().empty());
        QVERIFY(fs::exists(driveC() / "Sounds/mix.tmp"));
        QVERIFY(fs::exists(driveC() / "Sounds/old.bak/song.tmp"));
        QVERIFY(!fs::exists(m_dir->path() / "data/Trash"));

        // An edit of the types is refused with the reason when their window closes.
        m_messages.clear();
        TFormJunkOption options(*m_session, true);
        QCOMPARE(m_messages.size(), 0);
        QCOMPARE(options.JunkFilesListView->rowCount(), 47);
        options.JunkFilesListView->item(0, 0)->setCheckState(Qt::Unchecked);
        options.reject();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(
            m_messages[0].text.startsWith(QStringLiteral("The junk file types were not saved")));
        QVERIFY(m_messages[0].text.contains(QStringLiteral("wineserver -k")));
        QCOMPARE(test::readFile(fileList()), types);
        QCOMPARE(std::distance(fs::directory_iterator(fileList().parent_path()),
                               fs::directory_iterator()),
                 std::ptrdiff_t(1));

        // Without the file, the window shows the built-in types and does not store them.
        fs::remove(fileList());
        m_messages.clear();
        TFormJunkOption builtIn(*m_session, true);
        QCOMPARE(m_messages.size(), 0);
        QCOMPARE(builtIn.JunkFilesListView->rowCount(), 47);
        QVERIFY(!fs::exists(fileList()));
    }

    void moveAsksForTheFolderWhenNoneIsChosen()
    {
        TFormSysDiskClear cleaner(*m_session, {});
        cleaner.setTicked("D:", true);
        scanWith(cleaner);
        TFormDiskFileClearSelect& clean = *cleaner.FormDiskFileClearSelect;
        clean.show();
        clean.RbMove->setChecked(true);

        // Cancelled: nothing happens.
        int asked = 0;
        setFolderBrowser([&](const QString& title) -> std::optional<QString> {
            ++asked;
            [&] { QCOMPARE(title, QStringLiteral("Select Directory")); }();
            return std::nullopt;
        });
        clean.SpbExcute->click();
        QCOMPARE(asked, 1);
        QCOMPARE(clean.NotebookClear->currentIndex(), int(TFormDiskFileClearSelect::OptionsPage));
        QVERIFY(fs::exists(m_dir->path() / "prefix/drive_d/save.tmp"));

        const fs::path kept = driveC() / "Kept";
        fs::create_directories(kept);
        setFolderBrowser([&](const QString&) -> std::optional<QString> {
            ++asked;
            return QString::fromStdString(kept.string());
        });
        clean.SpbExcute->click();
        QCOMPARE(asked, 2);
        QCOMPARE(clean.panJunkMoveFolder->text(), QStringLiteral("C:\\Kept"));
        QCOMPARE(clean.resultModel()->rows().front().second, std::string("File Moved"));
        QCOMPARE(test::readFile(kept / "save.tmp"), std::string("save"));
    }

    void optionsPageLinkOpensTheCleaner()
    {
        MainFormSetup setup;
        setup.session = m_session;
        TMainForm window(setup);
        window.show();
        window.showPage(TMainForm::Options);
        QLabel* link = nullptr;
        for (QLabel* label : window.findChildren<QLabel*>(QStringLiteral("toolLink"))) {
            if (label->text() == QStringLiteral("System and Disk Cleaner"))
                link = label;
        }
        QVERIFY(link);
        bool opened = false;
        whenModal<TFormSysDiskClear>([&](TFormSysDiskClear& cleaner) {
            opened = cleaner.DriveRoots == std::vector<std::string>{"C:", "D:"};
            cleaner.close();
        });
        QTest::mouseClick(link, Qt::LeftButton);
        QVERIFY(opened);
        QVERIFY(m_messages.isEmpty());
        // The built-in types were stored on first opening, for the next scan.
        QVERIFY(fs::exists(fileList()));
    }
};

QTEST_MAIN(CleanerFormsTest)
#include "CleanerFormsTest.moc"
