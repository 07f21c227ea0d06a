// The history cleaner's window driven as a user would: choose an item, tick, Select All,
// Clear with its state window and Cancel, and the refusals.
#include "app/SessionStart.h"
#include "app/WineStart.h"
#include "gui/WindowContext.h"
#include "gui/history/RecycleForm.h"
#include "gui/scanner/RepairDialogForm.h"
#include "gui/widgets/ClickLabel.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/DesktopTrash.h"
#include "platform/wine/WinePrefix.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>

using namespace tw;
using namespace tw::gui;
namespace fs = std::filesystem;

namespace {

// Written without a raw literal, which moc does not read.
const char* const kUserHive =
    "\n"
    "[Environment] 1\n"
    "\"TEMP\"=\"C:\\\\users\\\\tester\\\\Temp\"\n"
    "\"TMP\"=\"C:\\\\users\\\\tester\\\\Temp\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Internet Explorer\\\\TypedURLs] 1\n"
    "\"url1\"=\"http://example.org/\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\RunMRU] 1\n"
    "\"a\"=\"notepad\\\\1\"\n"
    "\"b\"=\"cmd\\\\1\"\n"
    "\"MRUList\"=\"ba\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
    "\"Cache\"=\"C:\\\\users\\\\tester\\\\INetCache\"\n"
    "\"History\"=\"C:\\\\users\\\\tester\\\\History\"\n"
    "\"NetHood\"=\"C:\\\\users\\\\tester\\\\NetHood\"\n"
    "\"Recent\"=\"C:\\\\users\\\\tester\\\\Recent\"\n";

QStringList texts(const QTreeWidget* list, int column)
{
    QStringList result;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        result << list->topLevelItem(row)->text(column);
    return result;
}

} // namespace

class HistoryFormTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<app::StartedSession> m_started;
    std::unique_ptr<WindowContext> m_context;
    QStringList m_messages;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    int m_commits = 0;

    fs::path user() const { return m_dir->path() / "prefix/drive_c/users/tester"; }
    Session& session() { return m_started->session(); }
    QStringList runHistory()
    {
        TRegistry reg(session());
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        std::vector<std::string> names;
        if (reg.OpenPath(kRunMruKey, false))
            reg.ListValues(names);
        QStringList result;
        for (const std::string& name : names)
            result << QString::fromStdString(name);
        return result;
    }
    void choose(TRecycleForm& form, int row)
    {
        form.RundownListView->setCurrentItem(form.RundownListView->topLevelItem(row));
    }
    void start(const QString& readOnlyReason = {})
    {
        m_context.reset();
        m_started.reset();
        m_started =
            app::startSession({(m_dir->path() / "prefix").string(), app::SettingsMode::Read});
        m_context.reset(new WindowContext{m_started->session(), readOnlyReason, {}, {}});
        m_context->commitChanges = [this]() -> QString {
            ++m_commits;
            app::winePrefix(*m_started).save();
            return {};
        };
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<test::TempDir>();
        ::setenv("XDG_DATA_HOME", (m_dir->path() / "data").c_str(), 1);
        test::PrefixBuilder(m_dir->path() / "prefix")
            .userHive(kUserHive)
            .file("users/tester/Temp/a.tmp", "a")
            .file("users/tester/Temp/b.tmp", "b")
            .file("users/tester/Recent/c.lnk", "c")
            .file("users/tester/History/History.IE5/index.dat");
        m_messages.clear();
        m_answer = QMessageBox::Yes;
        m_commits = 0;
        setMessageHandler([this](const MessageRequest& request) {
            m_messages << request.text;
            return request.buttons == MessageButtons::YesNo ? m_answer : QMessageBox::Ok;
        });
        start();
    }
    void cleanup()
    {
        setMessageHandler({});
        m_context.reset();
        m_started.reset();
        m_dir.reset();
        ::unsetenv("XDG_DATA_HOME");
    }

    void showingListsTheNineItemsUnderTheThreeLines()
    {
        TRecycleForm form(*m_context);
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Recycle"));
        QCOMPARE(texts(form.RundownListView, 0),
                 QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
        QCOMPARE(texts(form.RundownListView, 1),
                 QStringList({"All", "Run Menu's History", "Recent File", "NetHood History",
                              "Windows Temporary Files", "Explorer Cache", "Recycle Bin",
                              "Explorer Address's History", "History"}));
        QCOMPARE(form.DataListView->headerItem()->text(1), QStringLiteral("Item Name"));
        QCOMPARE(form.DataListView->columnWidth(0), 25);
        QCOMPARE(form.DataListView->columnWidth(1), form.DataListView->width() - 25 - 20);
        form.resize(700, 500);
        QTRY_COMPARE(form.DataListView->columnWidth(1), form.DataListView->width() - 25 - 20);
    }

    void clearWithNoItemChosenOnlyWarns()
    {
        TRecycleForm form(*m_context);
        form.show();
        form.ImageExClear->click();
        QCOMPARE(m_messages, QStringList({"You no''t selected item , please selected it!"}));
        QCOMPARE(runHistory().size(), 3);
        QCOMPARE(m_commits, 0);
    }

    void aSingleUntickedRowIsKept()
    {
        TRecycleForm form(*m_context);
        form.show();
        choose(form, 1);
        QCOMPARE(texts(form.DataListView, 1), QStringList({"notepad\\1", "cmd\\1", "ba"}));
        QVERIFY(form.cbSelectAll->isChecked());
        form.DataListView->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
        form.ImageExClear->click();
        QVERIFY(m_messages.isEmpty());
        // The clear saved the registry itself.
        QCOMPARE(m_commits, 0);
        QVERIFY(!app::winePrefix(*m_started).hasUnsavedChanges());
        QCOMPARE(runHistory(), QStringList({"MRUList"}));
        // Listed again: what is left.
        QCOMPARE(texts(form.DataListView, 1), QStringList({"ba"}));
        QVERIFY(!form.stateWindow());
    }

    void selectAllLabelTurnsTheBoxAndEveryRowOver()
    {
        TRecycleForm form(*m_context);
        form.show();
        choose(form, 4);
        QCOMPARE(texts(form.DataListView, 1), QStringList({"a.tmp", "b.tmp"}));
        QTest::mouseClick(form.abSelectAll, Qt::LeftButton);
        QVERIFY(!form.cbSelectAll->isChecked());
        for (int row = 0; row < 2; ++row)
            QCOMPARE(form.DataListView->topLevelItem(row)->checkState(0), Qt::Unchecked);
        form.ImageExClear->click();
        QVERIFY(fs::exists(user() / "Temp/a.tmp"));
        QVERIFY(fs::exists(user() / "Temp/b.tmp"));
        // Listed again: new records, ticked, and the box shows the last one's tick.
        QVERIFY(form.cbSelectAll->isChecked());
        QCOMPARE(form.DataListView->topLevelItem(0)->checkState(0), Qt::Checked);
        // The box itself: a click turns it and every row over.
        form.cbSelectAll->click();
        QVERIFY(!form.cbSelectAll->isChecked());
        QCOMPARE(form.DataListView->topLevelItem(1)->checkState(0), Qt::Unchecked);
        form.cbSelectAll->click();
        QCOMPARE(form.DataListView->topLevelItem(1)->checkState(0), Qt::Checked);
        form.ImageExClear->click();
        QVERIFY(!fs::exists(user() / "Temp/a.tmp"));
        QVERIFY(!fs::exists(user() / "Temp/b.tmp"));
        QCOMPARE(form.DataListView->topLevelItemCount(), 0);
    }

    void allShowsTheRunHistoryAfterTheHistoryFolder()
    {
        TRecycleForm form(*m_context);
        form.show();
        choose(form, 2);
        QVERIFY(form.WineNote->isHidden());
        choose(form, 0);
        // Listing "All" leaves the URL cache out (reading it starts Wine) and says so.
        QCOMPARE(m_messages, QStringList());
        QVERIFY(!form.WineNote->isHidden());
        QVERIFY(form.WineNote->text().contains(QStringLiteral("URL cache")));
        QCOMPARE(texts(form.DataListView, 1), QStringList({"http://example.org/", "a.tmp", "b.tmp",
                                                           "c.lnk", "notepad\\1", "cmd\\1", "ba"}));
        form.DataListView->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
        m_messages.clear();
        form.ImageExClear->click();
        // Asked first; the clear reads the cache, which this prefix (not set up by Wine)
        // cannot give, and the URL history cannot be reached either, which ends the clear
        // before the Run history.
        QCOMPARE(m_messages.size(), 3);
        QVERIFY(m_messages[0].endsWith(QStringLiteral("Do you want to go on?")));
        QVERIFY(m_messages[1].contains(QStringLiteral("wininet.dll")));
        QVERIFY(m_messages[2].contains(QStringLiteral("wininet.dll")));
        QCOMPARE(m_commits, 0);
        QVERIFY(!app::winePrefix(*m_started).hasUnsavedChanges());
        QVERIFY(!fs::exists(user() / "Temp/a.tmp"));
        QVERIFY(fs::exists(user() / "Temp/b.tmp"));
        QVERIFY(!fs::exists(user() / "Recent/c.lnk"));
        QVERIFY(fs::exists(user() / "History/History.IE5/index.dat"));
        QCOMPARE(runHistory().size(), 3);
        start();
        TRegistry reg(session());
        reg.SelectRoot(win::HKEY_CURRENT_USER);
        QVERIFY(reg.OpenPath(kTypedUrlsKey, false));
        QVERIFY(!reg.HasValue("url1"));
    }

    void noToTheQuestionLeavesTheRecycleBinAlone()
    {
        m_started->session().shell().recycle("C:\\users\\tester\\Temp\\a.tmp");
        TRecycleForm form(*m_context);
        form.show();
        choose(form, 6);
        QCOMPARE(form.DataListView->topLevelItemCount(), 0);
        m_answer = QMessageBox::No;
        form.ImageExClear->click();
        QCOMPARE(wine::trashedItemsFrom({app::winePrefix(*m_started).hostPath()}).size(), 1u);
        m_answer = QMessageBox::Yes;
        form.ImageExClear->click();
        QVERIFY(wine::trashedItemsFrom({app::winePrefix(*m_started).hostPath()}).empty());
    }

    void cancelInTheStateWindowStopsTheDeletions()
    {
        TRecycleForm form(*m_context);
        form.show();
        choose(form, 4);
        // The state window's Cancel, pressed as soon as the clear lets events in.
        QTimer::singleShot(0, &form, [&form] {
            QVERIFY(form.stateWindow());
            QCOMPARE(form.stateWindow()->label()->text(), QStringLiteral("Start Clear..."));
            form.stateWindow()->cancelButton()->click();
        });
        form.ImageExClear->click();
        QCOMPARE(session().OperationState, kOperationCancelRepair);
        QVERIFY(fs::exists(user() / "Temp/a.tmp"));
        QVERIFY(fs::exists(user() / "Temp/b.tmp"));
        QVERIFY(!form.stateWindow());
        QCOMPARE(texts(form.DataListView, 1), QStringList({"a.tmp", "b.tmp"}));
    }

    void aValueThatIsNotAStringIsListedByItsTypeAndCleared()
    {
        {
            TRegistry reg(session());
            reg.SelectRoot(win::HKEY_CURRENT_USER);
            QVERIFY(reg.OpenPath(kRunMruKey, false));
            reg.WriteNumber("b", 7);
        }
        TRecycleForm form(*m_context);
        form.show();
        choose(form, 1);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(texts(form.DataListView, 1),
                 QStringList({"notepad\\1", "(REG_DWORD value)", "ba"}));
        form.ImageExClear->click();
        QVERIFY(m_messages.isEmpty());
        QVERIFY(runHistory().isEmpty());
        QVERIFY(fs::exists(user() / "Temp/a.tmp"));
    }

    void aReadOnlyPrefixRefusesWithTheReason()
    {
        start(QStringLiteral("Wine is running in this prefix (wineserver -k stops it)."));
        TRecycleForm form(*m_context);
        form.show();
        choose(form, 1);
        form.ImageExClear->click();
        QCOMPARE(m_messages, QStringList({"Nothing was cleared. Wine is running in this prefix "
                                          "(wineserver -k stops it)."}));
        QCOMPARE(runHistory().size(), 3);
        QCOMPARE(m_commits, 0);
    }
};

QTEST_MAIN(HistoryFormTest)
#include "HistoryFormTest.moc"
