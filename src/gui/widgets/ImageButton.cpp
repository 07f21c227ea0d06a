#include "ImageButton.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

namespace tw::gui {

QSize ImageButton::faceSize(Size size)
{
    switch (size) {
    case Size::Small:
        return {62, 22};
    case Size::Medium:
        return {89, 25};
    case Size::Large:
        return {152, 25};
    }
    return {62, 22};
}

QPixmap ImageButton::face(Size size, int index)
{
    const QSize s = faceSize(size);
    QPixmap pixmap(s);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, s.height());
    if (index == 0) {
        gradient.setColorAt(0, QColor(250, 252, 255));
        gradient.setColorAt(1, QColor(208, 224, 244));
    } else {
        gradient.setColorAt(0, QColor(255, 250, 225));
        gradient.setColorAt(1, QColor(255, 214, 120));
    }
    p.setBrush(gradient);
    p.setPen(QColor(index == 0 ? QColor(120, 150, 190) : QColor(200, 140, 40)));
    p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 4, 4);
    return pixmap;
}

void DrawButtonCaption(QPixmap& picture, const QString& caption)
{
    QPainter p(&picture);
    QFont font = p.font();
    font.setPointSize(8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0, 99, 198));
    p.setBrush(Qt::NoBrush);
    const QFontMetrics metrics(font);
    const int textWidth = metrics.horizontalAdvance(caption);
    const int textHeight = metrics.height();
    const int x = (picture.width() - textWidth) / 2;
    const int y = (picture.height() - textHeight) / 2;
    p.drawText(x, y + metrics.ascent(), caption);
}

ImageButton::ImageButton(const QString& caption, Size size, QWidget* parent)
    : QAbstractButton(parent), m_size(size)
{
    setText(caption);
    setFixedSize(faceSize(size));
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

QSize ImageButton::sizeHint() const
{
    return faceSize(m_size);
}

void ImageButton::paintEvent(QPaintEvent*)
{
    QPixmap picture = face(m_size, m_highlighted ? 1 : 0);
    DrawButtonCaption(picture, text());
    QPainter p(this);
    if (!isEnabled())
        p.setOpacity(0.5);
    p.drawPixmap(0, 0, picture);
}

void ImageButton::enterEvent(QEnterEvent* event)
{
    m_highlighted = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event)
{
    m_highlighted = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace tw::gui
