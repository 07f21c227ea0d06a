#include "BrowserRepairForm.h"

#include "gui/WindowContext.h"
#include "gui/widgets/ClickLabel.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "tools/browser/BrowserRepair.h"
#include "tools/browser/BrowserRepairItems.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

namespace tw::gui {

namespace {

constexpr int kStatusColumn = 2;

/// The list's rows, as the repair reports them.
class ListRepairView : public BrowserRepairView
{
public:
    explicit ListRepairView(std::function<void(int, const QString&)> setStatus)
        : m_setStatus(std::move(setStatus))
    {
    }
    void setStatus(int row, const std::string& status) override
    {
        m_setStatus(row, QString::fromStdString(status));
    }
    void yield() override { QApplication::processEvents(); }

private:
    std::function<void(int, const QString&)> m_setStatus;
};

} // namespace

TBrowserRepairForm::TBrowserRepairForm(WindowContext& context, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setWindowTitle(QStringLiteral("Browser Repair"));
    auto* layout = new QVBoxLayout(this);
    IERepairListView = new QTreeWidget(this);
    IERepairListView->setColumnCount(3);
    IERepairListView->setHeaderLabels(
        {QString(), QStringLiteral("Name"), QStringLiteral("Status")});
    IERepairListView->setRootIsDecorated(false);
    IERepairListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    IERepairListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    IERepairListView->setStyleSheet(
        QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; border-top: none; "
                       "border-left: none; }"));
    QHeaderView* header = IERepairListView->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(20);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    header->setSectionResizeMode(kStatusColumn, QHeaderView::Fixed);
    IERepairListView->setColumnWidth(0, 20);
    IERepairListView->setColumnWidth(kStatusColumn, 100);
    for (const BrowserRepairItem& item : BrowserRepairItems()) {
        auto* row = new QTreeWidgetItem(IERepairListView);
        row->setText(1, QString::fromUtf8(item.name.data(), static_cast<int>(item.name.size())));
        row->setCheckState(0, Qt::Checked);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        for (int column = 0; column < 3; ++column)
            row->setForeground(column, Qt::black);
    }
    layout->addWidget(IERepairListView);

    auto* bottom = new QHBoxLayout;
    cbSelectAll = new QCheckBox(this);
    cbSelectAll->setChecked(true);
    abSelectAll = new ClickLabel(
        QStringLiteral("Select All"), [this] { abSelectAllClick(); }, this);
    IgRestore = new ImageButton(QStringLiteral("Restore"), ImageButton::Size::Medium, this);
    bottom->addWidget(cbSelectAll);
    bottom->addWidget(abSelectAll);
    bottom->addStretch();
    bottom->addWidget(IgRestore);
    layout->addLayout(bottom);

    connect(cbSelectAll, &QCheckBox::clicked, this, [this] { cbSelectAllClick(); });
    connect(IgRestore, &QAbstractButton::clicked, this, [this] { IgRestoreClick(); });
    resize(420, 380);
}

void TBrowserRepairForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitNameColumn();
}

void TBrowserRepairForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitNameColumn();
}

void TBrowserRepairForm::fitNameColumn()
{
    IERepairListView->setColumnWidth(1, IERepairListView->width() -
                                            IERepairListView->columnWidth(0) -
                                            IERepairListView->columnWidth(kStatusColumn) - 24);
}

void TBrowserRepairForm::abSelectAllClick()
{
    cbSelectAll->setChecked(!cbSelectAll->isChecked());
    cbSelectAllClick();
}

void TBrowserRepairForm::cbSelectAllClick()
{
    const Qt::CheckState state = cbSelectAll->isChecked() ? Qt::Checked : Qt::Unchecked;
    for (int row = 0; row < IERepairListView->topLevelItemCount(); ++row)
        IERepairListView->topLevelItem(row)->setCheckState(0, state);
}

std::vector<bool> TBrowserRepairForm::checkedRows() const
{
    std::vector<bool> checked;
    for (int row = 0; row < IERepairListView->topLevelItemCount(); ++row)
        checked.push_back(IERepairListView->topLevelItem(row)->checkState(0) == Qt::Checked);
    return checked;
}

QString TBrowserRepairForm::statusOf(int row) const
{
    return IERepairListView->topLevelItem(row)->text(kStatusColumn);
}

void TBrowserRepairForm::setStatus(int row, const QString& status)
{
    QTreeWidgetItem* item = IERepairListView->topLevelItem(row);
    if (!item)
        return;
    item->setText(kStatusColumn, status);
    // Red while an item runs, green once it is done; other text keeps the list's colour.
    if (status == QLatin1String(kBrowserRepairing))
        item->setForeground(kStatusColumn, QColor(0xFF, 0x00, 0x00));
    else if (status == QLatin1String(kBrowserCompleted))
        item->setForeground(kStatusColumn, QColor(0x00, 0x80, 0x00));
    else
        item->setForeground(kStatusColumn, Qt::black);
}

void TBrowserRepairForm::IgRestoreClick()
{
    if (showMessage(this, QString::fromLatin1(kBrowserRepairQuestion), MessageIcon::Warning,
                    MessageButtons::YesNo) != QMessageBox::Yes)
        return;
    // Nothing is written beside a running Wine: it would rewrite the registry itself.
    if (m_context.isReadOnly()) {
        showMessage(this, m_context.readOnlyReason, MessageIcon::Error);
        return;
    }
    guarded(this, [this] {
        ListRepairView view([this](int row, const QString& status) { setStatus(row, status); });
        const BrowserRepairRun run = RepairBrowser(m_context.session, checkedRows(), view);
        if (!run.error.empty())
            showMessage(this, QString::fromStdString(run.error), MessageIcon::Error);
    });
}

} // namespace tw::gui
