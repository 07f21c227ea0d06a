// tidewell: the window.
#include "MainForm.h"
#include "Screenshots.h"
#include "app/SessionStart.h"
#include "gui/preferences/UpdateFlow.h"
#include "gui/prefixes/PrefixChooserForm.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Theme.h"
#include "platform/MemoryPages.h"
#include "app/Prefixes.h"
#include "platform/Storage.h"
#include "registry/ProgramInfo.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QProcess>
#include <memory>

int main(int argc, char** argv)
{
    tw::platform::preferLargeMemoryPages();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidewell Ver ") +
                                     QString::fromLatin1(tw::kProgramVersion));
    QApplication::setWindowIcon(tw::gui::applicationIcon());
    app.setStyleSheet(tw::gui::styleSheet());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tidewell, registry cleaner and system tools"));
    parser.addHelpOption();
    const QCommandLineOption prefixOption(QStringLiteral("prefix"),
                                          QStringLiteral("The Wine prefix to work on."),
                                          QStringLiteral("DIR"));
    const QCommandLineOption screenshotsOption(
        QStringLiteral("screenshots"),
        QStringLiteral("Save a picture of every page and window into DIR, then quit."),
        QStringLiteral("DIR"));
    parser.addOption(prefixOption);
    parser.addOption(screenshotsOption);
    parser.process(app);
    const bool screenshots = parser.isSet(screenshotsOption);

    // Screenshots read the settings without writing them; so does a read-only prefix.
    tw::app::StartOptions options;
    if (parser.isSet(prefixOption))
        options.prefix = parser.value(prefixOption).toStdString();
    options.settings = screenshots ? tw::app::SettingsMode::Read : tw::app::SettingsMode::Load;
    options.preview = screenshots;
    // Without --prefix or $WINEPREFIX the user picks one of the prefixes found.
    QString chosenDescription;
    const auto chooserRows = [](const tw::platform::PrefixList& found) {
        std::vector<tw::gui::PrefixChoiceRow> rows;
        for (const tw::platform::FoundPrefix& p : found.prefixes)
            rows.push_back({QString::fromStdString(p.name), QString::fromStdString(p.source),
                            QLocale().formattedDataSize(static_cast<qint64>(p.hiveBytes)),
                            QString::fromStdString(p.path)});
        return rows;
    };
    if (!screenshots && !options.prefix && qEnvironmentVariableIsEmpty("WINEPREFIX")) {
        const tw::platform::PrefixList found =
            tw::app::findPrefixes();
        if (!found.prefixes.empty()) {
            const std::vector<tw::gui::PrefixChoiceRow> rows = chooserRows(found);
            tw::gui::TPrefixChooserForm chooser(rows, tw::gui::lastChosenPrefix());
            if (chooser.exec() != QDialog::Accepted || chooser.chosenRow() < 0)
                return 0;
            const tw::platform::FoundPrefix& chosen =
                found.prefixes[static_cast<size_t>(chooser.chosenRow())];
            tw::gui::rememberChosenPrefix(QString::fromStdString(chosen.path));
            options.prefix = chosen.path;
            chosenDescription = QString::fromStdString(chosen.path + " (" + chosen.source +
                                                       " prefix \"" + chosen.name + "\")");
        }
    }
    std::unique_ptr<tw::app::StartedSession> started;
    try {
        started = tw::app::startSession(options);
    } catch (const std::exception& e) {
        tw::gui::showMessage(nullptr, QString::fromStdString(e.what()),
                             tw::gui::MessageIcon::Error);
        return 1;
    }
    if (started->restarted)
        return 0;
    for (const std::string& warning : started->warnings)
        tw::gui::showMessage(nullptr, QString::fromStdString(warning), tw::gui::MessageIcon::Error);

    // Writes are made only where they can last: never beside a running Wine, never for
    // screenshots.
    tw::Session& session = started->session();
    // A read-only prefix has nothing to write; it may become writable when Wine ends.
    auto commit = [&]() -> QString {
        if (screenshots)
            return {};
        try {
            session.storage().commit();
        } catch (const std::exception& e) {
            return QString::fromStdString(e.what());
        }
        return {};
    };

    tw::gui::MainFormSetup setup;
    setup.prefixDescription =
        chosenDescription.isEmpty()
            ? QString::fromStdString(started->prefixPath() + " (" + started->prefixSource() + ")")
            : chosenDescription;
    setup.readOnlyReason = QString::fromStdString(session.storage().readOnlyReason());
    if (!screenshots)
        setup.commitChanges = commit;
    setup.session = &started->session();
    setup.settingsProblems = started->settingsProblems;
    // Another prefix opens in a new Tidewell; this one, its tool windows with it, ends.
    const std::string openPath = started->prefixPath();
    setup.switchPrefix = [&chooserRows, openPath] {
        const std::vector<tw::gui::PrefixChoiceRow> rows = chooserRows(
            tw::app::findPrefixes());
        if (rows.empty()) {
            tw::gui::showMessage(nullptr, QStringLiteral("No Wine prefix was found."),
                                 tw::gui::MessageIcon::Information);
            return;
        }
        tw::gui::TPrefixChooserForm chooser(rows, QString::fromStdString(openPath));
        if (chooser.exec() != QDialog::Accepted || chooser.chosenRow() < 0 ||
            chooser.chosenPath().toStdString() == openPath)
            return;
        tw::gui::rememberChosenPrefix(chooser.chosenPath());
        if (!QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                     {QStringLiteral("--prefix"), chooser.chosenPath()})) {
            tw::gui::showMessage(nullptr, QStringLiteral("Tidewell could not be started again."),
                                 tw::gui::MessageIcon::Error);
            return;
        }
        QApplication::exit(0);
    };
    tw::gui::TMainForm window(setup);
    window.restoreState();
    QObject::connect(&window, &tw::gui::TMainForm::exitRequested, &app,
                     [](int code) { QApplication::exit(code); });

    if (screenshots)
        return tw::gui::saveScreenshots(
                   window, parser.value(screenshotsOption),
                   chooserRows(tw::app::findPrefixes()))
                   ? 0
                   : 1;

    window.show();
    // The start-up check runs beside the window; a failed download says nothing.
    if (started->session().AppSettings.CheckUpdate)
        window.updateFlow()->run(tw::gui::UpdateFlow::Mode::Automatic);
    const int status = app.exec();
    const QString error = commit();
    if (!error.isEmpty())
        tw::gui::showMessage(nullptr, error, tw::gui::MessageIcon::Error);
    return status;
}
