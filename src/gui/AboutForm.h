// TAboutForm: the about box.
#pragma once

#include <QDialog>

class QLabel;

namespace tw {
class Session;
}

namespace tw::gui {

class TAboutForm : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutForm(Session& session, QWidget* parent = nullptr);
    QLabel* versionLabel() const { return m_version; }
    QLabel* homeLink() const { return m_link; }

private:
    Session& m_session;
    QLabel* m_version;
    QLabel* m_link;
};

} // namespace tw::gui
