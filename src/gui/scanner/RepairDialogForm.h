// TRepairDialogForm: the small "state" window shown while a repair runs.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace tw {
class Session;
}

namespace tw::gui {

class TRepairDialogForm : public QDialog
{
    Q_OBJECT
public:
    explicit TRepairDialogForm(Session& session, QWidget* parent = nullptr);
    QLabel* label() const { return m_label; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Session& m_session;
    QLabel* m_label;
    QPushButton* m_cancel;
    QTimer* m_animation;
    int m_frame = 0;
};

} // namespace tw::gui
