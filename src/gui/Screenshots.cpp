#include "Screenshots.h"

#include "AboutForm.h"
#include "MainForm.h"
#include "MessageBox.h"
#include "ProblemListForm.h"
#include "RepairDialogForm.h"
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

bool saveScreenshots(TMainForm& window, const QString& folder)
{
    QDir().mkpath(folder);
    setMessageHandler([](const MessageRequest&) { return QMessageBox::Yes; });
    bool ok = true;
    window.show();

    window.showPage(TMainForm::Scaning);
    window.ChbSelectAll->setChecked(true);
    window.suitempChbSelectAllClick(false);
    ok &= save(window, folder, QStringLiteral("1-sections"));

    window.SpbScanNowClick();
    window.showPage(TMainForm::BeginScan);
    ok &= save(window, folder, QStringLiteral("0-scan"));
    window.showPage(TMainForm::Scanreport);
    window.RepairList->setCurrentRow(0);
    ok &= save(window, folder, QStringLiteral("2-report"));

    // As "Select All" in the details of every reported section.
    SelectAllReportedRecords(window.session());
    if (window.RepairList->count() > 0) {
        window.ProblemList->SectionIndex = window.session().ReportRowSection.front();
        window.ProblemList->show();
        window.ProblemList->problemsListBox()->setCurrentRow(0);
        ok &= save(*window.ProblemList, folder, QStringLiteral("details"));
        window.ProblemList->hide();
    }

    TRepairDialogForm state(window.session(), &window);
    state.show();
    ok &= save(state, folder, QStringLiteral("state"));
    state.hide();

    window.repairWithoutBackup();
    window.showPage(TMainForm::FinishScan);
    ok &= save(window, folder, QStringLiteral("3-results"));
    window.showPage(TMainForm::Options);
    ok &= save(window, folder, QStringLiteral("4-options"));
    window.IgBackupClick();
    ok &= save(window, folder, QStringLiteral("5-backups"));

    window.AboutForm->show();
    ok &= save(*window.AboutForm, folder, QStringLiteral("about"));
    window.AboutForm->hide();
    setMessageHandler({});
    return ok;
}

} // namespace tw::gui
