// tidewell: the window.
#include "MainForm.h"
#include "MessageBox.h"
#include "Screenshots.h"
#include "Startup.h"
#include "Theme.h"
#include "platform/Platform.h"
#include "platform/wine/PrefixLocator.h"
#include "platform/wine/WinePrefix.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "scanner/sections/SmallSections.h"

#include <QApplication>
#include <QCommandLineParser>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidewell Ver 2.0"));
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

    std::unique_ptr<tw::wine::WinePrefix> prefix;
    tw::wine::PrefixChoice choice;
    try {
        std::optional<std::string> given;
        if (parser.isSet(prefixOption))
            given = parser.value(prefixOption).toStdString();
        choice = tw::wine::choosePrefix(given);
        prefix = std::make_unique<tw::wine::WinePrefix>(choice.path);
    } catch (const std::exception& e) {
        tw::gui::showMessage(nullptr, QString::fromStdString(e.what()),
                             tw::gui::MessageIcon::Error);
        return 1;
    }
    tw::platform::setCurrent(&prefix->platform());
    // Writes are made only where they can last: never beside a running Wine, never for
    // screenshots.
    const bool writable = !prefix->isReadOnly() && !screenshots;
    auto commit = [&]() -> QString {
        if (!writable)
            return {};
        try {
            prefix->save();
        } catch (const std::exception& e) {
            return QString::fromStdString(e.what());
        }
        return {};
    };

    try {
        if (writable) {
            if (!tw::gui::RunElevationStep())
                return 0;
            tw::LoadSettings();
        } else {
            tw::ReadSettings();
        }
        const QString error = commit();
        if (!error.isEmpty())
            tw::gui::showMessage(nullptr, error, tw::gui::MessageIcon::Error);
    } catch (const std::exception& e) {
        tw::gui::showMessage(nullptr, QString::fromStdString(e.what()),
                             tw::gui::MessageIcon::Error);
        return 1;
    }

    const std::string addons = tw::wine::dataDirectory() + "/addons/addon-list.txt";
    if (!tw::LoadAddonList(addons))
        tw::gui::showMessage(nullptr,
                             QString::fromStdString("Cannot read the add-on list " + addons),
                             tw::gui::MessageIcon::Error);

    tw::gui::MainFormSetup setup;
    setup.prefixDescription =
        QString::fromStdString(prefix->hostPath() + " (" + choice.source + ")");
    setup.readOnlyReason = QString::fromStdString(prefix->readOnlyReason());
    setup.commitChanges = commit;
    tw::gui::TMainForm window(setup);
    tw::DetectPlatform();
    QObject::connect(&window, &tw::gui::TMainForm::exitRequested, &app,
                     [](int code) { QApplication::exit(code); });

    if (screenshots)
        return tw::gui::saveScreenshots(window, parser.value(screenshotsOption)) ? 0 : 1;

    window.show();
    const int status = app.exec();
    const QString error = commit();
    if (!error.isEmpty())
        tw::gui::showMessage(nullptr, error, tw::gui::MessageIcon::Error);
    tw::platform::setCurrent(nullptr);
    return status;
}
