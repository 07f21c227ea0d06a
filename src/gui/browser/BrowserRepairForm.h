// TBrowserRepairForm: the browser repair window (thirteen checked items, "Select All",
// "Restore").
#pragma once

#include <QDialog>
#include <vector>

class QCheckBox;
class QTreeWidget;

namespace tw::gui {

struct WindowContext;
class ClickLabel;
class ImageButton;

class TBrowserRepairForm : public QDialog
{
    Q_OBJECT
public:
    TBrowserRepairForm(WindowContext& context, QWidget* parent = nullptr);

    /// The label toggles the box first; then every row takes the box's state.
    void abSelectAllClick();
    void cbSelectAllClick();
    /// Asks, then runs the checked items.
    void IgRestoreClick();

    /// The rows' check marks, in list order.
    std::vector<bool> checkedRows() const;
    QString statusOf(int row) const;
    /// Shows a row's status: red while it runs ("Repairing"), green once "Completed".
    void setStatus(int row, const QString& status);

    QTreeWidget* IERepairListView = nullptr;
    QCheckBox* cbSelectAll = nullptr;
    ClickLabel* abSelectAll = nullptr;
    ImageButton* IgRestore = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitNameColumn();

    WindowContext& m_context;
};

} // namespace tw::gui
