#include "ResultPage.h"

#include "gui/WindowContext.h"
#include "gui/scanner/RepairDialogForm.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"
#include "repair/RepairDriver.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

namespace tw::gui {

namespace {

/// The result list and the state window's label, for the repair routines.
class WindowRepairView : public RepairView
{
public:
    WindowRepairView(QTreeWidget* list, TRepairDialogForm* dialog) : m_list(list), m_dialog(dialog)
    {
    }
    void setLabel(const std::string& text) override
    {
        m_dialog->label()->setText(QString::fromStdString(text));
    }
    int addResultRow(const std::string& problem) override
    {
        new QTreeWidgetItem(m_list, {QString::fromStdString(problem)});
        return m_list->topLevelItemCount() - 1;
    }
    void setResultStatus(int row, const std::string& status) override
    {
        m_list->topLevelItem(row)->setText(1, QString::fromStdString(status));
    }
    void yield() override { QCoreApplication::processEvents(); }

private:
    QTreeWidget* m_list;
    TRepairDialogForm* m_dialog;
};

} // namespace

ResultPage::ResultPage(WindowContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    auto* layout = new QVBoxLayout(this);
    FinishListView = new QTreeWidget(this);
    FinishListView->setHeaderLabels({"Problems", "Status"});
    FinishListView->setRootIsDecorated(false);
    FinishListView->header()->setStretchLastSection(false);
    FinishListView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    FinishListView->setColumnWidth(1, 120);
    layout->addWidget(FinishListView);
}

bool ResultPage::runRepair(bool skipBackup)
{
    bool repaired = false;
    guarded(this, [&] {
        FinishListView->clear();
        // Owned here, so an error during the repair does not leave the state window open.
        const std::unique_ptr<TRepairDialogForm> dialog(
            new TRepairDialogForm(m_context.session, window()));
        WindowRepairView view(FinishListView, dialog.get());
        bool dialogShown = false;
        auto showDialog = [&] {
            dialog->show();
            dialog->repaint();
            dialogShown = true;
        };
        const RepairRun run =
            RepairProblems(m_context.session, view, skipBackup, [&](const RepairRun& backup) {
                showMessage(this, QString::fromStdString(backup.backupNotice),
                            MessageIcon::Information);
                showDialog();
            });
        if (!dialogShown && run.repaired)
            showDialog();
        dialog->hide();
        if (!run.repaired) {
            if (!run.error.empty())
                showMessage(this, QString::fromStdString(run.error), MessageIcon::Error);
            return;
        }
        showMessage(this, QString::fromStdString(run.completedMessage), MessageIcon::Information);
        repaired = true;
    });
    return repaired;
}

} // namespace tw::gui
