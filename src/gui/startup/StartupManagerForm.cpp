#include "StartupManagerForm.h"

#include "gui/WindowContext.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw::gui {

TStartupManagerForm::TStartupManagerForm(WindowContext& context, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setWindowTitle(QString::fromLatin1(kStartupCaption));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(640, 460);
    auto* layout = new QVBoxLayout(this);
    LabelIntro = new QLabel(QString::fromLatin1(kStartupIntro), this);
    LabelIntro->setWordWrap(true);
    LabelNote = new QLabel(QString::fromLatin1(kStartupNote), this);
    LabelNote->setWordWrap(true);
    layout->addWidget(LabelIntro);
    layout->addWidget(LabelNote);

    StartupListView = new QTreeWidget(this);
    StartupListView->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Path")});
    StartupListView->setRootIsDecorated(false);
    StartupListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    StartupListView->setSelectionMode(QAbstractItemView::SingleSelection);
    StartupListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StartupListView->setStyleSheet(
        QStringLiteral("QTreeWidget::item { border-right: 1px solid #d0d0d0; "
                       "border-bottom: 1px solid #d0d0d0; }"));
    StartupListView->header()->setStretchLastSection(false);
    StartupListView->setColumnWidth(0, 150);
    StartupListView->setColumnWidth(1, 430);
    layout->addWidget(StartupListView, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    SpbRemove = new ImageButton(QStringLiteral("Remove Checked"), ImageButton::Size::Large, this);
    SpbOpenPath = new ImageButton(QStringLiteral("Open Path"), ImageButton::Size::Medium, this);
    buttons->addWidget(SpbRemove);
    buttons->addSpacing(10);
    buttons->addWidget(SpbOpenPath);
    layout->addLayout(buttons);
    connect(SpbRemove, &QAbstractButton::clicked, this, [this] { SpbRemoveClick(); });
    connect(SpbOpenPath, &QAbstractButton::clicked, this, [this] { SpbOpenPathClick(); });

    // The startup folders as they are when the window is made.
    guarded(this, [this] { m_startupFolders = ReadStartupFolders(m_context.session); });
}

void TStartupManagerForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitPathColumn();
    FormShow();
}

void TStartupManagerForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitPathColumn();
}

void TStartupManagerForm::fitPathColumn()
{
    StartupListView->setColumnWidth(1, StartupListView->width() - StartupListView->columnWidth(0) -
                                           22);
}

void TStartupManagerForm::FormShow()
{
    StartupListView->clear();
    m_entries.clear();
    guarded(this, [this] {
        m_entries = ListStartupEntries(m_context.session, m_startupFolders,
                                       [] { QCoreApplication::processEvents(); });
    });
    for (const StartupEntry& entry : m_entries) {
        auto* item = new QTreeWidgetItem(
            StartupListView, {QString::fromStdString(withViewMark(entry.Name, entry.view)),
                              QString::fromStdString(entry.Path)});
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
}

const StartupEntry& TStartupManagerForm::entryOf(int row) const
{
    return m_entries.at(static_cast<size_t>(row));
}

int TStartupManagerForm::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = StartupListView->selectedItems();
    if (selected.isEmpty())
        return -1;
    return StartupListView->indexOfTopLevelItem(selected.front());
}

void TStartupManagerForm::SpbRemoveClick()
{
    const int row = selectedRow();
    if (row < 0 || row >= static_cast<int>(m_entries.size()))
        return;
    if (showMessage(this, QString::fromStdString(StartupRemoveQuestion()), MessageIcon::Warning,
                    MessageButtons::YesNoDefaultNo) != QMessageBox::Yes)
        return;
    StartupRemoval removal;
    if (!guarded(this, [&] { removal = RemoveStartupEntry(m_context.session, entryOf(row)); }))
        return;
    if (!removal.error.empty()) {
        showMessage(this, QString::fromStdString(removal.error), MessageIcon::Error);
        return;
    }
    if (!removal.removed)
        return;
    delete StartupListView->takeTopLevelItem(row);
    m_entries.erase(m_entries.begin() + row);
}

void TStartupManagerForm::SpbOpenPathClick()
{
    const int row = selectedRow();
    if (row < 0 || row >= static_cast<int>(m_entries.size()))
        return;
    const std::string folder = OpenPathFolder(entryOf(row).Path);
    guarded(this, [&] { m_context.session.shell().openFolder(folder); });
}

} // namespace tw::gui
