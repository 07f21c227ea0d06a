#include "SysDiskClearForm.h"

#include "gui/WindowContext.h"

#include "DiskFileClearSelectForm.h"
#include "DiskScanForm.h"
#include "JunkOptionForm.h"
#include "cleaner/JunkDrives.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Theme.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw::gui {

namespace {
constexpr int kTickRole = Qt::UserRole;
constexpr int kNotTicked = 1;
constexpr int kTicked = 2;

void showTick(QTreeWidgetItem* item, int state)
{
    item->setData(0, kTickRole, state);
    item->setData(0, Qt::CheckStateRole, state == kTicked ? Qt::Checked : Qt::Unchecked);
}
} // namespace

TFormSysDiskClear::TFormSysDiskClear(WindowContext& context, QWidget* parent)
    : TFormSysDiskClear(context.session, CleanerSetup{}, parent)
{
}

TFormSysDiskClear::TFormSysDiskClear(Session& session, CleanerSetup setup, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("System Disk CLeaner"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Please select thr drive you wish to scan from the "
                                           "following list. Click Scan when you have finished "
                                           "selecting the drives."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* frame = new QGroupBox(QStringLiteral("Disk Drives"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    ChbTvDiskList = new QTreeWidget(frame);
    ChbTvDiskList->setHeaderHidden(true);
    ChbTvDiskList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ChbTvDiskList->viewport()->installEventFilter(this);
    frameLayout->addWidget(ChbTvDiskList);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    SpbOptions = new ImageButton(QStringLiteral("Options..."), ImageButton::Size::Medium, frame);
    SpbHelp = new ImageButton(QStringLiteral("Help"), ImageButton::Size::Medium, frame);
    SpbScan = new ImageButton(QStringLiteral("Scan"), ImageButton::Size::Medium, frame);
    for (ImageButton* button : {SpbOptions, SpbHelp, SpbScan})
        buttons->addWidget(button);
    frameLayout->addLayout(buttons);
    layout->addWidget(frame);
    connect(SpbOptions, &QAbstractButton::clicked, this, [this] { SpbOptionsClick(); });
    connect(SpbHelp, &QAbstractButton::clicked, this, [this] { SpbHelpClick(); });
    connect(SpbScan, &QAbstractButton::clicked, this, [this] { SpbScanClick(); });
    connect(ChbTvDiskList, &QTreeWidget::currentItemChanged, this, [](QTreeWidgetItem* current) {
        if (current)
            current->setExpanded(true);
    });
    resize(430, 330);

    BuildDriveTree();
    FormJunkOption = new TFormJunkOption(m_session, setup.storeFileList, this);
    FormDiskScan = new TFormDiskScan(m_session, *this, this);
    FormDiskFileClearSelect = new TFormDiskFileClearSelect(m_session, *FormDiskScan, this);
}

QTreeWidgetItem* TFormSysDiskClear::root() const
{
    return ChbTvDiskList->topLevelItem(0);
}

void TFormSysDiskClear::BuildDriveTree()
{
    ChbTvDiskList->clear();
    DriveRoots.clear();
    auto* computer = new QTreeWidgetItem(ChbTvDiskList, {QStringLiteral("My Computer")});
    computer->setIcon(0, symbolPicture(QStringLiteral("\u2302"), QColor(30, 110, 200), 16, false));
    for (const JunkDrive& drive : ListJunkDrives(m_session)) {
        auto* node = new QTreeWidgetItem(computer, {QString::fromStdString(drive.name)});
        node->setIcon(0, symbolPicture(QString::fromStdString(drive.root.substr(0, 1)),
                                       QColor(90, 110, 130), 16, false));
        // The click handler alone turns the tick over: the view must not turn it back when
        // the click lands on the box.
        node->setFlags(node->flags() & ~Qt::ItemIsUserCheckable);
        showTick(node, kNotTicked);
        DriveRoots.push_back(drive.root);
    }
    computer->setExpanded(true);
}

bool TFormSysDiskClear::eventFilter(QObject* watched, QEvent* event)
{
    // The tree has selected the node under the pointer (if any) when the button goes up.
    if (watched == ChbTvDiskList->viewport() && event->type() == QEvent::MouseButtonRelease)
        ChbTvDiskListClick();
    return QDialog::eventFilter(watched, event);
}

void TFormSysDiskClear::ChbTvDiskListClick()
{
    QTreeWidgetItem* node = ChbTvDiskList->currentItem();
    if (!node || !node->data(0, kTickRole).isValid())
        return;
    showTick(node, node->data(0, kTickRole).toInt() == kTicked ? kNotTicked : kTicked);
}

std::vector<std::string> TFormSysDiskClear::tickedRoots() const
{
    std::vector<std::string> roots;
    if (!ChbTvDiskList->currentItem() || !root())
        return roots;
    for (int i = 0; i < root()->childCount(); ++i) {
        if (root()->child(i)->data(0, kTickRole).toInt() == kTicked)
            roots.push_back(DriveRoots[static_cast<size_t>(i)]);
    }
    return roots;
}

void TFormSysDiskClear::setTicked(const std::string& driveRoot, bool ticked)
{
    for (size_t i = 0; i < DriveRoots.size(); ++i) {
        if (DriveRoots[i] == driveRoot) {
            QTreeWidgetItem* node = root()->child(static_cast<int>(i));
            ChbTvDiskList->setCurrentItem(node);
            showTick(node, ticked ? kTicked : kNotTicked);
        }
    }
}

void TFormSysDiskClear::SpbOptionsClick()
{
    FormJunkOption->exec();
}

void TFormSysDiskClear::SpbHelpClick()
{
    try {
        OpenInBrowser(m_session, m_session.AppSettings.HelpURL);
    } catch (const std::exception& e) {
        showMessage(this, QString::fromStdString(e.what()), MessageIcon::Error);
    }
}

void TFormSysDiskClear::SpbScanClick()
{
    // "Clear Junk" closes the scan window and opens the clean window.
    if (FormDiskScan->exec() == TFormDiskScan::ClearJunkResult)
        FormDiskFileClearSelect->exec();
}

void showDiskCleaner(QWidget* owner, Session& session)
{
    auto* cleaner = owner->findChild<TFormSysDiskClear*>();
    if (!cleaner)
        cleaner = new TFormSysDiskClear(session, {}, owner);
    cleaner->exec();
}

} // namespace tw::gui
