#include "Screenshots.h"

#include "AboutForm.h"
#include "MainForm.h"
#include "gui/browser/BrowserRepairForm.h"
#include "gui/cleaner/DiskFileClearSelectForm.h"
#include "gui/cleaner/DiskScanForm.h"
#include "gui/cleaner/JunkOptionForm.h"
#include "gui/cleaner/SysDiskClearForm.h"
#include "gui/dllfix/RegDllForm.h"
#include "gui/installed/InstalledManageForm.h"
#include "gui/history/RecycleForm.h"
#include "gui/pages/ReportPage.h"
#include "gui/pages/ResultPage.h"
#include "gui/pages/SectionPage.h"
#include "gui/preferences/PreferencesForm.h"
#include "gui/preferences/UpdateFlow.h"
#include "gui/processes/ProcessForm.h"
#include "gui/scanner/ProblemListForm.h"
#include "gui/scanner/RepairDialogForm.h"
#include "gui/splitter/FilesSplitteForm.h"
#include "gui/startup/StartupManagerForm.h"
#include "gui/widgets/MessageBox.h"
#include "registry/RegistryContents.h"
#include "repair/RepairDriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>

namespace tw::gui {

namespace {

bool save(QWidget& widget, const QString& folder, const QString& name)
{
    QApplication::processEvents();
    return widget.grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace

bool saveScreenshots(TMainForm& window, const QString& folder,
                     const std::vector<PrefixChoiceRow>& prefixes)
{
    QDir().mkpath(folder);
    bool chooserSaved = true;
    if (!prefixes.empty()) {
        TPrefixChooserForm chooser(prefixes, prefixes.front().path);
        chooser.show();
        chooserSaved = save(chooser, folder, QStringLiteral("prefix-chooser"));
    }
    setMessageHandler([](const MessageRequest&) { return QMessageBox::Yes; });
    bool ok = true;
    window.show();
    SectionPage& sections = *window.sectionPage();
    ReportPage& report = *window.reportPage();

    window.showPage(TMainForm::Scaning);
    sections.ChbSelectAll->setChecked(true);
    sections.suitempChbSelectAllClick(false);
    ok &= save(window, folder, QStringLiteral("1-sections"));

    sections.SpbScanNowClick();
    window.showPage(TMainForm::BeginScan);
    ok &= save(window, folder, QStringLiteral("0-scan"));
    window.showPage(TMainForm::Scanreport);
    report.RepairList->setCurrentRow(0);
    ok &= save(window, folder, QStringLiteral("2-report"));

    // As "Select All" in the details of every reported section.
    SelectAllReportedRecords(window.session());
    if (report.RepairList->count() > 0) {
        report.ProblemList->SectionIndex = window.session().ReportRowSection.front();
        report.ProblemList->show();
        report.ProblemList->problemsListBox()->setCurrentRow(0);
        ok &= save(*report.ProblemList, folder, QStringLiteral("details"));
        report.ProblemList->hide();
    }

    TRepairDialogForm state(window.session(), &window);
    state.show();
    ok &= save(state, folder, QStringLiteral("state"));
    state.hide();

    // The repair in memory only: no backup, and the program saves nothing for screenshots.
    if (report.RepairList->count() > 0)
        window.resultPage()->runRepair(true);
    window.showPage(TMainForm::FinishScan);
    ok &= save(window, folder, QStringLiteral("3-results"));
    window.showPage(TMainForm::Options);
    ok &= save(window, folder, QStringLiteral("4-options"));
    window.IgBackupClick();
    ok &= save(window, folder, QStringLiteral("5-backups"));

    window.AboutForm->show();
    ok &= save(*window.AboutForm, folder, QStringLiteral("about"));
    window.AboutForm->hide();

    // The disk cleaner, which must not store its file-type list here.
    TFormSysDiskClear cleaner(window.session(), {false}, &window);
    cleaner.setTicked("C:", true);
    cleaner.show();
    ok &= save(cleaner, folder, QStringLiteral("cleaner-drives"));
    cleaner.FormJunkOption->show();
    ok &= save(*cleaner.FormJunkOption, folder, QStringLiteral("cleaner-options"));
    cleaner.FormJunkOption->hide();
    // Showing the scan window starts the scan; it has finished when the picture is taken.
    cleaner.FormDiskScan->show();
    ok &= save(*cleaner.FormDiskScan, folder, QStringLiteral("cleaner-scan"));
    cleaner.FormDiskScan->hide();
    cleaner.FormDiskFileClearSelect->show();
    ok &= save(*cleaner.FormDiskFileClearSelect, folder, QStringLiteral("cleaner-clean"));
    cleaner.FormDiskFileClearSelect->hide();
    cleaner.hide();
    // The preferences as stored, and the hand-over question; no download is made.
    TFormOptions preferences(window.context(), &window);
    preferences.show();
    ok &= save(preferences, folder, QStringLiteral("preferences"));
    preferences.hide();
    // The process manager with the modules of the program itself; nothing is terminated.
    TFormProcess processes(window.session(), &window);
    processes.show();
    processes.selectProcessRow(processes.rowOfProcess(QCoreApplication::applicationPid()));
    processes.BtnViewModuleClick();
    ok &= save(processes, folder, QStringLiteral("processes"));
    processes.hide();
    TStartupManagerForm startup(window.context(), &window);
    startup.show();
    ok &= save(startup, folder, QStringLiteral("startup-manager"));
    startup.hide();
    // The history cleaner on its temporary files (a preview reads no URL cache).
    TRecycleForm history(window.context(), &window);
    history.show();
    history.RundownListView->setCurrentItem(history.RundownListView->topLevelItem(4));
    ok &= save(history, folder, QStringLiteral("history"));
    history.hide();
    const std::unique_ptr<QMessageBox> question = makeMessageBox(
        &window, {QStringLiteral("Tidewell"), QString::fromLatin1(kNewerVersionQuestion),
                  MessageIcon::Information, MessageButtons::YesNo});
    question->show();
    ok &= save(*question, folder, QStringLiteral("update-question"));
    question->hide();
    // The browser repair's list and the splitter's two pages; nothing is run.
    TBrowserRepairForm browser(window.context(), &window);
    browser.show();
    ok &= save(browser, folder, QStringLiteral("browser-repair"));
    browser.hide();
    TFormFilesSplitte splitter(window.context(), &window);
    splitter.show();
    ok &= save(splitter, folder, QStringLiteral("splitter-split"));
    splitter.Pages->setCurrentIndex(1);
    ok &= save(splitter, folder, QStringLiteral("splitter-combine"));
    splitter.hide();
    TInstalledManageForm installed(window.context(), &window);
    installed.show();
    ok &= save(installed, folder, QStringLiteral("installed-programs"));
    installed.hide();
    TFormRegDll dllFix(window.context(), &window);
    dllFix.show();
    ok &= save(dllFix, folder, QStringLiteral("dll-fix"));
    dllFix.hide();
    setMessageHandler({});
    return ok && chooserSaved;
}

} // namespace tw::gui
