#include "UpdateFlow.h"

#include "gui/WindowContext.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"

#include <QThread>
#include <QTimer>

namespace tw::gui {

UpdateFlow::UpdateFlow(WindowContext& context, QWidget* owner)
    : QObject(owner), m_context(context), m_owner(owner)
{
}

UpdateFlow::~UpdateFlow()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

bool UpdateFlow::run(Mode mode)
{
    if (m_thread)
        return false;
    m_mode = mode;
    Session& session = m_context.session;
    std::string url;
    if (!guarded(m_owner, [&] { url = UpdateDescriptorUrl(session); }))
        return false;
    // Without an update host there is nothing to contact; asked for, the check says so.
    if (url.empty()) {
        if (mode == Mode::Manual)
            showMessage(m_owner, QString::fromLatin1(kNoUpdateAddress), MessageIcon::Information);
        return false;
    }
    auto response = std::make_shared<platform::HttpResponse>();
    platform::Http* http = session.platform().http;
    m_thread = QThread::create([http, url, response] {
        if (http)
            *response = DownloadDescriptor(*http, url, UpdateLimits());
        else
            response->error = "The network is not used here";
    });
    connect(m_thread, &QThread::finished, this, [this, response] {
        m_thread->deleteLater();
        m_thread = nullptr;
        downloaded(*response);
    });
    m_thread->start();
    return true;
}

void UpdateFlow::downloaded(const platform::HttpResponse& response)
{
    UpdateOutcome outcome;
    if (!guarded(m_owner, [&] { outcome = FinishUpdateCheck(m_context.session, response); })) {
        emit finished(outcome, false);
        return;
    }
    bool handedOver = false;
    switch (outcome.result) {
    case UpdateResult::Newer:
        if (showMessage(m_owner, QString::fromLatin1(kNewerVersionQuestion),
                        MessageIcon::Information, MessageButtons::YesNo) == QMessageBox::Yes) {
            const std::string error = StartUpdater(m_context.session);
            if (error.empty())
                handedOver = true;
            else
                showMessage(m_owner, QString::fromStdString(error), MessageIcon::Error);
        }
        break;
    case UpdateResult::Current:
        if (m_mode == Mode::Manual)
            showMessage(m_owner, QString::fromLatin1(kNoUpdatesText), MessageIcon::Information);
        break;
    case UpdateResult::Failed:
        // A download that fails at start-up stays silent, and so does the refusal while Wine
        // runs (the window says so already); asked for, it says why.
        if ((!outcome.downloadFailed && !outcome.refused) || m_mode == Mode::Manual)
            showMessage(m_owner,
                        QStringLiteral("The update check failed: ") +
                            QString::fromStdString(outcome.reason),
                        MessageIcon::Error);
        break;
    }
    emit finished(outcome, handedOver);
    if (handedOver && m_context.endProgram)
        m_context.endProgram();
}

} // namespace tw::gui
