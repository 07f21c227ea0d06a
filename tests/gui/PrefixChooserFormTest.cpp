// The prefix chooser and the header that names the prefix in use.
#include "gui/prefixes/PrefixChooserForm.h"

#include "app/SessionStart.h"
#include "gui/MainForm.h"
#include "platform/wine/WinePrefix.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QSettings>
#include <QTableWidget>
#include <QTest>

using namespace tw;
using namespace tw::gui;

class PrefixChooserFormTest : public QObject
{
    Q_OBJECT

private:
    std::vector<PrefixChoiceRow> rows() const
    {
        return {{"wine", "Wine", "1.2 MB", "/home/a/.wine"},
                {"Portal", "Steam", "3.4 MB", "/games/steamapps/compatdata/400/pfx"},
                {"Office", "Bottles", "2.8 MB", "/home/a/.local/share/bottles/bottles/Office"}};
    }

private slots:
    void listsThePrefixesAndSelectsTheLastChoice()
    {
        TPrefixChooserForm chooser(rows(), "/games/steamapps/compatdata/400/pfx");
        QTableWidget* list = chooser.PrefixList;
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(list->item(2, 0)->text(), QStringLiteral("Office"));
        QCOMPARE(list->item(2, 1)->text(), QStringLiteral("Bottles"));
        QCOMPARE(list->item(2, 2)->text(), QStringLiteral("2.8 MB"));
        QCOMPARE(list->item(2, 3)->text(),
                 QStringLiteral("/home/a/.local/share/bottles/bottles/Office"));
        QCOMPARE(chooser.chosenPath(), QStringLiteral("/games/steamapps/compatdata/400/pfx"));
        list->selectRow(2);
        QCOMPARE(chooser.chosenPath(),
                 QStringLiteral("/home/a/.local/share/bottles/bottles/Office"));

        // A last choice that is gone selects the first prefix.
        TPrefixChooserForm fresh(rows(), "/gone");
        QCOMPARE(fresh.chosenPath(), QStringLiteral("/home/a/.wine"));
        TPrefixChooserForm empty({}, "/gone");
        QCOMPARE(empty.chosenPath(), QString());
    }

    void theLastChoiceIsKeptInTheUsersSettings()
    {
        test::TempDir dir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(dir.str()));
        QCOMPARE(lastChosenPrefix(), QString());
        rememberChosenPrefix("/games/steamapps/compatdata/400/pfx");
        QVERIFY(test::readFile(dir.path() / "Tidewell/tidewell.conf")
                    .find("LastPrefix=/games/steamapps/compatdata/400/pfx") != std::string::npos);
        QCOMPARE(lastChosenPrefix(), QStringLiteral("/games/steamapps/compatdata/400/pfx"));
    }

    void theHeaderNamesThePrefixInUse()
    {
        test::TempDir dir;
        test::PrefixBuilder builder(dir.path() / "prefix");
        auto started = app::startSession({builder.str(), app::SettingsMode::Read});
        MainFormSetup setup;
        setup.prefixDescription = QStringLiteral("/games/pfx (Steam prefix \"Portal\")");
        setup.session = &started->session();
        TMainForm window(setup);
        auto* label = window.findChild<QLabel*>(QStringLiteral("prefixName"));
        QVERIFY(label);
        QCOMPARE(label->text(), setup.prefixDescription);
        QCOMPARE(label->toolTip(), setup.prefixDescription);
        QVERIFY2(!window.findChild<QLabel*>(QStringLiteral("switchPrefix")),
                 "nothing to switch with");

        int switches = 0;
        setup.switchPrefix = [&] { ++switches; };
        TMainForm switching(setup);
        auto* link = switching.findChild<QLabel*>(QStringLiteral("switchPrefix"));
        QVERIFY(link);
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(switches, 1);
    }
};

QTEST_MAIN(PrefixChooserFormTest)
#include "PrefixChooserFormTest.moc"
