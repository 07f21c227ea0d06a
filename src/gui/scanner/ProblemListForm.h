// TFormProblemList: the records of one section, to select or deselect before a repair.
#pragma once

#include <QDialog>

class QListWidget;

namespace tw {
class Session;
}

namespace tw::gui {

class ImageButton;

class TFormProblemList : public QDialog
{
    Q_OBJECT
public:
    explicit TFormProblemList(Session& session, QWidget* parent = nullptr);

    /// The section whose records are shown; set before showing the window.
    int SectionIndex = 0;

    QListWidget* problemsListBox() const { return m_list; }
    ImageButton* selectAllButton() const { return m_selectAll; }
    ImageButton* deselectAllButton() const { return m_deselectAll; }
    ImageButton* closeButton() const { return m_close; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setAll(bool checked);

    Session& m_session;
    QListWidget* m_list;
    ImageButton* m_selectAll;
    ImageButton* m_deselectAll;
    ImageButton* m_close;
    bool m_filling = false;
};

} // namespace tw::gui
