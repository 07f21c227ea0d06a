// The startup manager window as the user drives it: the list, the confirmation, removal.
#include "gui/startup/StartupManagerForm.h"

#include "app/SessionStart.h"
#include "app/WineStart.h"
#include "gui/ToolTable.h"
#include "gui/WindowContext.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/WinePrefix.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "repair/BackupList.h"
#include "support/TestSupport.h"

#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

using namespace tw;
using namespace tw::gui;

namespace {

const char* kMachine = "\n"
                       "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n"
                       "\"Updater\"=\"C:\\\\Machine\\\\upd.exe\"\n"
                       "\"Count\"=dword:00000005\n";

const char* kUser =
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
    "\"Startup\"=\"C:\\\\users\\\\me\\\\Startup\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n"
    "\"Updater\"=\"\\\"C:\\\\Program Files\\\\App\\\\app.exe\\\" /min\"\n"
    "\n"
    "[Software\\\\Tidewell] 1\n"
    "\"RunFirst\"=\"1\"\n"
    "\"CheckUpdate\"=\"0\"\n";

} // namespace

class StartupManagerFormTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<app::StartedSession> m_started;
    std::unique_ptr<WindowContext> m_context;
    QList<MessageRequest> m_messages;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    test::fs::path driveC() const { return m_dir->path() / "prefix" / "drive_c"; }
    QStringList rows(const TStartupManagerForm& form) const
    {
        QStringList shown;
        for (int i = 0; i < form.StartupListView->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = form.StartupListView->topLevelItem(i);
            shown << item->text(0) + QLatin1Char('|') + item->text(1);
        }
        return shown;
    }
    void select(TStartupManagerForm& form, int row)
    {
        form.StartupListView->setCurrentItem(form.StartupListView->topLevelItem(row));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<test::TempDir>();
        test::PrefixBuilder(m_dir->path() / "prefix")
            .systemHive(kMachine)
            .userHive(kUser)
            .file("users/me/Startup/mine.lnk", "link")
            .file("windows/win.ini", "[Run]\r\nrunner=C:\\run.exe\r\n");
        m_started =
            app::startSession({(m_dir->path() / "prefix").string(), app::SettingsMode::Load});
        m_started->session().PlatformKind = 4;
        m_context.reset(new WindowContext{m_started->session(), {}, {}, {}});
        m_context->commitChanges = [this]() -> QString {
            app::winePrefix(*m_started).save();
            return {};
        };
        m_messages.clear();
        m_answer = QMessageBox::Yes;
        setMessageHandler([this](const MessageRequest& request) {
            m_messages << request;
            return m_answer;
        });
    }
    void cleanup()
    {
        setMessageHandler({});
        m_context.reset();
        m_started.reset();
        m_dir.reset();
    }

    void showsTheTextsAndTheListInItsOrder()
    {
        TStartupManagerForm form(*m_context);
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Startup Manager"));
        QVERIFY(form.LabelIntro->text().startsWith(
            QStringLiteral("Startup Programs are application that run each time you start your "
                           "computer.you can view details")));
        QVERIFY(form.LabelNote->text().startsWith(QStringLiteral("Note :Removal of items below")));
        QCOMPARE(form.StartupListView->headerItem()->text(0), QStringLiteral("Name"));
        QCOMPARE(form.StartupListView->headerItem()->text(1), QStringLiteral("Path"));
        QCOMPARE(form.StartupListView->columnWidth(0), 150);
        QCOMPARE(form.StartupListView->columnWidth(1), form.StartupListView->width() - 150 - 22);
        QCOMPARE(rows(form), (QStringList{
                                 QStringLiteral("mine.lnk|C:\\users\\me\\Startup\\mine.lnk"),
                                 QStringLiteral("Count|5"),
                                 QStringLiteral("Updater|C:\\Machine\\upd.exe"),
                                 QStringLiteral("Updater|\"C:\\Program Files\\App\\app.exe\" /min"),
                                 QStringLiteral("runner|C:\\run.exe"),
                             }));
        QCOMPARE(form.SpbRemove->text(), QStringLiteral("Remove Checked"));
        QCOMPARE(form.SpbOpenPath->text(), QStringLiteral("Open Path"));
    }

    void noAnswerChangesNothingAndYesRemovesTheRow()
    {
        TStartupManagerForm form(*m_context);
        form.show();
        form.SpbRemoveClick();
        QVERIFY2(m_messages.isEmpty(), "no row selected: nothing is asked");

        select(form, 3);
        m_answer = QMessageBox::No;
        form.SpbRemoveClick();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text,
                 QStringLiteral("Are you sure you want to remove this entry from startup "
                                "folder?\rA backup that brings it back is written first, to "
                                "C:\\Program Files\\Tidewell\\AllRegBack\\ (Restore on the "
                                "backup page)."));
        QCOMPARE(m_messages[0].caption, QStringLiteral("Tidewell"));
        QVERIFY(m_messages[0].icon == MessageIcon::Warning);
        QVERIFY(m_messages[0].buttons == MessageButtons::YesNoDefaultNo);
        QCOMPARE(form.StartupListView->topLevelItemCount(), 5);
        QVERIFY(ListBackups(m_started->session()).empty());

        m_answer = QMessageBox::Yes;
        form.SpbRemoveClick();
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(form.StartupListView->topLevelItemCount(), 4);
        QVERIFY(!rows(form).contains(
            QStringLiteral("Updater|\"C:\\Program Files\\App\\app.exe\" /min")));
        QCOMPARE(ListBackups(m_started->session()).size(), size_t(1));

        // Shown again: the list is read afresh, the value stays gone.
        form.hide();
        form.show();
        QCOMPARE(form.StartupListView->topLevelItemCount(), 4);
        QVERIFY(rows(form).contains(QStringLiteral("Updater|C:\\Machine\\upd.exe")));
    }

    void a32BitValueIsMarkedAndRemovedFromItsOwnView()
    {
        const std::string wow32Run =
            "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
        {
            TRegistry reg(m_started->session());
            reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
            QVERIFY(reg.OpenPath(wow32Run, true));
            reg.WriteText("Updater", "C:\\x86\\upd.exe");
        }
        TStartupManagerForm form(*m_context);
        form.show();
        QCOMPARE(rows(form).mid(1, 4),
                 (QStringList{
                     QStringLiteral("Count|5"),
                     QStringLiteral("Updater|C:\\Machine\\upd.exe"),
                     QStringLiteral("Updater (32-bit)|C:\\x86\\upd.exe"),
                     QStringLiteral("Updater|\"C:\\Program Files\\App\\app.exe\" /min"),
                 }));
        select(form, 3);
        form.SpbRemoveClick();
        QCOMPARE(form.StartupListView->topLevelItemCount(), 5);
        QVERIFY(rows(form).contains(QStringLiteral("Updater|C:\\Machine\\upd.exe")));
        TRegistry reg(m_started->session());
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        QVERIFY(reg.OpenPath(wow32Run, false));
        QVERIFY(!reg.HasValue("Updater"));
        QCOMPARE(ListBackups(m_started->session()).size(), size_t(1));
    }

    void refusalIsShownAndTheRowStays()
    {
        test::writeFile(driveC() / "Program Files" / "Tidewell" / "AllRegBack", "in the way");
        TStartupManagerForm form(*m_context);
        form.show();
        select(form, 4);
        form.SpbRemoveClick();
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_messages[1].icon == MessageIcon::Error);
        QVERIFY(m_messages[1].text.contains(QStringLiteral("AllRegBack")));
        QCOMPARE(form.StartupListView->topLevelItemCount(), 5);
        QCOMPARE(QString::fromStdString(test::readFile(driveC() / "windows" / "win.ini")),
                 QStringLiteral("[Run]\r\nrunner=C:\\run.exe\r\n"));
    }

    void optionsRowOpensTheWindow()
    {
        for (const ToolRow& row : optionTools()) {
            if (QString::fromLatin1(row.name) == QStringLiteral("Startup Manager")) {
                QVERIFY(row.window != nullptr);
                std::unique_ptr<QDialog> window(row.window(*m_context, nullptr));
                QVERIFY(qobject_cast<TStartupManagerForm*>(window.get()) != nullptr);
                return;
            }
        }
        QFAIL("no Startup Manager row");
    }
};

QTEST_MAIN(StartupManagerFormTest)
#include "StartupManagerFormTest.moc"
