#include "MessageBox.h"

namespace tw::gui {

namespace {
std::function<QMessageBox::StandardButton(const MessageRequest&)> g_handler;

QMessageBox::Icon toQt(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void setMessageHandler(std::function<QMessageBox::StandardButton(const MessageRequest&)> handler)
{
    g_handler = std::move(handler);
}

QMessageBox::StandardButton showMessage(QWidget* parent, const QString& text, MessageIcon icon,
                                        MessageButtons buttons, const QString& caption)
{
    if (g_handler)
        return g_handler({caption, text, icon, buttons});
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(toQt(icon), caption, shown,
                    buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                     : QMessageBox::Ok,
                    parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace tw::gui
