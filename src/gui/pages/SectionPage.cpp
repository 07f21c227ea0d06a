#include "SectionPage.h"

#include "gui/ToolTable.h"
#include "gui/WindowContext.h"
#include "gui/widgets/ClickLabel.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/Theme.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tw::gui {

SectionPage::SectionPage(WindowContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    auto* layout = new QGridLayout(this);
    layout->addWidget(heading(QStringLiteral("Scan Options:"), this), 0, 0, 1, 2);
    ChLBSection = new QListWidget(this);
    for (const SectionInfo& section : Sections()) {
        auto* item =
            new QListWidgetItem(QString::fromStdString(std::string(section.caption)), ChLBSection);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    layout->addWidget(ChLBSection, 1, 0, 3, 1);
    auto* selectAll = new QHBoxLayout;
    ChbSelectAll = new QCheckBox(this);
    LbSelectAll = new ClickLabel(
        QStringLiteral("Select All"), [this] { suitempChbSelectAllClick(true); }, this);
    connect(ChbSelectAll, &QCheckBox::clicked, this, [this] { suitempChbSelectAllClick(false); });
    selectAll->addWidget(ChbSelectAll);
    selectAll->addWidget(LbSelectAll);
    selectAll->addStretch();
    layout->addLayout(selectAll, 4, 0);

    auto* side = new QVBoxLayout;
    auto* tools = new QHBoxLayout;
    IgxPreferences =
        new ImageButton(QStringLiteral("Preferences"), ImageButton::Size::Medium, this);
    IgxHelp = new ImageButton(QStringLiteral("Help"), ImageButton::Size::Small, this);
    tools->addWidget(IgxPreferences);
    tools->addSpacing(10);
    tools->addWidget(IgxHelp);
    tools->addStretch();
    side->addLayout(tools);
    side->addStretch();
    IgeScanNow = new QToolButton(this);
    IgeScanNow->setIcon(
        QIcon(symbolPicture(QStringLiteral("\u25B6"), QColor(30, 110, 200), 96, false)));
    IgeScanNow->setIconSize({96, 96});
    IgeScanNow->setText(QStringLiteral("Scan Now"));
    IgeScanNow->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    IgeScanNow->setAutoRaise(true);
    IgeScanNow->setCursor(Qt::PointingHandCursor);
    side->addWidget(IgeScanNow, 0, Qt::AlignHCenter);
    side->addStretch();
    layout->addLayout(side, 1, 1, 4, 1);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);

    connect(IgeScanNow, &QToolButton::clicked, this, [this] { SpbScanNowClick(); });
    connect(IgxHelp, &QAbstractButton::clicked, this, [this] { IgxHelpClick(); });
    connect(IgxPreferences, &QAbstractButton::clicked, this, [this] { IgxPreferencesClick(); });
}

void SectionPage::restoreSelection()
{
    SectionSelection stored{};
    bool selectAll = false;
    RestoreScanSelection(m_context.session, stored, selectAll);
    for (int i = 0; i < ChLBSection->count(); ++i)
        ChLBSection->item(i)->setCheckState(stored[static_cast<size_t>(i)] ? Qt::Checked
                                                                           : Qt::Unchecked);
    ChbSelectAll->setChecked(selectAll);
}

SectionSelection SectionPage::selection() const
{
    SectionSelection ticked{};
    for (int i = 0; i < ChLBSection->count(); ++i)
        ticked[static_cast<size_t>(i)] = ChLBSection->item(i)->checkState() == Qt::Checked;
    return ticked;
}

void SectionPage::SpbScanNowClick()
{
    emit scanRequested(selection());
}

void SectionPage::suitempChbSelectAllClick(bool fromLabel)
{
    if (fromLabel)
        ChbSelectAll->setChecked(!ChbSelectAll->isChecked());
    const Qt::CheckState state = ChbSelectAll->isChecked() ? Qt::Checked : Qt::Unchecked;
    for (int i = 0; i < ChLBSection->count(); ++i)
        ChLBSection->item(i)->setCheckState(state);
}

void SectionPage::IgxPreferencesClick()
{
    openTool(preferencesTool(), m_context, this);
}

void SectionPage::IgxHelpClick()
{
    guarded(this,
            [this] { OpenInBrowser(m_context.session, m_context.session.AppSettings.HelpURL); });
}

} // namespace tw::gui
