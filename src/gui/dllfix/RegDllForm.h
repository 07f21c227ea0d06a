// TFormRegDll: registers the system folder's libraries again, a few at a time.
#pragma once

#include "tools/dllfix/DllFix.h"

#include <QDialog>
#include <QObject>
#include <memory>

class QLabel;
class QProgressBar;
class QTimer;

namespace tw::gui {

class ImageButton;
struct WindowContext;

/// Runs the registrations of one fix beside the windows; lives on after the window closes
/// ("Cancel") and, once all have ended and Wine with them, reads the registry again.
class RegistrationRunner : public QObject
{
    Q_OBJECT
public:
    RegistrationRunner(WindowContext& context, std::vector<std::string> paths, QObject* parent);
    const RegistrationQueue& queue() const { return m_queue; }
    bool isFinished() const { return m_finished; }

signals:
    /// Registrations ended so far, well or not.
    void progressed(int ended);
    /// Every registration has ended; `failures` names those that did not succeed and why
    /// (empty when all did).
    void finished(const QString& failures);

private:
    void pump();

    WindowContext& m_context;
    RegistrationQueue m_queue;
    QTimer* m_timer = nullptr;
    bool m_finished = false;
};

class TFormRegDll : public QDialog, private DllFixView
{
    Q_OBJECT
public:
    TFormRegDll(WindowContext& context, QWidget* parent = nullptr);

    /// "Fix DLL": the scan, then the registrations, which go on without blocking the window.
    void SpbFixClick();
    /// "Cancel": stops the scan and closes the window; what was collected is registered.
    void SpbCancelClick();

    /// The registrations of the last fix (null before the first).
    RegistrationRunner* runner() const { return m_runner; }

    QLabel* LabStatus = nullptr;
    QProgressBar* Gauge = nullptr;
    ImageButton* SpbFix = nullptr;
    ImageButton* SpbCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void statusChanged(const std::string& text) override;
    void yield() override;
    bool running() override { return m_running; }

    WindowContext& m_context;
    bool m_running = false;
    RegistrationRunner* m_runner = nullptr;
};

} // namespace tw::gui
