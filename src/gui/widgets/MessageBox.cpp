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
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const MessageRequest& request)
{
    QString shown = request.text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (request.buttons == MessageButtons::Ok)
        buttons = QMessageBox::Ok;
    else if (request.buttons == MessageButtons::YesNoCancel)
        buttons |= QMessageBox::Cancel;
    auto box =
        std::make_unique<QMessageBox>(toQt(request.icon), request.caption, shown, buttons, parent);
    if (request.buttons == MessageButtons::YesNoDefaultNo)
        box->setDefaultButton(QMessageBox::No);
    return box;
}

void setMessageHandler(std::function<QMessageBox::StandardButton(const MessageRequest&)> handler)
{
    g_handler = std::move(handler);
}

QMessageBox::StandardButton showMessage(QWidget* parent, const QString& text, MessageIcon icon,
                                        MessageButtons buttons, const QString& caption)
{
    const MessageRequest request{caption, text, icon, buttons};
    if (g_handler)
        return g_handler(request);
    return static_cast<QMessageBox::StandardButton>(makeMessageBox(parent, request)->exec());
}

} // namespace tw::gui
