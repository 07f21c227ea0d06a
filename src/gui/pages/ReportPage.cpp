#include "ReportPage.h"

#include "gui/WindowContext.h"
#include "gui/scanner/ProblemListForm.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/Theme.h"
#include "registry/Session.h"
#include "scanner/ScanDriver.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <cstdlib>

namespace tw::gui {

namespace {

/// Report rows: 88 pixels; caption part, and the count part in red bold below it.
class ReportDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), 88};
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const QString text = index.data().toString();
        const int dot = text.indexOf(QLatin1Char('.'));
        const QString caption = QStringLiteral("     ") + text.left(dot);
        const QString count = text.mid(dot + 1);
        const bool selected = option.state & QStyle::State_Selected;
        p->save();
        p->fillRect(option.rect, selected ? QColor(128, 128, 128) : option.palette.base().color());
        p->setPen(selected ? QColor(255, 251, 240) : QColor(215, 228, 242));
        p->drawRect(option.rect.adjusted(0, 0, -1, -1));
        QFont bold = option.font;
        bold.setBold(true);
        p->setFont(bold);
        const QFontMetrics metrics(bold);
        p->setPen(selected ? QColor(Qt::red) : QColor(Qt::black));
        p->drawText(option.rect.topLeft() + QPoint(0, metrics.ascent()), caption);
        p->setPen(Qt::red);
        p->drawText(option.rect.topLeft() + QPoint(20, 20 + metrics.ascent()), count);
        p->restore();
    }
};

} // namespace

ReportPage::ReportPage(WindowContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(heading(QStringLiteral("Found Problems:"), this));
    LbShowProblem = new QLabel(QStringLiteral("0"), this);
    LbShowProblem->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    top->addWidget(LbShowProblem);
    top->addStretch();
    layout->addLayout(top);
    RepairList = new QListWidget(this);
    RepairList->setItemDelegate(new ReportDelegate(RepairList));
    RepairList->setSelectionMode(QAbstractItemView::SingleSelection);
    RepairList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(RepairList, &QListWidget::itemDoubleClicked, this,
            [this] { suitempRepairListDblClick(); });
    layout->addWidget(RepairList);
    SpbRepair = new ImageButton(QStringLiteral("Repair Problems"), ImageButton::Size::Large, this);
    connect(SpbRepair, &QAbstractButton::clicked, this, [this] { SpbRepairClick(); });
    layout->addWidget(SpbRepair, 0, Qt::AlignRight);
    ProblemList = new TFormProblemList(m_context.session, this);
}

void ReportPage::showReport(const ScanResult& result)
{
    LbShowProblem->setText(QString::number(result.totalProblems));
    RepairList->clear();
    for (const std::string& row : result.reportRows)
        RepairList->addItem(QString::fromStdString(row));
}

void ReportPage::suitempRepairListDblClick()
{
    const std::vector<int>& sections = m_context.session.ReportRowSection;
    const int row = RepairList->currentRow();
    if (row < 0 || row >= static_cast<int>(sections.size()))
        return;
    ProblemList->SectionIndex = sections[static_cast<size_t>(row)];
    ProblemList->exec();
}

void ReportPage::SpbRepairClick()
{
    if (RepairList->count() > 0)
        emit repairRequested();
}

} // namespace tw::gui
