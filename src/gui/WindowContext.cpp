#include "WindowContext.h"

#include "gui/widgets/MessageBox.h"

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
