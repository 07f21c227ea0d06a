#include "BackupPage.h"

#include "gui/WindowContext.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Theme.h"
#include "registry/Session.h"
#include "repair/BackupList.h"
#include "repair/BackupSeal.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QTime>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw::gui {

namespace {

QString formatBackupTime(const platform::SystemTime& t)
{
    const QLocale locale;
    const QDate date(t.year, t.month, t.day);
    QString text = locale.toString(date, QLocale::ShortFormat);
    if (t.hour || t.minute || t.second || t.milliseconds)
        text += QLatin1Char(' ') +
                locale.toString(QTime(t.hour, t.minute, t.second), QLocale::LongFormat);
    return text;
}

/// A backup action's message with its detail on a second line.
QString resultText(const BackupActionResult& result)
{
    QString text = QString::fromStdString(result.message);
    if (!result.error.empty())
        text += QStringLiteral("\r") + QString::fromStdString(result.error);
    return text;
}

} // namespace

BackupPage::BackupPage(WindowContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading(QStringLiteral("Registry Backup / Restore Items:"), this));
    BackupDataListView = new QTreeWidget(this);
    BackupDataListView->setHeaderLabels({"Backup Time", "Backup File"});
    BackupDataListView->setRootIsDecorated(false);
    BackupDataListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Long paths lose their middle, never the time stamp at their end.
    BackupDataListView->setTextElideMode(Qt::ElideMiddle);
    layout->addWidget(BackupDataListView);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    SpbBackReg = new ImageButton(QStringLiteral("BackRegistry"), ImageButton::Size::Medium, this);
    SpbRestore =
        new ImageButton(QStringLiteral("Restore Registry"), ImageButton::Size::Large, this);
    SpdRemove = new ImageButton(QStringLiteral("Remove Backup"), ImageButton::Size::Large, this);
    buttons->addWidget(SpbBackReg);
    buttons->addSpacing(10);
    buttons->addWidget(SpbRestore);
    buttons->addSpacing(10);
    buttons->addWidget(SpdRemove);
    buttons->addSpacing(10);
    layout->addLayout(buttons);
    connect(SpbBackReg, &QAbstractButton::clicked, this, [this] { SpbBackRegClick(); });
    connect(SpbRestore, &QAbstractButton::clicked, this, [this] { SpbRestoreClick(); });
    connect(SpdRemove, &QAbstractButton::clicked, this, [this] { SpdRemoveClick(); });
}

void BackupPage::fillBackupList()
{
    guarded(this, [this] {
        BackupDataListView->clear();
        for (const BackupEntry& entry : ListBackups(m_context.session))
            addBackupRow(entry.path, entry.time);
    });
}

void BackupPage::addBackupRow(const std::string& path, const platform::SystemTime& time)
{
    auto* row =
        new QTreeWidgetItem(BackupDataListView, {formatBackupTime(time), QString::fromStdString(path)});
    row->setToolTip(1, row->text(1));
    // Times as wide as they are.
    BackupDataListView->resizeColumnToContents(0);
}

void BackupPage::SpbBackRegClick()
{
    guarded(this, [this] {
        const BackupActionResult result = FullBackup(m_context.session);
        if (result.added)
            addBackupRow(result.added->path, result.added->time);
        showMessage(this, resultText(result), MessageIcon::None);
    });
}

void BackupPage::SpbRestoreClick()
{
    QTreeWidgetItem* row = BackupDataListView->currentItem();
    if (!row) {
        showMessage(this, QString::fromLatin1(kNoSelectionMessage), MessageIcon::None);
        return;
    }
    if (showMessage(this, QString::fromLatin1(kRestoreQuestion), MessageIcon::Information,
                    MessageButtons::YesNo) != QMessageBox::Yes)
        return;
    guarded(this, [this, row] {
        const std::string path = row->text(1).toStdString();
        // A backup changed since it was written, or made on another installation: only
        // when the user says so.
        const BackupCheck check = CheckBackup(m_context.session, path);
        if (check.needsConfirmation() &&
            showMessage(this,
                        QString::fromStdString(check.warning) +
                            QStringLiteral("\r\rRestore it anyway?"),
                        MessageIcon::Warning, MessageButtons::YesNo) != QMessageBox::Yes)
            return;
        const BackupActionResult result = RestoreBackup(m_context.session, path);
        showMessage(this, resultText(result),
                    result.ok ? MessageIcon::None : MessageIcon::Exclamation);
    });
}

void BackupPage::SpdRemoveClick()
{
    QTreeWidgetItem* row = BackupDataListView->currentItem();
    if (!row) {
        showMessage(this, QString::fromLatin1(kNoSelectionMessage), MessageIcon::None);
        return;
    }
    if (showMessage(this, QString::fromLatin1(kRemoveQuestion), MessageIcon::Exclamation,
                    MessageButtons::YesNo) != QMessageBox::Yes)
        return;
    guarded(this, [this, row] {
        const BackupActionResult result =
            RemoveBackup(m_context.session, row->text(1).toStdString());
        if (result.message.empty())
            return;
        if (result.ok)
            delete row;
        showMessage(this, resultText(result),
                    result.ok ? MessageIcon::None : MessageIcon::Exclamation);
    });
}

} // namespace tw::gui
