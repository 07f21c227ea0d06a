#include "Theme.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace tw::gui {

QString styleSheet()
{
    return QStringLiteral(
        "QMainWindow, QDialog { background: #eef3fa; }"
        "QLabel#heading { font-weight: bold; color: #1d4f8c; }"
        "QLabel#readOnly, QLabel#settingsNotice { background: #fff4d6; color: #7a4b00;"
        " border: 1px solid #e0b050; padding: 4px; }"
        "QTreeWidget, QListWidget { background: white; border: 1px solid #9db5d6; }"
        "QHeaderView::section { background: #dbe7f5; border: 0; border-right: 1px solid #b7c9e2;"
        " padding: 3px; font-weight: bold; }"
        "QProgressBar { border: 1px solid #9db5d6; background: white; height: 14px;"
        " text-align: center; }"
        "QProgressBar::chunk { background: #4a8fd9; }"
        "QLabel#toolLink { color: #1d4f8c; }"
        "QLabel#toolLink:hover { color: red; }");
}

QPixmap headerPicture(int width, int height)
{
    QPixmap pixmap(width, height);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(18, 72, 140));
    gradient.setColorAt(1, QColor(64, 150, 220));
    p.fillRect(pixmap.rect(), gradient);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 60), 3));
    for (int i = 0; i < 3; ++i)
        p.drawArc(QRect(width - 260 + i * 30, -40 + i * 8, 320, 120), 200 * 16, 140 * 16);
    QFont font = p.font();
    font.setPointSize(18);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(16, 0, width, height), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Tidewell"));
    font.setPointSize(9);
    font.setBold(false);
    p.setFont(font);
    p.drawText(QRect(140, 0, width, height), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("registry cleaner and system tools"));
    return pixmap;
}

QPixmap symbolPicture(const QString& symbol, const QColor& color, int size, bool highlighted)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient gradient(size * 0.35, size * 0.3, size * 0.8);
    gradient.setColorAt(0, highlighted ? color.lighter(170) : color.lighter(140));
    gradient.setColorAt(1, highlighted ? color : color.darker(120));
    p.setBrush(gradient);
    p.setPen(QPen(color.darker(150), 1));
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    QFont font = p.font();
    font.setPixelSize(size / 2);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(pixmap.rect(), Qt::AlignCenter, symbol);
    return pixmap;
}

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("heading"));
    return label;
}

QIcon applicationIcon()
{
    return QIcon(symbolPicture(QStringLiteral("T"), QColor(30, 110, 200), 64, false));
}

} // namespace tw::gui
