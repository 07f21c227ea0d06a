#include "InstalledManageForm.h"

#include "gui/WindowContext.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"
#include "repair/BackupWriter.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw::gui {

TInstalledManageForm::TInstalledManageForm(WindowContext& context, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setWindowTitle(QStringLiteral("Manage Installed Programs"));
    auto* layout = new QVBoxLayout(this);
    for (const char* text :
         {"Add/Remove programs items are entries that are listed when you access the "
          "Add/Remove section of your PC's control panel.Incomplete installation or "
          "uninstallation of a particular program might leave an entry behind.Removal of items "
          "below will prevent them from appearing when you access your Add/Remove Programs "
          "section of your control panel.",
          "Note : Removal of items below will prevent then from being displayed when you go to "
          "Add/Remove programs but will not remove the actual application from your PC."}) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    ListInstalled = new QTreeWidget(this);
    ListInstalled->setColumnCount(2);
    ListInstalled->setHeaderLabels(
        {QStringLiteral("Program Name"), QStringLiteral("UninstallPath")});
    ListInstalled->setRootIsDecorated(false);
    ListInstalled->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListInstalled->setSelectionMode(QAbstractItemView::SingleSelection);
    ListInstalled->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListInstalled->setAllColumnsShowFocus(true);
    ListInstalled->setStyleSheet(
        QStringLiteral("QTreeView::item { border: 1px solid #d8d8d8; border-left: none; }"));
    ListInstalled->header()->setStretchLastSection(false);
    ListInstalled->setColumnWidth(0, 200);
    ListInstalled->setColumnWidth(1, 635);
    layout->addWidget(ListInstalled);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BtnRefresh = new ImageButton(QStringLiteral("Refresh"), ImageButton::Size::Medium, this);
    BtnUninstall = new ImageButton(QStringLiteral("Uninstall"), ImageButton::Size::Medium, this);
    BtnRemove = new ImageButton(QStringLiteral("Remove"), ImageButton::Size::Medium, this);
    for (ImageButton* button : {BtnRefresh, BtnUninstall, BtnRemove})
        buttons->addWidget(button);
    layout->addLayout(buttons);
    connect(BtnRefresh, &QAbstractButton::clicked, this,
            [this] { guarded(this, [this] { BtnRefreshClick(); }); });
    connect(BtnUninstall, &QAbstractButton::clicked, this,
            [this] { guarded(this, [this] { BtnUninstallClick(); }); });
    connect(BtnRemove, &QAbstractButton::clicked, this,
            [this] { guarded(this, [this] { BtnRemoveClick(); }); });
    resize(880, 460);
}

void TInstalledManageForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    guarded(this, [this] { FillInstalledList(); });
}

void TInstalledManageForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ListInstalled->setColumnWidth(1, ListInstalled->width() - ListInstalled->columnWidth(0) - 20);
}

void TInstalledManageForm::FillInstalledList()
{
    ListInstalled->clear();
    m_programs.clear();
    m_context.followPrefix();
    m_programs = ListInstalledPrograms(m_context.session);
    for (const InstalledProgram& program : m_programs)
        new QTreeWidgetItem(ListInstalled,
                            {QString::fromStdString(withViewMark(program.name, program.view)),
                             QString::fromStdString(program.uninstallString)});
}

void TInstalledManageForm::BtnRefreshClick()
{
    FillInstalledList();
}

const InstalledProgram* TInstalledManageForm::selectedProgram()
{
    const QList<QTreeWidgetItem*> selected = ListInstalled->selectedItems();
    const int row = selected.isEmpty() ? -1 : ListInstalled->indexOfTopLevelItem(selected.front());
    if (row < 0 || row >= static_cast<int>(m_programs.size())) {
        showMessage(this, QStringLiteral("Unchecked"), MessageIcon::Warning);
        return nullptr;
    }
    return &m_programs[static_cast<size_t>(row)];
}

void TInstalledManageForm::BtnUninstallClick()
{
    const InstalledProgram* program = selectedProgram();
    if (!program)
        return;
    const std::string error = StartUninstaller(m_context.session, *program).error;
    // Wine holds the registry from now on.
    m_context.followPrefix();
    FillInstalledList();
    if (!error.empty())
        showMessage(this, QString::fromStdString(error), MessageIcon::Error);
}

void TInstalledManageForm::BtnRemoveClick()
{
    const InstalledProgram* program = selectedProgram();
    if (!program)
        return;
    if (showMessage(this,
                    QStringLiteral("Are you sure you want to remove this entry from registry?\r"
                                   "A backup that brings it back is written first, to %1 "
                                   "(Restore on the backup page).")
                        .arg(QString::fromStdString(BackupFolder())),
                    MessageIcon::Warning, MessageButtons::YesNoDefaultNo) != QMessageBox::Yes)
        return;
    const RemoveOutcome outcome = RemoveInstalledEntry(m_context.session, *program);
    FillInstalledList();
    if (!outcome.error.empty())
        showMessage(this, QString::fromStdString(outcome.error), MessageIcon::Error);
}

} // namespace tw::gui
