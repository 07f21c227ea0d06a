// The update check as the windows run it: the download on another thread (the window stays
// live), then the question and the hand-over to the updater.
#pragma once

#include "tools/update/UpdateCheck.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QThread;
class QWidget;

namespace tw::gui {

struct WindowContext;

/// The hand-over question and the answer of a manual check that found nothing newer.
inline constexpr const char* kNewerVersionQuestion =
    "A newer version of Tidewell is available, Tidewell will shut down to install the newer "
    "version.\rWould you like to update now?";
inline constexpr const char* kNoUpdatesText =
    "There are no updates available at this time.\rYour Tidewell is up-to-date.";

class UpdateFlow : public QObject
{
    Q_OBJECT
public:
    enum class Mode
    {
        /// At start-up: only a newer version or a folder that cannot be written says anything.
        Automatic,
        /// "Updates" and "Online Update": every result is told.
        Manual,
    };

    /// Messages and the question are shown over `owner`.
    UpdateFlow(WindowContext& context, QWidget* owner);
    /// Waits for a download that still runs (it ends within its time-out).
    ~UpdateFlow() override;

    /// Starts a check unless one runs; returns false when one was running, or when no update
    /// address is set (a manual check then says so; nothing is contacted).
    bool run(Mode mode);
    bool isRunning() const { return m_thread != nullptr; }

signals:
    /// The check ended with this result; `handedOver` when the updater started.
    void finished(tw::UpdateOutcome outcome, bool handedOver);

private:
    void downloaded(const platform::HttpResponse& response);

    WindowContext& m_context;
    QPointer<QWidget> m_owner;
    Mode m_mode = Mode::Manual;
    QThread* m_thread = nullptr;
};

} // namespace tw::gui
