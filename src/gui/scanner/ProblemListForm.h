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
    ImageButton* ignoreButton() const { return m_ignore; }

    /// "Ignore": stores an ignore entry for each selected finding (asking whether the value or
    /// its whole key when a finding is on a value) and takes the findings off the list.
    void ignoreSelected();

signals:
    /// Findings left the section's collection.
    void findingsIgnored();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setAll(bool checked);
    void fill();

    Session& m_session;
    QListWidget* m_list;
    ImageButton* m_selectAll;
    ImageButton* m_deselectAll;
    ImageButton* m_close;
    ImageButton* m_ignore;
    bool m_filling = false;
};

} // namespace tw::gui
