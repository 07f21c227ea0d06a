// TStartupManagerForm: what starts with Windows, with removal of one entry and its folder.
#pragma once

#include "registry/PublicFunctions.h"
#include "tools/startup/StartupManager.h"

#include <QDialog>
#include <vector>

class QLabel;
class QTreeWidget;

namespace tw::gui {

struct WindowContext;
class ImageButton;

class TStartupManagerForm : public QDialog
{
    Q_OBJECT
public:
    TStartupManagerForm(WindowContext& context, QWidget* parent = nullptr);

    /// Rebuilds the list; runs whenever the window is shown.
    void FormShow();
    /// "Remove Checked": removes the selected row's entry after the confirmation.
    void SpbRemoveClick();
    /// "Open Path": shows the folder of the selected row's program.
    void SpbOpenPathClick();

    /// The entry of a row of the list.
    const StartupEntry& entryOf(int row) const;

    QLabel* LabelIntro = nullptr;
    QLabel* LabelNote = nullptr;
    QTreeWidget* StartupListView = nullptr;
    ImageButton* SpbRemove = nullptr;
    ImageButton* SpbOpenPath = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitPathColumn();
    int selectedRow() const;

    WindowContext& m_context;
    std::vector<TFolderData> m_startupFolders;
    /// One entry per row, in row order.
    std::vector<StartupEntry> m_entries;
};

} // namespace tw::gui
