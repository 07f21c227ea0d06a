#include "ReportPage.h"

#include "gui/WindowContext.h"
#include "gui/scanner/ProblemListForm.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Theme.h"
#include "registry/Session.h"
#include "scanner/IgnoreFinding.h"
#include "scanner/ScanDriver.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <cstdlib>

namespace tw::gui {

namespace {

/// Report rows: the section's caption, and its count in red below it. A selected row is a
/// light highlight under the same dark text, so both stay readable.
class ReportDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), rowHeight(option.font)};
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
        p->fillRect(option.rect, selected ? kSelectedFill : option.palette.base().color());
        p->setPen(selected ? kSelectedBorder : QColor(215, 228, 242));
        p->drawRect(option.rect.adjusted(0, 0, -1, -1));
        QFont bold = option.font;
        bold.setBold(true);
        p->setFont(bold);
        const QFontMetrics metrics(bold);
        const QPoint top = option.rect.topLeft() + QPoint(0, kPadding + metrics.ascent());
        p->setPen(Qt::black);
        p->drawText(top, caption);
        p->setPen(kCountColour);
        p->drawText(top + QPoint(20, metrics.lineSpacing()), count);
        p->restore();
    }

    /// Two bold lines and their padding.
    static int rowHeight(const QFont& font)
    {
        QFont bold = font;
        bold.setBold(true);
        return 2 * QFontMetrics(bold).lineSpacing() + 2 * kPadding;
    }

    static constexpr int kPadding = 6;
    static inline const QColor kSelectedFill{204, 228, 247};
    static inline const QColor kSelectedBorder{38, 120, 200};
    static inline const QColor kCountColour{200, 0, 0};
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
    RepairList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RepairList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QListWidgetItem* item = RepairList->itemAt(at);
        if (!item)
            return;
        RepairList->setCurrentItem(item);
        QMenu menu(this);
        menu.addAction(QStringLiteral("Details"), this, [this] { suitempRepairListDblClick(); });
        menu.addAction(QStringLiteral("Ignore"), this, [this] { ignoreSection(); });
        menu.exec(RepairList->viewport()->mapToGlobal(at));
    });
    layout->addWidget(RepairList);
    SpbRepair = new ImageButton(QStringLiteral("Repair Problems"), ImageButton::Size::Large, this);
    connect(SpbRepair, &QAbstractButton::clicked, this, [this] { SpbRepairClick(); });
    layout->addWidget(SpbRepair, 0, Qt::AlignRight);
    ProblemList = new TFormProblemList(m_context.session, this);
    connect(ProblemList, &TFormProblemList::findingsIgnored, this, [this] { refreshCounts(); });
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

void ReportPage::ignoreSection()
{
    Session& session = m_context.session;
    const int row = RepairList->currentRow();
    if (row < 0 || row >= static_cast<int>(session.ReportRowSection.size()))
        return;
    const int section = session.ReportRowSection[static_cast<size_t>(row)];
    TRegistryContents& contents = session.SectionContents[static_cast<size_t>(section)];
    std::vector<IgnoreEntry> entries;
    for (int i = 0; i < contents.Count(); ++i) {
        const std::vector<IgnoreEntry> choices =
            IgnoreChoicesFor(section, contents.Items(i).Content);
        if (!choices.empty())
            entries.push_back(choices.front());
    }
    if (entries.empty())
        return;
    const QString question =
        QStringLiteral("Ignore the %1 problem(s) of \"%2\"?\rScans will no longer report them.")
            .arg(entries.size())
            .arg(QString::fromLatin1(Sections()[static_cast<size_t>(section)].caption).trimmed());
    if (showMessage(this, question, MessageIcon::Question, MessageButtons::YesNo) !=
        QMessageBox::Yes)
        return;
    try {
        StoreIgnoreEntries(session, entries);
    } catch (const std::exception& e) {
        showMessage(this, QString::fromStdString(e.what()), MessageIcon::Error);
        return;
    }
    DropIgnoredFindings(session, entries);
    refreshCounts();
}

void ReportPage::refreshCounts()
{
    Session& session = m_context.session;
    for (int row = RepairList->count() - 1; row >= 0; --row) {
        if (row >= static_cast<int>(session.ReportRowSection.size()))
            continue;
        const int section = session.ReportRowSection[static_cast<size_t>(row)];
        const int count = session.SectionContents[static_cast<size_t>(section)].Count();
        if (count == 0) {
            delete RepairList->takeItem(row);
            session.ReportRowSection.erase(session.ReportRowSection.begin() + row);
            continue;
        }
        RepairList->item(row)->setText(QString::fromStdString(
            ReportRowText(Sections()[static_cast<size_t>(section)].caption, count)));
    }
    LbShowProblem->setText(QString::number(TotalProblemCount(session)));
}

} // namespace tw::gui
