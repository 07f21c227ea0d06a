// The installed programs manager and the DLL fixer as the user drives them.
#include "gui/WindowContext.h"
#include "gui/dllfix/RegDllForm.h"
#include "gui/installed/InstalledManageForm.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/WinePrefix.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"
#include "repair/BackupList.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>

using namespace tw;
using namespace tw::gui;

class ProgramToolsFormsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<wine::WinePrefix> m_prefix;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<WindowContext> m_context;
    QStringList m_messages;
    QList<MessageButtons> m_buttons;

private slots:
    void init()
    {
        m_dir = std::make_unique<test::TempDir>();
        test::PrefixBuilder(m_dir->path() / "prefix")
            .systemHive(R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\One] 1
"DisplayName"="One"
"UninstallString"="C:\\one\\un.exe"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Two] 1
"DisplayName"="Two"
"UninstallString"="C:\\two\\un.exe"
)")
            .file("windows/system32/a.dll")
            .file("windows/system32/b.ocx")
            .file("windows/system32/c.txt");
        m_prefix = std::make_unique<wine::WinePrefix>((m_dir->path() / "prefix").string());
        m_session = std::make_unique<Session>(m_prefix->platform());
        m_session->PlatformKind = 4;
        m_context.reset(new WindowContext{*m_session, {}, {}, {}});
        m_context->commitChanges = [this]() -> QString {
            m_prefix->save();
            return {};
        };
        m_messages.clear();
        m_buttons.clear();
        setMessageHandler([this](const MessageRequest& request) {
            m_messages << request.text;
            m_buttons << request.buttons;
            return QMessageBox::Yes;
        });
    }
    void cleanup()
    {
        setMessageHandler({});
        m_context.reset();
        m_session.reset();
        m_prefix.reset();
        m_dir.reset();
    }

    void installedListRemovesWithBackupAndAsksForASelection()
    {
        TInstalledManageForm form(*m_context);
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Manage Installed Programs"));
        QCOMPARE(form.ListInstalled->topLevelItemCount(), 2);
        QCOMPARE(form.ListInstalled->topLevelItem(1)->text(1), QStringLiteral("C:\\two\\un.exe"));

        form.BtnRefreshClick();
        form.BtnUninstallClick();
        form.BtnRemoveClick();
        QCOMPARE(m_messages, QStringList({"Unchecked", "Unchecked"}));

        m_messages.clear();
        form.ListInstalled->topLevelItem(0)->setSelected(true);
        form.BtnRemoveClick();
        QCOMPARE(m_messages,
                 QStringList({"Are you sure you want to remove this entry from registry?\rA "
                              "backup that brings it back is written first, to C:\\Program "
                              "Files\\Tidewell\\AllRegBack\\ (Restore on the backup page)."}));
        QVERIFY(m_buttons.last() == MessageButtons::YesNoDefaultNo);
        QCOMPARE(form.ListInstalled->topLevelItemCount(), 1);
        QCOMPARE(form.ListInstalled->topLevelItem(0)->text(0), QStringLiteral("Two"));
        QVERIFY(!m_prefix->hasUnsavedChanges());
        QCOMPARE(ListBackups(*m_session).size(), size_t(1));
    }

    void installedUninstallThatCannotStartSaysWhyAndWritesNoBackup()
    {
        // The entry's uninstaller is not in the prefix.
        TInstalledManageForm form(*m_context);
        form.show();
        form.ListInstalled->topLevelItem(0)->setSelected(true);
        form.BtnUninstallClick();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(
            m_messages[0].contains(QStringLiteral("C:\\one\\un.exe was not found in the prefix")) ||
                m_messages[0].contains(QStringLiteral("Wine is not installed")),
            qPrintable(m_messages[0]));
        QCOMPARE(ListBackups(*m_session).size(), size_t(0));
        QVERIFY(!m_prefix->isReadOnly());
    }

    void installedListMarks32BitEntriesAndRemovesThemFromTheirView()
    {
        const std::string old =
            "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old";
        {
            TRegistry reg(*m_session);
            reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
            QVERIFY(reg.OpenPath(old, true));
            reg.WriteText("DisplayName", "Old");
            reg.WriteText("UninstallString", "C:\\old\\un.exe");
        }
        TInstalledManageForm form(*m_context);
        form.show();
        QCOMPARE(form.ListInstalled->topLevelItemCount(), 3);
        QCOMPARE(form.ListInstalled->topLevelItem(2)->text(0), QStringLiteral("Old (32-bit)"));
        form.ListInstalled->topLevelItem(2)->setSelected(true);
        form.BtnRemoveClick();
        QCOMPARE(form.ListInstalled->topLevelItemCount(), 2);
        TRegistry reg(*m_session);
        reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
        QVERIFY(!reg.PathExists(old));
        QVERIFY(reg.PathExists("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Two"));
    }

    void dllFixCollectsThenReportsRegistrationsThatCannotStart()
    {
        // No wine on the PATH: every registration fails to start, and the window says why.
        const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", m_dir->str().c_str(), 1);
        TFormRegDll form(*m_context);
        form.show();
        form.SpbFixClick();
        QCOMPARE(form.Gauge->maximum(), 2);
        QCOMPARE(form.LabStatus->text(), QStringLiteral("Repairing Dll"));
        QTRY_COMPARE(form.LabStatus->text(), QStringLiteral("Fix Completed"));
        ::setenv("PATH", oldPath.c_str(), 1);
        QCOMPARE(form.Gauge->value(), 2);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].startsWith(
            QStringLiteral("2 of 2 libraries were not registered again:\n")));
        QVERIFY(m_messages[0].contains(QStringLiteral("\nC:\\windows\\system32\\a.dll (")));
        QVERIFY(m_messages[0].contains(QStringLiteral("\nC:\\windows\\system32\\b.ocx (")));
        QVERIFY(m_messages[0].contains(QStringLiteral("Wine is not installed")));
        QCOMPARE(ListBackups(*m_session).size(), size_t(0));
    }
};

QTEST_MAIN(ProgramToolsFormsTest)
#include "ProgramToolsFormsTest.moc"
