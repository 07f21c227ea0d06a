// TAboutForm: the about box.
#pragma once

#include <QDialog>

class QLabel;

namespace tw::gui {

class TAboutForm : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
    QLabel* versionLabel() const { return m_version; }
    QLabel* homeLink() const { return m_link; }

private:
    QLabel* m_version;
    QLabel* m_link;
};

} // namespace tw::gui
