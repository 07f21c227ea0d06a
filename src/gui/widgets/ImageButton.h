// The image button: a generated face in one of three sizes with its caption painted on it.
#pragma once

#include <QAbstractButton>

namespace tw::gui {

class ImageButton : public QAbstractButton
{
    Q_OBJECT
public:
    /// The three face sizes of the button lists: 62 x 22, 89 x 25 and 152 x 25.
    enum class Size
    {
        Small,
        Medium,
        Large
    };

    ImageButton(const QString& caption, Size size, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    bool isHighlighted() const { return m_highlighted; }

    /// The face of a size, normal (0) or highlighted (1).
    static QPixmap face(Size size, int index);
    static QSize faceSize(Size size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Size m_size;
    bool m_highlighted = false;
};

/// Paints a caption centred on a picture: 8-point bold, RGB(0,99,198), no background.
void DrawButtonCaption(QPixmap& picture, const QString& caption);

} // namespace tw::gui
