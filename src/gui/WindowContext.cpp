#include "WindowContext.h"

#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"

#include <exception>

namespace tw::gui {

void WindowContext::commit(QWidget* parent) const
{
    if (!commitChanges)
        return;
    const QString error = commitChanges();
    if (!error.isEmpty())
        showMessage(parent, error, MessageIcon::Error);
}

bool WindowContext::followPrefix()
{
    if (!commitChanges)
        return false;
    platform::Storage& storage = session.storage();
    QString reason;
    try {
        storage.refresh();
        reason = QString::fromStdString(storage.readOnlyReason());
    } catch (const platform::StorageError& e) {
        reason = QString::fromStdString(e.what());
    }
    if (reason == readOnlyReason)
        return false;
    readOnlyReason = reason;
    if (stateChanged)
        stateChanged();
    return true;
}

bool guarded(QWidget* parent, const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        showMessage(parent, QString::fromStdString(e.what()), MessageIcon::Error);
        return false;
    }
}

} // namespace tw::gui
