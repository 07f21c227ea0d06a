// The preferences window and the update check as the user drives them, against a local
// update host; the window keeps running while a download waits.
#include "gui/preferences/PreferencesForm.h"

#include "app/SessionStart.h"
#include "app/WineStart.h"
#include "gui/WindowContext.h"
#include "gui/preferences/UpdateFlow.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/WineInstallation.h"
#include "platform/wine/WinePrefix.h"
#include "registry/TRegistry.h"
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"
#include "support/UpdateServer.h"
#include "tools/update/Preferences.h"

#include <QCheckBox>
#include <QLabel>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <cstdlib>

using namespace tw;
using namespace tw::gui;

class PreferencesFormTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<app::StartedSession> m_started;
    std::unique_ptr<WindowContext> m_context;
    QStringList m_messages;
    int m_ends = 0;

    std::string prefixPath() const { return (m_dir->path() / "prefix").string(); }
    void start()
    {
        m_context.reset();
        m_started.reset();
        m_started = app::startSession({prefixPath(), app::SettingsMode::Load});
        m_context.reset(new WindowContext{m_started->session(), {}, {}, {}});
        m_context->commitChanges = [this]() -> QString {
            app::winePrefix(*m_started).save();
            return {};
        };
        m_context->endProgram = [this] { ++m_ends; };
    }
    void setUpdateHost(const std::string& host)
    {
        WriteSetting(m_started->session(), "UpdateURL", host);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<test::TempDir>();
        ::setenv("XDG_CONFIG_HOME", (m_dir->path() / "config").c_str(), 1);
        test::PrefixBuilder(m_dir->path() / "prefix")
            .userHive("\n[Software\\\\Tidewell] 1\n\"RunFirst\"=\"1\"\n\"CheckUpdate\"=\"0\"\n");
        m_messages.clear();
        m_ends = 0;
        setMessageHandler([this](const MessageRequest& request) {
            m_messages << request.text;
            return QMessageBox::Yes;
        });
        start();
    }
    void cleanup()
    {
        setMessageHandler({});
        m_context.reset();
        m_started.reset();
        m_dir.reset();
        ::unsetenv("XDG_CONFIG_HOME");
    }

    void showsTheStoredSettingsAndTheVersionLine()
    {
        TFormOptions form(*m_context);
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Preferences"));
        QVERIFY(!form.cbCheckUpdate->isChecked());
        QVERIFY(form.ChkCheckItem->isChecked()); // written by the first start
        QVERIFY(!form.ChkRun->isChecked());
        QVERIFY(form.LabelVer->text().startsWith(QStringLiteral("Version: 2.0, Last Time: ")));
    }

    void okIsReadBackAtTheNextStartAndCancelWritesNothing()
    {
        {
            TFormOptions form(*m_context);
            form.show();
            form.cbCheckUpdate->setChecked(true);
            form.ChkAutoBackup->setChecked(true);
            form.IgCancelClick();
        }
        start();
        QVERIFY(!m_started->session().AppSettings.CheckUpdate);
        {
            TFormOptions form(*m_context);
            form.show();
            form.cbCheckUpdate->setChecked(true);
            form.ChkAutoBackup->setChecked(true);
            form.chScanOption->setChecked(false);
            form.ChkRun->setChecked(true);
            form.IgOKClick();
            QCOMPARE(form.result(), int(QDialog::Accepted));
        }
        start();
        QVERIFY(m_started->session().AppSettings.CheckUpdate);
        QVERIFY(m_started->session().AppSettings.NotAutoBackup);
        TFormOptions form(*m_context);
        form.show();
        QVERIFY(form.ChkRun->isChecked());
        QVERIFY(!form.chScanOption->isChecked());
        QVERIFY(
            std::filesystem::exists(app::winePrefix(*m_started).installation().desktopFilePath()));
        form.ChkRun->setChecked(false);
        form.IgOKClick();
        QVERIFY(
            !std::filesystem::exists(app::winePrefix(*m_started).installation().desktopFilePath()));
        QVERIFY(m_messages.isEmpty());
    }

    void wineStartedWhileTheWindowIsOpenRefusesOkAndTheManualDownload()
    {
        if (!test::wineInstalled())
            QSKIP("wine is not installed");
        test::UpdateServer server;
        setUpdateHost(server.host("2.1"));
        app::winePrefix(*m_started).save();
        TFormOptions form(*m_context);
        form.show();
        const std::map<std::string, std::string> env{{"WINEPREFIX", prefixPath()},
                                                     {"WINEDEBUG", "-all"}};
        QCOMPARE(test::runProcess({"wineserver", "-p"}, env).exitCode, 0);
        const auto stopWine = qScopeGuard([&] {
            test::runProcess({"wineserver", "-k"}, env);
            test::runProcess({"wineserver", "-w"}, env);
        });
        const std::string userHive = test::readFile(m_dir->path() / "prefix/user.reg");

        form.ChkRun->setChecked(true);
        form.cbCheckUpdate->setChecked(true);
        form.IgOKClick();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(QStringLiteral("Wine is running in the prefix")));
        QVERIFY(m_messages[0].contains(QStringLiteral("wineserver -k")));
        QVERIFY(form.isVisible());
        QVERIFY(!std::filesystem::exists(m_dir->path() / "config/autostart"));

        form.IgUpdatesClick();
        QTRY_COMPARE(m_messages.size(), 2);
        QVERIFY(m_messages[1].startsWith(QStringLiteral("The update check failed: Update.ini was "
                                                        "not written. Wine is running")));
        QVERIFY(!std::filesystem::exists(m_dir->path() /
                                         "prefix/drive_c/Program Files/Tidewell/Update.ini"));
        QCOMPARE(test::readFile(m_dir->path() / "prefix/user.reg"), userHive);
    }

    void updatesSaysThereIsNothingNewer()
    {
        test::UpdateServer server;
        setUpdateHost(server.host("2.0"));
        TFormOptions form(*m_context);
        form.show();
        form.IgUpdatesClick();
        QVERIFY(!form.IgUpdates->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!form.updateFlow()->isRunning(), 15000);
        QCOMPARE(m_messages, QStringList{QString::fromLatin1(kNoUpdatesText)});
        QVERIFY(form.IgUpdates->isEnabled());
    }

    void newerVersionAsksAndAMissingUpdaterIsToldWhileTheProgramGoesOn()
    {
        test::UpdateServer server;
        setUpdateHost(server.host("2.1"));
        TFormOptions form(*m_context);
        form.show();
        form.IgUpdatesClick();
        QTRY_VERIFY_WITH_TIMEOUT(!form.updateFlow()->isRunning(), 15000);
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[0], QString::fromLatin1(kNewerVersionQuestion));
        QVERIFY(m_messages[1].contains(QStringLiteral("Gantry.exe is missing")));
        QCOMPARE(m_ends, 0);
    }

    void aSilentServerLeavesTheWindowRunning()
    {
        test::UpdateServer server;
        setUpdateHost(server.host("silent"));
        QWidget owner;
        UpdateFlow flow(*m_context, &owner);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);
        QVERIFY(flow.run(UpdateFlow::Mode::Automatic));
        QVERIFY(!flow.run(UpdateFlow::Mode::Automatic)); // one check at a time
        QTRY_VERIFY_WITH_TIMEOUT(!flow.isRunning(), 30000);
        // The events went on while the download waited, and a failed start-up check is silent.
        QVERIFY(ticks > 10);
        QVERIFY(m_messages.isEmpty());
    }

    void withoutAnUpdateAddressNothingIsContactedAndUpdatesSaysWhy()
    {
        if (!std::string(UpdateDescriptorUrl(m_started->session())).empty())
            QSKIP("this build names an update host");
        QWidget owner;
        UpdateFlow flow(*m_context, &owner);
        // The start-up check: nothing to contact, nothing said.
        QVERIFY(!flow.run(UpdateFlow::Mode::Automatic));
        QVERIFY(!flow.isRunning());
        QVERIFY(m_messages.isEmpty());

        TFormOptions form(*m_context);
        form.show();
        form.IgUpdatesClick();
        QVERIFY(!form.updateFlow()->isRunning());
        QVERIFY(form.IgUpdates->isEnabled());
        QCOMPARE(m_messages, QStringList{QString::fromLatin1(kNoUpdateAddress)});
        QVERIFY(m_messages[0].startsWith(QStringLiteral("No update address is set: ")));
        QVERIFY(m_messages[0].contains(QStringLiteral("settings set UpdateURL")));
        QVERIFY(!std::filesystem::exists(m_dir->path() / "prefix/drive_c/Program Files/Tidewell"));

        // A host set later is used as before.
        test::UpdateServer server;
        setUpdateHost(server.host("2.0"));
        form.IgUpdatesClick();
        QTRY_VERIFY_WITH_TIMEOUT(!form.updateFlow()->isRunning(), 15000);
        QCOMPARE(m_messages.last(), QString::fromLatin1(kNoUpdatesText));
    }

    void failedManualCheckSaysWhy()
    {
        setUpdateHost("http://127.0.0.1:" + std::to_string(test::closedPort()));
        QWidget owner;
        UpdateFlow flow(*m_context, &owner);
        QVERIFY(flow.run(UpdateFlow::Mode::Manual));
        QTRY_VERIFY_WITH_TIMEOUT(!flow.isRunning(), 15000);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].startsWith(QStringLiteral("The update check failed: ")));
    }
};

QTEST_MAIN(PreferencesFormTest)
#include "PreferencesFormTest.moc"
