// The built-in theme that stands in for the skinned controls: style sheet and pictures.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

class QLabel;
class QWidget;

namespace tw::gui {

QString styleSheet();
/// The header band: the product name on a blue gradient.
QPixmap headerPicture(int width, int height);
/// A round picture with a symbol, for navigation buttons, tool links and the start image.
QPixmap symbolPicture(const QString& symbol, const QColor& color, int size, bool highlighted);
/// A page heading ("Scan Options:"): a label the style sheet shows in bold blue.
QLabel* heading(const QString& text, QWidget* parent);
/// The application's icon (also the notification-area icon).
QIcon applicationIcon();

} // namespace tw::gui
