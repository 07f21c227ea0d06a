#include "ScanProgressPage.h"

#include "gui/WindowContext.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Theme.h"
#include "registry/Session.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw::gui {

ScanProgressPage::ScanProgressPage(WindowContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    auto* layout = new QVBoxLayout(this);
    OutcomeGrid = new QTreeWidget(this);
    OutcomeGrid->setHeaderLabels({"Section Name", "Problems", "Status"});
    OutcomeGrid->setRootIsDecorated(false);
    OutcomeGrid->header()->setStretchLastSection(false);
    OutcomeGrid->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    OutcomeGrid->setColumnWidth(1, 80);
    OutcomeGrid->setColumnWidth(2, 110);
    layout->addWidget(OutcomeGrid);
    ScanOutcomePanel = new QLabel(this);
    ScanOutcomePanel->setTextFormat(Qt::PlainText);
    layout->addWidget(ScanOutcomePanel);
    auto* bottom = new QHBoxLayout;
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    bottom->addWidget(ProgressBar1);
    ImageExAbort = new ImageButton(QStringLiteral("Abort Scan"), ImageButton::Size::Medium, this);
    connect(ImageExAbort, &QAbstractButton::clicked, this, [this] { ImageExAbortClick(); });
    // There is something to abort only while a scan runs.
    ImageExAbort->setEnabled(false);
    bottom->addWidget(ImageExAbort);
    layout->addLayout(bottom);
}

std::optional<ScanResult> ScanProgressPage::runScan(const SectionSelection& selection)
{
    std::optional<ScanResult> result;
    guarded(this, [&] {
        ProgressBar1->setValue(0);
        m_sinceYield.invalidate();
        ImageExAbort->setEnabled(true);
        const auto disable = qScopeGuard([this] { ImageExAbort->setEnabled(false); });
        result = ScanSections(m_context.session, selection, m_grid, *this);
        showMessage(this, QString::fromStdString(result->message), MessageIcon::Exclamation);
    });
    return result;
}

void ScanProgressPage::ImageExAbortClick()
{
    m_context.session.OperationState = kOperationAbortScan;
}

void ScanProgressPage::gridChanged(int row)
{
    const QIcon icon(symbolPicture(QStringLiteral("\u2022"), QColor(30, 110, 200), 16, false));
    if (row < 0) {
        OutcomeGrid->clear();
        for (const OutcomeRow& cells : m_grid.rows) {
            auto* item = new QTreeWidgetItem(OutcomeGrid, {QString::fromStdString(cells.caption),
                                                           QString::fromStdString(cells.problemsText()),
                                                           QString::fromStdString(cells.statusText())});
            item->setForeground(1, QColor(Qt::red));
            if (!cells.isTotal)
                item->setIcon(0, icon);
        }
        return;
    }
    if (QTreeWidgetItem* item = OutcomeGrid->topLevelItem(row)) {
        const OutcomeRow& cells = m_grid.rows.at(static_cast<size_t>(row));
        item->setText(1, QString::fromStdString(cells.problemsText()));
        item->setText(2, QString::fromStdString(cells.statusText()));
    }
}

void ScanProgressPage::statusChanged(const std::string& text)
{
    ScanOutcomePanel->setText(QString::fromStdString(text));
}

void ScanProgressPage::progressChanged(int position)
{
    ProgressBar1->setValue(position);
}

void ScanProgressPage::yield()
{
    // The deep walks yield per key; serving the window every 15 ms keeps it live and the scan
    // fast.
    if (m_sinceYield.isValid() && m_sinceYield.elapsed() < 15)
        return;
    QCoreApplication::processEvents();
    m_sinceYield.start();
}

} // namespace tw::gui
