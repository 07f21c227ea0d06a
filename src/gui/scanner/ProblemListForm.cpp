#include "ProblemListForm.h"

#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Theme.h"
#include "registry/RegistryContents.h"
#include "registry/Session.h"
#include "repair/RepairDriver.h"
#include "scanner/IgnoreFinding.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

namespace tw::gui {

namespace {

/// Draws a record as three lines: key path, value name, value data.
class RecordDelegate : public QStyledItemDelegate
{
public:
    RecordDelegate(const Session& session, const int& section, QObject* parent)
        : QStyledItemDelegate(parent), m_session(session), m_section(section)
    {
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), 100};
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const TRegistryContents& contents =
            m_session.SectionContents[static_cast<size_t>(m_section)];
        if (index.row() >= contents.Count())
            return;
        const TContent& record = contents.Items(index.row()).Content;
        const QRect rect = option.rect.adjusted(2, 1, -2, -1);
        const bool selected = option.state & QStyle::State_Selected;
        p->save();
        p->fillRect(rect, selected ? QColor(166, 203, 240) : option.palette.base().color());
        p->setPen(selected ? QColor(Qt::red) : QColor(191, 205, 219));
        p->setBrush(Qt::NoBrush);
        p->drawRect(rect.adjusted(0, 0, -1, -1));
        // The tick box, then the three lines beside it.
        const QRect box(rect.left() + 6, rect.top() + 8, 14, 14);
        p->setPen(QColor(80, 80, 80));
        p->drawRect(box);
        if (index.data(Qt::CheckStateRole).toInt() == Qt::Checked) {
            p->setPen(QPen(QColor(0, 99, 198), 2));
            p->drawLine(box.left() + 3, box.center().y(), box.center().x(), box.bottom() - 3);
            p->drawLine(box.center().x(), box.bottom() - 3, box.right() - 2, box.top() + 3);
        }
        p->setPen(Qt::black);
        const QString text = QString::fromStdString(record.KeyPath + "\n" + record.ValueName +
                                                    "\n" + record.ValueData);
        p->drawText(rect.adjusted(26, 4, -4, -4), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                    text);
        p->restore();
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem&,
                     const QModelIndex& index) override
    {
        // A click anywhere on a row ticks or unticks it.
        if (event->type() != QEvent::MouseButtonRelease)
            return false;
        const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return true;
    }

private:
    const Session& m_session;
    const int& m_section;
};

} // namespace

TFormProblemList::TFormProblemList(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("details of Problems Found"));
    setFixedSize(681, 473);
    auto* outer = new QHBoxLayout(this);
    auto* panel = new QLabel(this);
    panel->setPixmap(symbolPicture(QStringLiteral("\u2714"), QColor(30, 110, 200), 96, false));
    panel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    panel->setFixedWidth(110);
    outer->addWidget(panel);
    auto* column = new QVBoxLayout;
    outer->addLayout(column);
    m_list = new QListWidget(this);
    m_list->setItemDelegate(new RecordDelegate(m_session, SectionIndex, m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    column->addWidget(m_list);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_selectAll = new ImageButton(QStringLiteral("Select All"), ImageButton::Size::Medium, this);
    m_deselectAll =
        new ImageButton(QStringLiteral("Deselect All"), ImageButton::Size::Medium, this);
    m_close = new ImageButton(QStringLiteral("Close"), ImageButton::Size::Medium, this);
    m_ignore = new ImageButton(QStringLiteral("Ignore"), ImageButton::Size::Medium, this);
    m_ignore->setToolTip(QStringLiteral("Scans will no longer report the selected problems"));
    buttons->addWidget(m_ignore);
    buttons->addWidget(m_selectAll);
    buttons->addWidget(m_deselectAll);
    buttons->addWidget(m_close);
    column->addLayout(buttons);

    connect(m_selectAll, &QAbstractButton::clicked, this, [this] { setAll(true); });
    connect(m_deselectAll, &QAbstractButton::clicked, this, [this] { setAll(false); });
    connect(m_close, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(m_ignore, &QAbstractButton::clicked, this, [this] { ignoreSelected(); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (!m_list->itemAt(at))
            return;
        QMenu menu(this);
        menu.addAction(QStringLiteral("Ignore"), this, [this] { ignoreSelected(); });
        menu.exec(m_list->viewport()->mapToGlobal(at));
    });
    // A single tick counts: it is written to its record.
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_filling)
            SetRecordChecked(m_session, SectionIndex, m_list->row(item),
                             item->checkState() == Qt::Checked);
    });
}

void TFormProblemList::showEvent(QShowEvent* event)
{
    fill();
    QDialog::showEvent(event);
}

void TFormProblemList::fill()
{
    m_filling = true;
    m_list->clear();
    if (SectionIndex >= 0 && SectionIndex < kSectionCount) {
        const TRegistryContents& contents =
            m_session.SectionContents[static_cast<size_t>(SectionIndex)];
        for (int i = 0; i < contents.Count(); ++i) {
            auto* item = new QListWidgetItem(m_list);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(contents.Items(i).Content.Checked ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_filling = false;
}

void TFormProblemList::setAll(bool checked)
{
    m_filling = true;
    for (int i = 0; i < m_list->count(); ++i) {
        SetRecordChecked(m_session, SectionIndex, i, checked);
        m_list->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
}

void TFormProblemList::ignoreSelected()
{
    if (SectionIndex < 0 || SectionIndex >= kSectionCount)
        return;
    TRegistryContents& contents = m_session.SectionContents[static_cast<size_t>(SectionIndex)];
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    if (rows.empty() && m_list->currentRow() >= 0)
        rows.push_back(m_list->currentRow());
    std::sort(rows.begin(), rows.end());
    std::vector<std::vector<IgnoreEntry>> choices;
    bool onValues = false;
    for (const int row : rows) {
        choices.push_back(row < contents.Count()
                              ? IgnoreChoicesFor(SectionIndex, contents.Items(row).Content)
                              : std::vector<IgnoreEntry>());
        onValues = onValues || choices.back().size() > 1;
    }
    // The value alone, or its whole key: asked once for the selection.
    size_t pick = 0;
    if (onValues) {
        const auto onValue =
            std::find_if(choices.begin(), choices.end(),
                         [](const std::vector<IgnoreEntry>& each) { return each.size() > 1; });
        const IgnoreEntry& first = onValue->front();
        const QString question =
            rows.size() == 1
                ? QStringLiteral("Ignore only the value \"%1\" of\r%2?\r\rYes: this value. No: "
                                 "the whole key and every key below it.")
                      .arg(QString::fromStdString(first.value), QString::fromStdString(first.key))
                : QStringLiteral("Ignore only the values of the selected problems?\r\rYes: "
                                 "only these values. No: their whole keys and every key below "
                                 "them.");
        const QMessageBox::StandardButton answer =
            showMessage(this, question, MessageIcon::Question, MessageButtons::YesNoCancel);
        if (answer == QMessageBox::Cancel)
            return;
        pick = answer == QMessageBox::Yes ? 0 : 1;
    }
    std::vector<IgnoreEntry> entries;
    for (const std::vector<IgnoreEntry>& each : choices) {
        if (!each.empty())
            entries.push_back(each[std::min(pick, each.size() - 1)]);
    }
    if (entries.empty())
        return;
    try {
        StoreIgnoreEntries(m_session, entries);
    } catch (const std::exception& e) {
        showMessage(this, QString::fromStdString(e.what()), MessageIcon::Error);
        return;
    }
    DropIgnoredFindings(m_session, entries);
    fill();
    emit findingsIgnored();
}

} // namespace tw::gui
