#include "ClickLabel.h"

#include <QMouseEvent>

namespace tw::gui {

ClickLabel::ClickLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
    : QLabel(text, parent), m_onClick(std::move(onClick))
{
    setCursor(Qt::PointingHandCursor);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_onClick();
}

} // namespace tw::gui
