#include "DiskScanForm.h"

#include "CleanerViews.h"
#include "JunkModels.h"
#include "SysDiskClearForm.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace tw::gui {

namespace {

/// The "Select All" label: a click toggles the box.
class ClickableLabel : public QLabel
{
public:
    ClickableLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
        : QLabel(text, parent), m_onClick(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_onClick();
    }

private:
    std::function<void()> m_onClick;
};

} // namespace

TFormDiskScan::TFormDiskScan(Session& session, TFormSysDiskClear& drives, QWidget* parent)
    : QDialog(parent), m_session(session), m_drives(drives), m_found(new FoundJunkModel(this)),
      m_scan(session, *this)
{
    setWindowTitle(QStringLiteral("Scanning..."));
    auto* layout = new QVBoxLayout(this);
    ScanMessage = new QLabel(this);
    ScanMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(ScanMessage);
    auto* text = new QLabel(QStringLiteral("Please wait while System and Disk Cleaner searches "
                                           "the selected drives for junk files."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addWidget(new QLabel(QStringLiteral("Searching Disk Drives:"), this));
    LvFoundJunk = new QTableView(this);
    LvFoundJunk->setModel(m_found);
    setReportLook(LvFoundJunk, {120, 305});
    layout->addWidget(LvFoundJunk);
    auto* bottom = new QHBoxLayout;
    ChbSelectAll = new QCheckBox(this);
    LbSelectAll = new ClickableLabel(
        QStringLiteral("Select All"), [this] { ChbSelectAllClick(true); }, this);
    bottom->addWidget(ChbSelectAll);
    bottom->addWidget(LbSelectAll);
    bottom->addStretch();
    SpbClearJunk = new ImageButton(QStringLiteral("Clear Junk"), ImageButton::Size::Medium, this);
    SpbStop = new ImageButton(QStringLiteral("Stop"), ImageButton::Size::Medium, this);
    bottom->addWidget(SpbClearJunk);
    bottom->addWidget(SpbStop);
    layout->addLayout(bottom);
    connect(ChbSelectAll, &QCheckBox::clicked, this, [this] { ChbSelectAllClick(false); });
    connect(SpbClearJunk, &QAbstractButton::clicked, this, [this] { SpbClearJunkClick(); });
    connect(SpbStop, &QAbstractButton::clicked, this, [this] { SpbStopClick(); });
    resize(480, 400);
}

void TFormDiskScan::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_scan.ResetNumbers();
    ChbSelectAll->setChecked(true);
    // The scan starts once the window is up and active.
    QTimer::singleShot(0, this, [this] { StartScan(); });
}

void TFormDiskScan::StartScan()
{
    try {
        const std::string error = m_scan.BeginScan();
        if (!error.empty())
            showMessage(this, QString::fromStdString(error), MessageIcon::Error);
        m_sinceYield.invalidate();
        m_scan.ScanSelectedDrives(m_drives.tickedRoots());
    } catch (const std::exception& e) {
        m_session.DiskScanState = kDiskScanStopped;
        showMessage(this, QString::fromStdString(e.what()), MessageIcon::Error);
    }
}

void TFormDiskScan::SpbStopClick()
{
    m_session.DiskScanState = kDiskScanStopped;
    showMessage(this, QStringLiteral("Stop Succeed."), MessageIcon::None);
}

void TFormDiskScan::SpbClearJunkClick()
{
    if (m_session.DiskScanState == kDiskScanRunning)
        return;
    done(ClearJunkResult);
}

void TFormDiskScan::ChbSelectAllClick(bool fromLabel)
{
    if (fromLabel)
        ChbSelectAll->setChecked(!ChbSelectAll->isChecked());
    m_found->setAllChecked(ChbSelectAll->isChecked());
}

void TFormDiskScan::reject()
{
    if (m_session.DiskScanState == kDiskScanRunning) {
        showMessage(this, QStringLiteral("Stop Scanning first"), MessageIcon::None,
                    MessageButtons::Ok, QStringLiteral("Hit"));
        return;
    }
    QDialog::reject();
}

void TFormDiskScan::clearFound()
{
    m_found->clear();
}

void TFormDiskScan::addFound(const FoundJunkRow& row)
{
    m_found->append(row);
}

void TFormDiskScan::scanMessage(const std::string& text)
{
    // The label is drawn when the window is served; until then only the last text counts.
    m_message = text;
    if (text.empty())
        ScanMessage->clear();
}

void TFormDiskScan::yield()
{
    // The scan yields per entry and per pattern; serving the window every 15 ms keeps it
    // live and the scan fast.
    if (++m_yields % 32 != 0)
        return;
    if (m_sinceYield.isValid() && m_sinceYield.elapsed() < 15)
        return;
    ScanMessage->setText(QString::fromStdString(m_message));
    QCoreApplication::processEvents();
    m_sinceYield.start();
}

} // namespace tw::gui
