#include "RegDllForm.h"

#include "gui/WindowContext.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace tw::gui {

namespace {

/// At most this many failed libraries are named in the message.
constexpr std::size_t kNamedFailures = 15;

QString failureMessage(const RegistrationQueue& queue)
{
    const auto& failures = queue.failures();
    if (failures.empty())
        return {};
    QString text = QStringLiteral("%1 of %2 libraries were not registered again:")
                       .arg(failures.size())
                       .arg(queue.total());
    for (std::size_t i = 0; i < failures.size() && i < kNamedFailures; ++i)
        text += QStringLiteral("\n%1 (%2)")
                    .arg(QString::fromStdString(failures[i].path),
                         QString::fromStdString(failures[i].reason));
    if (failures.size() > kNamedFailures)
        text += QStringLiteral("\nand %1 more.").arg(failures.size() - kNamedFailures);
    return text;
}

} // namespace

RegistrationRunner::RegistrationRunner(WindowContext& context, std::vector<std::string> paths,
                                       QObject* parent)
    : QObject(parent), m_context(context), m_queue(context.session, std::move(paths))
{
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &RegistrationRunner::pump);
    m_timer->start(100);
    QTimer::singleShot(0, this, &RegistrationRunner::pump);
}

void RegistrationRunner::pump()
{
    if (m_finished)
        return;
    const bool busy = m_queue.pump();
    emit progressed(static_cast<int>(m_queue.ended()));
    if (busy)
        return;
    // The registry is Wine's until its server has ended; then it is read again.
    if (m_queue.started() > 0 && m_context.session.programs().busy())
        return;
    m_finished = true;
    m_timer->stop();
    m_context.followPrefix();
    emit finished(failureMessage(m_queue));
}

TFormRegDll::TFormRegDll(WindowContext& context, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setWindowTitle(QStringLiteral("Fix Windows System Dll"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral(
            "A DLL error is usually caused when a DLL file goes missing or becomes corrupt. A "
            "DLL file, or Dynamic Link Library file, is a type of program that works with "
            "Windows, Windows drivers and Windows software programs. This file contains an "
            "executable sub-routine that allows multiple Windows programs and components to "
            "perform common tasks thus eliminating the need for duplicate coding."),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);
    LabStatus = new QLabel(this);
    layout->addWidget(LabStatus);
    Gauge = new QProgressBar(this);
    layout->addWidget(Gauge);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    SpbFix = new ImageButton(QStringLiteral("Fix DLL"), ImageButton::Size::Medium, this);
    SpbCancel = new ImageButton(QStringLiteral("Cancel"), ImageButton::Size::Medium, this);
    buttons->addWidget(SpbFix);
    buttons->addWidget(SpbCancel);
    layout->addLayout(buttons);
    connect(SpbFix, &QAbstractButton::clicked, this,
            [this] { guarded(this, [this] { SpbFixClick(); }); });
    connect(SpbCancel, &QAbstractButton::clicked, this, [this] { SpbCancelClick(); });
    resize(430, 220);
}

void TFormRegDll::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Gauge->setValue(0);
}

void TFormRegDll::statusChanged(const std::string& text)
{
    LabStatus->setText(QString::fromStdString(text));
}

void TFormRegDll::yield()
{
    QApplication::processEvents();
}

void TFormRegDll::SpbFixClick()
{
    m_running = true;
    Gauge->setMaximum(100);
    Gauge->setValue(0);
    QPointer<TFormRegDll> self(this);
    std::vector<std::string> paths = CollectAllDllFiles(m_context.session, *this);
    // Registrations outlive the window: they belong to its owner.
    QObject* owner = self ? static_cast<QObject*>(parentWidget()) : nullptr;
    m_runner = new RegistrationRunner(m_context, std::move(paths), owner ? owner : qApp);
    connect(m_runner, &RegistrationRunner::finished, m_runner, &QObject::deleteLater);
    if (!self)
        return;
    const int total = static_cast<int>(m_runner->queue().total());
    Gauge->setMaximum(total);
    Gauge->setValue(0);
    LabStatus->setText(total > 0 ? QStringLiteral("Repairing Dll") : QString());
    connect(m_runner, &RegistrationRunner::progressed, this,
            [this](int ended) { Gauge->setValue(ended); });
    connect(m_runner, &RegistrationRunner::finished, this, [this](const QString& failures) {
        m_runner = nullptr;
        LabStatus->setText(QStringLiteral("Fix Completed"));
        if (!failures.isEmpty())
            showMessage(this, failures, MessageIcon::Error);
    });
    connect(m_runner, &QObject::destroyed, this, [this] { m_runner = nullptr; });
}

void TFormRegDll::SpbCancelClick()
{
    m_running = false;
    close();
}

} // namespace tw::gui
