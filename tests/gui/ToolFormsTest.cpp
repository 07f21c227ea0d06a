// The browser repair and the file splitter windows, driven as a user would.
#include "app/SessionStart.h"
#include "gui/MainForm.h"
#include "gui/WindowContext.h"
#include "gui/browser/BrowserRepairForm.h"
#include "gui/splitter/FilesSplitteForm.h"
#include "gui/widgets/ClickLabel.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/WinePrefix.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "repair/BackupList.h"
#include "support/TestSupport.h"
#include "tools/browser/BrowserRepair.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTabWidget>
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
    MessageIcon icon;
};

std::string bytes(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return data;
}

} // namespace

class ToolFormsTest : public QObject
{
    Q_OBJECT

private:
    test::TempDir* m_dir = nullptr;
    std::unique_ptr<app::StartedSession> m_started;
    std::unique_ptr<WindowContext> m_context;
    QList<Message> m_messages;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    Session& session() { return m_started->session(); }
    fs::path files() const { return m_dir->path() / "files"; }
    QString file(const char* name) const
    {
        return QString::fromStdString((files() / name).string());
    }
    std::int32_t registryTools()
    {
        TRegistry reg(session());
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        if (!reg.OpenPath("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", false))
            return -1;
        return reg.ReadNumber("DisableRegistryTools");
    }

private slots:
    void init()
    {
        m_dir = new test::TempDir;
        test::PrefixBuilder builder(m_dir->path() / "prefix");
        builder.userHive(
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Policies\\\\System] 1\n"
            "\"DisableRegistryTools\"=dword:00000001\n");
        fs::create_directories(files());
        fs::create_directories(m_dir->path() / "data");
        ::setenv("XDG_DATA_HOME", (m_dir->path() / "data").c_str(), 1);
        m_started = app::startSession({builder.str(), app::SettingsMode::Read});
        m_context = std::make_unique<WindowContext>(WindowContext{session(), {}, {}, {}});
        m_messages.clear();
        m_answer = QMessageBox::Yes;
        setMessageHandler([this](const MessageRequest& request) {
            m_messages.push_back({request.caption, request.text, request.icon});
            return request.buttons == MessageButtons::YesNo ? m_answer : QMessageBox::Ok;
        });
    }

    void cleanup()
    {
        setMessageHandler({});
        m_context.reset();
        m_started.reset();
        delete m_dir;
        m_dir = nullptr;
        ::unsetenv("XDG_DATA_HOME");
    }

    void browserListHasTheThirteenItemsCheckedAndFitsTheNameColumn()
    {
        TBrowserRepairForm form(*m_context);
        QCOMPARE(form.windowTitle(), QStringLiteral("Browser Repair"));
        QTreeWidget* list = form.IERepairListView;
        QCOMPARE(list->topLevelItemCount(), 13);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("Restore HomePage"));
        QCOMPARE(list->topLevelItem(12)->text(1), QStringLiteral("Fix Explorer Button"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("Name"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("Status"));
        QCOMPARE(form.checkedRows(), std::vector<bool>(13, true));
        QVERIFY(form.cbSelectAll->isChecked());
        form.show();
        form.resize(500, 400);
        QCOMPARE(list->columnWidth(0), 20);
        QCOMPARE(list->columnWidth(1), list->width() - 20 - list->columnWidth(2) - 24);
    }

    void browserSelectAllLabelTogglesTheBoxThenEveryRow()
    {
        TBrowserRepairForm form(*m_context);
        QTest::mouseClick(form.abSelectAll, Qt::LeftButton);
        QVERIFY(!form.cbSelectAll->isChecked());
        QCOMPARE(form.checkedRows(), std::vector<bool>(13, false));
        form.IERepairListView->topLevelItem(3)->setCheckState(0, Qt::Checked);
        form.cbSelectAll->click();
        QVERIFY(form.cbSelectAll->isChecked());
        QCOMPARE(form.checkedRows(), std::vector<bool>(13, true));
    }

    void browserRestoreAnsweredNoChangesNothing()
    {
        TBrowserRepairForm form(*m_context);
        m_answer = QMessageBox::No;
        form.IgRestoreClick();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].caption, QStringLiteral("Tidewell"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Warning);
        QCOMPARE(m_messages[0].text,
                 QStringLiteral("Restore to Internet Explorer setup default,it will lost your "
                                "current Internet Explorer\rsetup data.We only recommend you do "
                                "it when Internet Explorer don't work at all.\r\rDo you still "
                                "want to Restore to Internet Explorer setup default?"));
        QCOMPARE(form.statusOf(2), QString());
        QCOMPARE(registryTools(), 1);
        QVERIFY(ListBackups(session()).empty());
    }

    void browserRestoreRunsTheCheckedRowsAndColoursTheirStatus()
    {
        TBrowserRepairForm form(*m_context);
        QTest::mouseClick(form.abSelectAll, Qt::LeftButton);
        form.IERepairListView->topLevelItem(2)->setCheckState(0, Qt::Checked);
        form.IERepairListView->topLevelItem(6)->setCheckState(0, Qt::Checked);
        form.IgRestoreClick();
        QCOMPARE(m_messages.size(), 1);
        for (int row = 0; row < 13; ++row)
            QCOMPARE(form.statusOf(row),
                     row == 2 || row == 6 ? QStringLiteral("Completed") : QString());
        QCOMPARE(form.IERepairListView->topLevelItem(2)->foreground(2).color(),
                 QColor(0x00, 0x80, 0x00));
        QCOMPARE(form.IERepairListView->topLevelItem(2)->foreground(1).color(), QColor(Qt::black));
        QCOMPARE(registryTools(), 0);
        QCOMPARE(ListBackups(session()).size(), size_t(1));
        form.setStatus(4, QStringLiteral("Repairing"));
        QCOMPARE(form.IERepairListView->topLevelItem(4)->foreground(2).color(),
                 QColor(0xFF, 0x00, 0x00));
        form.setStatus(4, QString());
        QCOMPARE(form.IERepairListView->topLevelItem(4)->foreground(2).color(), QColor(Qt::black));

        // With every row unchecked it asks and then changes nothing, statuses included.
        QTest::mouseClick(form.abSelectAll, Qt::LeftButton);
        QTest::mouseClick(form.abSelectAll, Qt::LeftButton);
        QCOMPARE(form.checkedRows(), std::vector<bool>(13, false));
        form.IgRestoreClick();
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(form.statusOf(2), QStringLiteral("Completed"));
        QCOMPARE(ListBackups(session()).size(), size_t(1));
    }

    void browserBesideRunningWineSaysWhyAndChangesNothing()
    {
        m_context->readOnlyReason = QStringLiteral("Wine is running in this prefix.");
        TBrowserRepairForm form(*m_context);
        form.IgRestoreClick();
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].text, QStringLiteral("Wine is running in this prefix."));
        QCOMPARE(form.statusOf(0), QString());
        QCOMPARE(registryTools(), 1);
    }

    void splitterSizeListSetsTheSizeAndTheSizeBox()
    {
        TFormFilesSplitte form(*m_context);
        QCOMPARE(form.windowTitle(), QStringLiteral("Files Splitter Tool"));
        QCOMPARE(form.pieceSize(), 0);
        QCOMPARE(form.FileSizeCmBox->count(), 7);
        QVERIFY(!form.FileSizeEdit->isEnabled());
        form.FileSizeCmBoxChange(6);
        QCOMPARE(form.pieceSize(), -1);
        QVERIFY(form.FileSizeEdit->isEnabled());
        form.FileSizeEdit->setText(QStringLiteral("77"));
        form.ProgressBar1->setValue(5);
        form.FileSizeCmBoxChange(3);
        QCOMPARE(form.pieceSize(), 1457660);
        QVERIFY(!form.FileSizeEdit->isEnabled());
        QCOMPARE(form.FileSizeEdit->text(), QString());
        QCOMPARE(form.ProgressBar1->value(), 0);
        form.Pages->setCurrentIndex(1);
        form.show();
        QCOMPARE(form.Pages->currentIndex(), 0);
    }

    void splitterWithoutASizeCutsThreeHundredSixtyKPiecesBesideTheSource()
    {
        test::writeFile(files() / "movie.avi", bytes(2 * 355870 + 1));
        TFormFilesSplitte form(*m_context);
        form.dialogs.openFile = [&](QWidget*, const QString& filter) {
            [&] { QCOMPARE(filter, QStringLiteral("All files (*.*) (*)")); }();
            return file("movie.avi");
        };
        form.SourceBrowseClick();
        QCOMPARE(form.SourceFileEdit->text(), file("movie.avi"));
        form.SplitteClick();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].caption, QStringLiteral("Hint"));
        QCOMPARE(m_messages[0].text, QStringLiteral("       File successfully split"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Splitting......"));
        QCOMPARE(fs::file_size(files() / "movie.avi000.spt"), std::uintmax_t(355870));
        QCOMPARE(fs::file_size(files() / "movie.avi001.spt"), std::uintmax_t(355870));
        QCOMPARE(fs::file_size(files() / "movie.avi002.spt"), std::uintmax_t(1));
        QCOMPARE(form.FileSizeCmBox->currentText(), QStringLiteral("360K"));
        QCOMPARE(form.pieceSize(), 355870);
        QCOMPARE(form.SourceFileEdit->text(), QString());
        QCOMPARE(form.ResultFileEdit->text(), QString());
        QCOMPARE(form.ProgressBar1->value(), 0);
    }

    void splitterCustomSizes()
    {
        test::writeFile(files() / "data", bytes(2500));
        TFormFilesSplitte form(*m_context);
        form.FileSizeCmBoxChange(6);
        form.SourceFileEdit->setText(file("data"));
        form.ResultFileEdit->setText(file("piece"));
        form.FileSizeEdit->setText(QStringLiteral("ten"));
        form.SplitteClick();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].caption, QStringLiteral("Error"));
        QVERIFY(m_messages[0].text.startsWith(QStringLiteral(
            "    Can not Split, Possibly does not have the split files existence!")));
        QCOMPARE(std::distance(fs::directory_iterator(files()), fs::directory_iterator()), 1);
        QCOMPARE(form.SourceFileEdit->text(), file("data"));

        form.FileSizeEdit->setText(QStringLiteral(" 1000 "));
        form.SplitteClick();
        QCOMPARE(m_messages.last().text, QStringLiteral("       File successfully split"));
        QCOMPARE(fs::file_size(files() / "piece000.spt"), std::uintmax_t(1000));
        QCOMPARE(fs::file_size(files() / "piece002.spt"), std::uintmax_t(500));

        form.FileSizeCmBoxChange(6);
        form.FileSizeEdit->setText(QStringLiteral("-3"));
        form.SourceFileEdit->setText(file("data"));
        form.ResultFileEdit->setText(file("zero"));
        form.SplitteClick();
        QCOMPARE(form.FileSizeCmBox->currentText(), QStringLiteral("360K"));
        QCOMPARE(fs::file_size(files() / "zero000.spt"), std::uintmax_t(2500));
    }

    void splitterRefusesMoreThanAThousandPieces()
    {
        test::writeFile(files() / "data", bytes(2500));
        TFormFilesSplitte form(*m_context);
        form.FileSizeCmBoxChange(6);
        form.SourceFileEdit->setText(file("data"));
        form.ResultFileEdit->setText(file("piece"));
        form.FileSizeEdit->setText(QStringLiteral("2"));
        form.SplitteClick();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].caption, QStringLiteral("Error"));
        QVERIFY2(m_messages[0].text.contains(QStringLiteral("1250 pieces")),
                 qPrintable(m_messages[0].text));
        QVERIFY2(m_messages[0].text.contains(QStringLiteral("at least 3 bytes")),
                 qPrintable(m_messages[0].text));
        QCOMPARE(std::distance(fs::directory_iterator(files()), fs::directory_iterator()), 1);
    }

    void splitterCombineJoinsTheListedPiecesIntoTheProposedFile()
    {
        test::writeFile(files() / "a000.spt", "first-");
        test::writeFile(files() / "a001.spt", "second");
        TFormFilesSplitte form(*m_context);
        QVERIFY(!form.SaveTo->isEnabled());
        form.dialogs.openFiles = [&](QWidget*, const QString&) {
            return QStringList{file("a000.spt"), file("a001.spt")};
        };
        QString preset;
        form.dialogs.saveFile = [&](QWidget*, const QString&, const QString& proposal) {
            preset = proposal;
            return proposal;
        };
        form.CombineBrowseClick();
        QVERIFY(form.SaveTo->isEnabled());
        QVERIFY(form.ConVerSptFileEdit->isEnabled());
        form.SaveToClick();
        QCOMPARE(preset, file("a"));
        QCOMPARE(form.ConVerSptFileEdit->text(), file("a"));
        form.CombineClick();
        QCOMPARE(form.windowTitle(), QStringLiteral("Combining...") + file("a") + "...");
        QCOMPARE(QString::fromStdString(test::readFile(files() / "a")),
                 QStringLiteral("first-second"));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("        File successfully Combine"));
        QCOMPARE(form.FileListBox->count(), 0);
        QVERIFY(!form.SaveTo->isEnabled());
        QVERIFY(!form.ConVerSptFileEdit->isEnabled());
    }

    void splitterCombineWithAMissingPieceIsRefused()
    {
        test::writeFile(files() / "a000.spt", "first-");
        test::writeFile(files() / "joined", "the old file");
        TFormFilesSplitte form(*m_context);
        form.FileListBox->addItems({file("a000.spt"), file("gone001.spt"), file("a000.spt")});
        form.ConVerSptFileEdit->setText(file("joined"));
        form.CombineClick();
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[0].caption, QStringLiteral("Hint"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Warning);
        QCOMPARE(m_messages[0].text,
                 QStringLiteral("  The file ") + file("gone001.spt") + "could not be Found");
        QCOMPARE(m_messages[1].caption, QStringLiteral("Error"));
        QCOMPARE(QString::fromStdString(test::readFile(files() / "joined")),
                 QStringLiteral("the old file"));
    }

    void splitterCombineIntoAListedPieceIsRefused()
    {
        test::writeFile(files() / "a000.spt", "first-");
        TFormFilesSplitte form(*m_context);
        form.FileListBox->addItems({file("a000.spt")});
        form.ConVerSptFileEdit->setText(file("a000.spt"));
        form.CombineClick();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].caption, QStringLiteral("Error"));
        QVERIFY(m_messages[0].text.startsWith(
            QStringLiteral("   Operate is failed You must specify a file to Combine.")));
        QCOMPARE(QString::fromStdString(test::readFile(files() / "a000.spt")),
                 QStringLiteral("first-"));
        QCOMPARE(form.FileListBox->count(), 1);
        form.ClearClick();
        QCOMPARE(form.FileListBox->count(), 0);
        QVERIFY(!form.SaveTo->isEnabled());
    }

    void optionsPageLinksOpenBothWindows()
    {
        MainFormSetup setup;
        setup.session = &session();
        TMainForm window(setup);
        window.show();
        window.showPage(TMainForm::Options);
        QStringList opened;
        for (const char* name : {"Fix IE Browser", "File Splitter"}) {
            QLabel* link = nullptr;
            for (QLabel* label : window.findChildren<QLabel*>(QStringLiteral("toolLink"))) {
                if (label->text() == QLatin1String(name))
                    link = label;
            }
            QVERIFY(link);
            QTimer::singleShot(0, [&opened] {
                QWidget* dialog = QApplication::activeModalWidget();
                if (!dialog)
                    return;
                opened.push_back(dialog->windowTitle());
                dialog->close();
            });
            QTest::mouseClick(link, Qt::LeftButton);
        }
        QCOMPARE(opened, QStringList({"Browser Repair", "Files Splitter Tool"}));
        QVERIFY(m_messages.isEmpty());
    }

    void barShowsHugeMaximaWithinItsRange()
    {
        QProgressBar bar;
        setBarProgress(&bar, 1.5, 3);
        QCOMPARE(bar.maximum(), 300);
        QCOMPARE(bar.value(), 150);
        setBarProgress(&bar, 5e9, 5368709121LL);
        QVERIFY(bar.maximum() > 0);
        QVERIFY(bar.value() > bar.maximum() * 0.9);
        setBarProgress(&bar, 5368709121.0, 5368709121LL);
        QCOMPARE(bar.value(), bar.maximum());
    }
};

QTEST_MAIN(ToolFormsTest)
#include "ToolFormsTest.moc"
