// A label that reports left clicks (the "Select All" label, the tool links).
#pragma once

#include <QLabel>
#include <functional>

namespace tw::gui {

class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    ClickLabel(const QString& text, std::function<void()> onClick, QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> m_onClick;
};

} // namespace tw::gui
