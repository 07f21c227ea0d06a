#include "PreferencesForm.h"

#include "UpdateFlow.h"
#include "gui/WindowContext.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "tools/update/Preferences.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace tw::gui {

namespace {

QLabel* partHeading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("heading"));
    return label;
}

QString localTimeText(const platform::SystemTime& time)
{
    const QLocale locale;
    const QDate date(time.year, time.month, time.day);
    const QTime clock(time.hour, time.minute, time.second);
    return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(clock, QLocale::LongFormat);
}

} // namespace

TFormOptions::TFormOptions(WindowContext& context, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Choose Options"), this);
    auto* parts = new QVBoxLayout(group);

    parts->addWidget(partHeading(QStringLiteral("Schedule Options"), group));
    ChkRun = new QCheckBox(QStringLiteral("Run at windows startup"), group);
    parts->addWidget(ChkRun);

    parts->addWidget(partHeading(QStringLiteral("Removal Options"), group));
    ChkAutoBackup = new QCheckBox(
        QStringLiteral("Do not automatically backup items before removal(NOT recommended)"), group);
    ChkCheckItem =
        new QCheckBox(QStringLiteral("Select All Items Automatically after scan"), group);
    parts->addWidget(ChkAutoBackup);
    parts->addWidget(ChkCheckItem);

    parts->addWidget(partHeading(QStringLiteral("San Options"), group));
    chScanOption = new QCheckBox(QStringLiteral("Select All Items for scan"), group);
    cbCheckUpdate =
        new QCheckBox(QStringLiteral("Check for Tidewell updates automatically"), group);
    parts->addWidget(chScanOption);
    parts->addWidget(cbCheckUpdate);
    auto* updateRow = new QHBoxLayout;
    IgUpdates = new ImageButton(QStringLiteral("Updates"), ImageButton::Size::Medium, group);
    LabelVer = new QLabel(group);
    updateRow->addWidget(IgUpdates);
    updateRow->addWidget(LabelVer, 1);
    parts->addLayout(updateRow);
    layout->addWidget(group);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    IgOK = new ImageButton(QStringLiteral("OK"), ImageButton::Size::Small, this);
    IgCancel = new ImageButton(QStringLiteral("Cancel"), ImageButton::Size::Small, this);
    buttons->addWidget(IgOK);
    buttons->addWidget(IgCancel);
    layout->addLayout(buttons);

    m_update = new UpdateFlow(m_context, this);
    connect(IgOK, &QAbstractButton::clicked, this, [this] { IgOKClick(); });
    connect(IgCancel, &QAbstractButton::clicked, this, [this] { IgCancelClick(); });
    connect(IgUpdates, &QAbstractButton::clicked, this, [this] { IgUpdatesClick(); });
    connect(m_update, &UpdateFlow::finished, this, [this](const UpdateOutcome&, bool handedOver) {
        IgUpdates->setEnabled(true);
        if (handedOver)
            reject();
    });
}

void TFormOptions::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFormOptions::FormShow()
{
    guarded(this, [this] {
        const PreferencesState state = LoadPreferences(m_context.session);
        if (state.runAtStartup)
            ChkRun->setChecked(*state.runAtStartup);
        if (state.settings) {
            ChkAutoBackup->setChecked(state.settings->notAutoBackup);
            ChkCheckItem->setChecked(state.settings->selectAll);
            chScanOption->setChecked(state.settings->scanSetting);
            cbCheckUpdate->setChecked(state.settings->checkUpdate);
        }
        if (!state.programTime)
            LabelVer->setText(QStringLiteral("Unknowable Version"));
        else
            LabelVer->setText(QStringLiteral("Version: ") + QString::fromStdString(state.version) +
                              QStringLiteral(", Last Time: ") + localTimeText(*state.programTime));
    });
}

void TFormOptions::IgOKClick()
{
    PreferenceBoxes boxes;
    boxes.runAtStartup = ChkRun->isChecked();
    boxes.notAutoBackup = ChkAutoBackup->isChecked();
    boxes.selectAll = ChkCheckItem->isChecked();
    boxes.scanSetting = chScanOption->isChecked();
    boxes.checkUpdate = cbCheckUpdate->isChecked();
    std::string autostartError;
    if (!guarded(this, [&] { autostartError = SavePreferences(m_context.session, boxes); }))
        return;
    m_context.commit(this);
    if (!autostartError.empty())
        showMessage(this, QString::fromStdString(autostartError), MessageIcon::Error);
    accept();
}

void TFormOptions::IgCancelClick()
{
    reject();
}

void TFormOptions::IgUpdatesClick()
{
    if (m_update->run(UpdateFlow::Mode::Manual))
        IgUpdates->setEnabled(false);
}

} // namespace tw::gui
