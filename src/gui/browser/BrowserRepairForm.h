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

    QTreeWidget* IERepairListView = nullptr;
    QCheckBox* cbSelectAll = nullptr;
    ClickLabel* abSelectAll = nullptr;
    ImageButton* IgRestore = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitNameColumn();
    void setStatus(int row, const QString& status);

    WindowContext& m_context;
};

} // namespace tw::gui
