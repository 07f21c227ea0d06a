#include "RepairDialogForm.h"

#include "registry/Session.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <cmath>

namespace tw::gui {

namespace {
constexpr int kAnimationFrames = 24;
}

TRepairDialogForm::TRepairDialogForm(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("state"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint);
    setFixedSize(419, 150);
    m_label = new QLabel(QStringLiteral("Repair"), this);
    m_label->setGeometry(16, 84, 387, 20);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(170, 112, 80, 26);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_session.OperationState = kOperationCancelRepair;
        close();
    });
    // A small clip of papers flying into the bin, standing in for the delete-file clip.
    m_animation = new QTimer(this);
    connect(m_animation, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % kAnimationFrames;
        update(QRect(16, 10, 387, 66));
    });
    m_animation->start(60);
}

void TRepairDialogForm::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect folder(30, 24, 48, 36);
    const QRect bin(330, 20, 40, 44);
    p.setBrush(QColor(240, 200, 90));
    p.setPen(QColor(160, 120, 40));
    p.drawRoundedRect(folder, 3, 3);
    p.setBrush(QColor(170, 180, 195));
    p.setPen(QColor(100, 110, 125));
    p.drawRect(bin);
    const double t = static_cast<double>(m_frame) / kAnimationFrames;
    const double x = folder.right() + t * (bin.left() - folder.right());
    const double y = folder.top() - 14 * std::sin(t * 3.14159);
    p.setBrush(Qt::white);
    p.setPen(QColor(90, 90, 90));
    p.drawRect(QRectF(x - 8, y, 16, 20));
}

} // namespace tw::gui
