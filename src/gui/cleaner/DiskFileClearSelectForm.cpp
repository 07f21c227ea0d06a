#include "DiskFileClearSelectForm.h"

#include "CleanerViews.h"
#include "DiskScanForm.h"
#include "JunkModels.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"

#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace tw::gui {

TFormDiskFileClearSelect::TFormDiskFileClearSelect(Session& session, TFormDiskScan& scan,
                                                   QWidget* parent)
    : QDialog(parent), m_session(session), m_scan(scan), m_results(new CleanResultModel(this))
{
    auto* layout = new QVBoxLayout(this);
    NotebookClear = new QStackedWidget(this);
    layout->addWidget(NotebookClear);

    auto* results = new QWidget(NotebookClear);
    auto* resultsLayout = new QVBoxLayout(results);
    CleanerListView = new QTableView(results);
    CleanerListView->setModel(m_results);
    setReportLook(CleanerListView, {320, 100});
    resultsLayout->addWidget(CleanerListView);
    SuiPgb = new QProgressBar(results);
    SuiPgb->setTextVisible(true);
    resultsLayout->addWidget(SuiPgb);
    auto* resultsButtons = new QHBoxLayout;
    resultsButtons->addStretch();
    SpbResultsClose = new ImageButton(QStringLiteral("Close"), ImageButton::Size::Small, results);
    resultsButtons->addWidget(SpbResultsClose);
    resultsLayout->addLayout(resultsButtons);

    auto* options = new QWidget(NotebookClear);
    auto* optionsLayout = new QVBoxLayout(options);
    auto* heading = new QLabel(QStringLiteral("Select cleaning options"), options);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    optionsLayout->addWidget(heading);
    optionsLayout->addWidget(
        new QLabel(QStringLiteral("Select the mode of cleaning files from your system"), options));
    RbDelete = new QRadioButton(QStringLiteral("Permanently delete files"), options);
    RbRecycle =
        new QRadioButton(QStringLiteral("Move files to Recycle Bin (recommended)"), options);
    RbMove = new QRadioButton(QStringLiteral("Move all files in one folder"), options);
    RbRecycle->setChecked(true);
    for (QRadioButton* choice : {RbDelete, RbRecycle, RbMove})
        optionsLayout->addWidget(choice);
    optionsLayout->addSpacing(8);
    optionsLayout->addWidget(new QLabel(QStringLiteral("Select destination folder:"), options));
    panJunkMoveFolder = new QLabel(options);
    panJunkMoveFolder->setFrameShape(QFrame::Panel);
    panJunkMoveFolder->setFrameShadow(QFrame::Sunken);
    panJunkMoveFolder->setMinimumHeight(22);
    optionsLayout->addWidget(panJunkMoveFolder);
    optionsLayout->addStretch();
    auto* optionButtons = new QHBoxLayout;
    optionButtons->addStretch();
    SpbExcute = new ImageButton(QStringLiteral("Execute"), ImageButton::Size::Small, options);
    SpbOptionsClose = new ImageButton(QStringLiteral("Close"), ImageButton::Size::Small, options);
    optionButtons->addWidget(SpbExcute);
    optionButtons->addWidget(SpbOptionsClose);
    optionsLayout->addLayout(optionButtons);

    NotebookClear->addWidget(results);
    NotebookClear->addWidget(options);
    connect(RbMove, &QRadioButton::clicked, this, [this] { RbMoveClick(); });
    connect(SpbExcute, &QAbstractButton::clicked, this, [this] { SpbExcuteClick(); });
    connect(SpbOptionsClose, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(SpbResultsClose, &QAbstractButton::clicked, this, &QDialog::accept);
    resize(480, 360);
}

void TFormDiskFileClearSelect::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    NotebookClear->setCurrentIndex(OptionsPage);
    setWindowTitle(QStringLiteral("Cleaner Option"));
}

CleanMode TFormDiskFileClearSelect::mode() const
{
    if (RbDelete->isChecked())
        return CleanMode::Delete;
    return RbMove->isChecked() ? CleanMode::Move : CleanMode::Recycle;
}

void TFormDiskFileClearSelect::RbMoveClick()
{
    RbMove->setChecked(true);
    platform::Files& files = m_session.files();
    const std::string shown = panJunkMoveFolder->text().toStdString();
    const QString start =
        QString::fromStdString(files.unixFileName(shown.empty() ? std::string("C:\\") : shown)
                                   .value_or(QDir::homePath().toStdString()));
    const std::optional<QString> chosen =
        browseForFolder(this, QStringLiteral("Select Directory"), start);
    if (!chosen)
        return;
    const std::optional<std::string> folder = files.dosFileName(chosen->toStdString());
    if (!folder) {
        showMessage(this, *chosen + QStringLiteral(" is on none of the drives."),
                    MessageIcon::Exclamation);
        return;
    }
    panJunkMoveFolder->setText(QString::fromStdString(*folder));
}

void TFormDiskFileClearSelect::SpbExcuteClick()
{
    if (mode() == CleanMode::Move && panJunkMoveFolder->text().isEmpty()) {
        RbMoveClick();
        if (panJunkMoveFolder->text().isEmpty())
            return;
    }
    const int page = NotebookClear->currentIndex();
    const QString title = windowTitle();
    const std::uint8_t state = m_session.DiskScanState;
    NotebookClear->setCurrentIndex(ResultsPage);
    setWindowTitle(QStringLiteral("Junk Files"));
    m_session.DiskScanState = kDiskScanCleaning;
    m_sincePaint.invalidate();
    const CleanOutcome outcome = CleanJunkFiles(m_session, m_scan.foundModel()->rows(), mode(),
                                                panJunkMoveFolder->text().toStdString(), *this);
    if (!outcome.refused.empty()) {
        NotebookClear->setCurrentIndex(page);
        setWindowTitle(title);
        m_session.DiskScanState = state;
        showMessage(
            this, QStringLiteral("Nothing was cleaned. ") + QString::fromStdString(outcome.refused),
            MessageIcon::Error);
        return;
    }
    SuiPgb->repaint();
}

void TFormDiskFileClearSelect::cleanStarted(int maximum)
{
    m_results->clear();
    SuiPgb->setRange(0, std::max(maximum, 1));
}

int TFormDiskFileClearSelect::addResultRow(const std::string& junkFile)
{
    return m_results->append(junkFile);
}

void TFormDiskFileClearSelect::setResultStatus(int row, const std::string& status)
{
    m_results->setStatus(row, status);
}

void TFormDiskFileClearSelect::setResultReason(int row, const std::string& reason)
{
    m_results->setReason(row, reason);
}

void TFormDiskFileClearSelect::progressChanged(int position)
{
    SuiPgb->setValue(position);
    // The clean takes no user input, but its progress is drawn as it goes.
    if (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= 15) {
        SuiPgb->repaint();
        m_sincePaint.start();
    }
}

} // namespace tw::gui
