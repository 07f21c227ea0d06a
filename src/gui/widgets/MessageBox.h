// The one way windows show messages: caption "Tidewell", the given icon and buttons.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace tw::gui {

enum class MessageIcon
{
    None,
    Information,
    Warning,
    Exclamation,
    Error,
    Question
};
enum class MessageButtons
{
    Ok,
    YesNo,
    /// Yes and No, with No as the default button.
    YesNoDefaultNo,
    /// Yes, No and Cancel.
    YesNoCancel
};

struct MessageRequest
{
    QString caption;
    QString text;
    MessageIcon icon;
    MessageButtons buttons;
};

/// Shows a message box and returns QMessageBox::Ok, Yes, No or Cancel. "\r" in the text is a line
/// break, as in the program's messages.
QMessageBox::StandardButton showMessage(QWidget* parent, const QString& text, MessageIcon icon,
                                        MessageButtons buttons = MessageButtons::Ok,
                                        const QString& caption = QStringLiteral("Tidewell"));

/// The box showMessage shows, not yet shown (pictures of the windows).
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const MessageRequest& request);

/// Replaces the dialogs (tests and screenshots): the handler answers instead of the user.
void setMessageHandler(std::function<QMessageBox::StandardButton(const MessageRequest&)> handler);

} // namespace tw::gui
