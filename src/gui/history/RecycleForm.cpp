#include "RecycleForm.h"

#include "gui/WindowContext.h"
#include "gui/scanner/RepairDialogForm.h"
#include "gui/widgets/ClickLabel.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw::gui {

namespace {

constexpr int kRecordRole = Qt::UserRole;

/// What the state window shows while a clear runs; Cancel comes in through yield().
class StateWindowView : public HistoryView
{
public:
    explicit StateWindowView(TRepairDialogForm& state) : m_state(state) {}
    void labelChanged(const std::string& text) override
    {
        m_state.label()->setText(QString::fromStdString(text));
    }
    void yield() override { QCoreApplication::processEvents(); }

private:
    TRepairDialogForm& m_state;
};

QTreeWidget* reportList(const QStringList& columns, QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAlternatingRowColors(true);
    return list;
}

} // namespace

TRecycleForm::TRecycleForm(WindowContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_session(context.session),
      m_cleaner(std::make_unique<HistoryCleaner>(context.session))
{
    setWindowTitle(QStringLiteral("Recycle"));
    auto* layout = new QVBoxLayout(this);
    for (const char* line :
         {"As you surf the web, pictures and text get stored on your hard disk, creating a "
          "mirror image of your surfing experience. ",
          "Companies use cookies to profile or track your actions on the web.",
          "System and application software also store information that could compromise "
          "privacy."}) {
        auto* text = new QLabel(QString::fromLatin1(line), this);
        text->setWordWrap(true);
        layout->addWidget(text);
    }
    RundownListView = reportList({QStringLiteral("Index"), QStringLiteral("Item Name")}, this);
    RundownListView->setSelectionMode(QAbstractItemView::SingleSelection);
    RundownListView->setColumnWidth(0, 50);
    layout->addWidget(RundownListView, 3);
    WineNote = new QLabel(this);
    WineNote->setWordWrap(true);
    WineNote->hide();
    layout->addWidget(WineNote);
    DataListView = reportList({QString(), QStringLiteral("Item Name")}, this);
    DataListView->setSelectionMode(QAbstractItemView::SingleSelection);
    DataListView->header()->setStretchLastSection(false);
    DataListView->header()->setMinimumSectionSize(20);
    DataListView->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    DataListView->setColumnWidth(0, 25);
    DataListView->installEventFilter(this);
    layout->addWidget(DataListView, 3);

    auto* bottom = new QHBoxLayout;
    cbSelectAll = new QCheckBox(this);
    abSelectAll = new ClickLabel(
        QStringLiteral("Select All"), [this] { abSelectAllClick(); }, this);
    bottom->addWidget(cbSelectAll);
    bottom->addWidget(abSelectAll);
    bottom->addStretch();
    ImageExClear = new ImageButton(QStringLiteral("Clear"), ImageButton::Size::Medium, this);
    bottom->addWidget(ImageExClear);
    layout->addLayout(bottom);

    connect(RundownListView, &QTreeWidget::itemSelectionChanged, this,
            [this] { RundownListViewChange(); });
    connect(cbSelectAll, &QCheckBox::clicked, this, [this] { SelectAllClick(); });
    connect(ImageExClear, &QAbstractButton::clicked, this, [this] { ImageExClearClick(); });
    // A tick on one row counts for its record.
    connect(DataListView, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (m_filling)
            return;
        const auto index = item->data(0, kRecordRole).toULongLong();
        std::vector<TRecycleData>& records = m_cleaner->records();
        if (index < records.size())
            records[index].Selected = item->checkState(0) == Qt::Checked;
    });
    resize(520, 560);
}

TRecycleForm::~TRecycleForm() = default;

void TRecycleForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FillRundownList();
    fitColumns();
}

bool TRecycleForm::eventFilter(QObject* watched, QEvent* event)
{
    // The list's own size, once the layout has given it.
    if (watched == DataListView && event->type() == QEvent::Resize)
        fitColumns();
    return QDialog::eventFilter(watched, event);
}

void TRecycleForm::fitColumns()
{
    DataListView->setColumnWidth(1, DataListView->width() - DataListView->columnWidth(0) - 20);
}

void TRecycleForm::FillRundownList()
{
    const QSignalBlocker blocker(RundownListView);
    RundownListView->clear();
    for (int row = 0; row < kHistoryItemCount; ++row) {
        const HistoryItem& entry = HistoryItems()[static_cast<size_t>(row)];
        auto* item = new QTreeWidgetItem(
            RundownListView, {QString::number(row + 1), QString::fromLatin1(entry.name)});
        if (entry.wineUse)
            item->setToolTip(1, QStringLiteral("Uses Wine: ") + QString::fromLatin1(entry.wineUse));
    }
}

int TRecycleForm::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = RundownListView->selectedItems();
    return selected.isEmpty() ? -1 : RundownListView->indexOfTopLevelItem(selected.first());
}

void TRecycleForm::RundownListViewChange()
{
    const int row = selectedRow();
    const char* wineUse = row >= 0 ? HistoryItems()[static_cast<size_t>(row)].wineUse : nullptr;
    WineNote->setText(wineUse ? QStringLiteral("Uses Wine: ") + QString::fromLatin1(wineUse) +
                                    QStringLiteral(".")
                              : QString());
    WineNote->setVisible(wineUse != nullptr);
    if (row >= 0)
        listAndFill(row);
}

void TRecycleForm::listAndFill(int row)
{
    std::string problem;
    std::string error;
    try {
        problem = m_cleaner->ListItem(row);
    } catch (const std::exception& e) {
        error = e.what();
    }
    // The rows always stand for the records the list holds now, also after a failed listing.
    FillDataList();
    if (!error.empty())
        showMessage(this, QString::fromStdString(error), MessageIcon::Error);
    else if (!problem.empty())
        showMessage(this, QString::fromStdString(problem), MessageIcon::Warning);
}

void TRecycleForm::FillDataList()
{
    m_filling = true;
    DataListView->setUpdatesEnabled(false);
    DataListView->clear();
    const std::vector<TRecycleData>& records = m_cleaner->records();
    for (const size_t index : m_cleaner->ShownRecords()) {
        const TRecycleData& record = records[index];
        auto* item = new QTreeWidgetItem(DataListView,
                                         {QString(), QString::fromStdString(record.DisplayText)});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setData(0, kRecordRole, static_cast<qulonglong>(index));
        item->setCheckState(0, record.Selected ? Qt::Checked : Qt::Unchecked);
        cbSelectAll->setChecked(record.Selected);
    }
    DataListView->setUpdatesEnabled(true);
    m_filling = false;
}

size_t TRecycleForm::recordOfRow(int row) const
{
    return DataListView->topLevelItem(row)->data(0, kRecordRole).toULongLong();
}

void TRecycleForm::abSelectAllClick()
{
    cbSelectAll->setChecked(!cbSelectAll->isChecked());
    SelectAllClick();
}

void TRecycleForm::SelectAllClick()
{
    const bool on = cbSelectAll->isChecked();
    std::vector<TRecycleData>& records = m_cleaner->records();
    m_filling = true;
    for (int row = 0; row < DataListView->topLevelItemCount(); ++row) {
        records[recordOfRow(row)].Selected = on;
        DataListView->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
}

bool TRecycleForm::confirmFinalSteps(int row)
{
    QString text;
    switch (HistoryItems()[static_cast<size_t>(row)].clear) {
    case HistoryClear::All:
        text = QStringLiteral("The Recycle Bin will be emptied and the URL cache's entries "
                              "removed for good (read through Wine); the ticked files go to the "
                              "Recycle Bin and the ticked registry values to a backup. Do you "
                              "want to go on?");
        break;
    case HistoryClear::CacheEntries:
        text = QStringLiteral(
            "The ticked cache entries will be removed for good. Do you want to go on?");
        break;
    case HistoryClear::RecycleBin:
        text = QStringLiteral("The items in the Recycle Bin of this prefix will be removed for "
                              "good. Do you want to go on?");
        break;
    default:
        return true;
    }
    return showMessage(this, text, MessageIcon::Warning, MessageButtons::YesNo) == QMessageBox::Yes;
}

void TRecycleForm::ImageExClearClick()
{
    const int row = selectedRow();
    if (row < 0) {
        showMessage(this, QStringLiteral("You no''t selected item , please selected it!"),
                    MessageIcon::Warning);
        return;
    }
    if (m_context.isReadOnly()) {
        showMessage(this, QStringLiteral("Nothing was cleared. ") + m_context.readOnlyReason,
                    MessageIcon::Error);
        return;
    }
    if (!confirmFinalSteps(row))
        return;
    auto* state = new TRepairDialogForm(m_session, this);
    m_state = state;
    state->setModal(false);
    state->show();
    state->label()->setText(QStringLiteral("Start Clear..."));
    state->label()->repaint();
    m_session.OperationState = kOperationClearing;
    StateWindowView view(*state);
    HistoryClearOutcome outcome;
    std::string refused;
    try {
        outcome = m_cleaner->Clear(row, view);
    } catch (const HistoryRefused& e) {
        refused = e.what();
    }
    m_state = nullptr;
    delete state;
    if (!refused.empty()) {
        showMessage(this, QString::fromStdString(refused), MessageIcon::Error);
        return;
    }
    if (!outcome.error.empty())
        showMessage(this, QString::fromStdString(outcome.error), MessageIcon::Error);
    for (const std::string& note : outcome.notes)
        showMessage(this, QString::fromStdString(note), MessageIcon::Warning);
    if (HistoryItems()[static_cast<size_t>(row)].listsAgain)
        listAndFill(row);
    else
        FillDataList();
}

} // namespace tw::gui
