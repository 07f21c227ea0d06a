// TRecycleForm: the history cleaner's window, nine items above and what one holds below.
#pragma once

#include "tools/history/HistoryCleaner.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace tw {
class Session;
}

namespace tw::gui {

class ClickLabel;
class ImageButton;
class TRepairDialogForm;
struct WindowContext;

class TRecycleForm : public QDialog
{
    Q_OBJECT
public:
    /// Resolves the folders once; the lists are filled when the window is shown.
    TRecycleForm(WindowContext& context, QWidget* parent = nullptr);
    ~TRecycleForm() override;

    /// Refills the item list with its nine rows.
    void FillRundownList();
    /// A change of the item list's rows: lists the selected row's item.
    void RundownListViewChange();
    /// The detail list from the record list, with the ticks of the records.
    void FillDataList();
    /// The box's state to every row shown and its record.
    void SelectAllClick();
    /// The label first turns the box over.
    void abSelectAllClick();
    void ImageExClearClick();

    /// The record shown in row `row` of the detail list.
    size_t recordOfRow(int row) const;
    HistoryCleaner& cleaner() { return *m_cleaner; }
    /// The state window while a clear runs (null otherwise).
    TRepairDialogForm* stateWindow() const { return m_state; }

    QTreeWidget* RundownListView = nullptr;
    /// What of the chosen item runs Wine; hidden for items that start none.
    QLabel* WineNote = nullptr;
    QTreeWidget* DataListView = nullptr;
    QCheckBox* cbSelectAll = nullptr;
    ClickLabel* abSelectAll = nullptr;
    ImageButton* ImageExClear = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitColumns();
    /// Lists `row` and fills the detail list; errors are shown.
    void listAndFill(int row);
    int selectedRow() const;
    bool confirmFinalSteps(int row);

    WindowContext& m_context;
    Session& m_session;
    std::unique_ptr<HistoryCleaner> m_cleaner;
    TRepairDialogForm* m_state = nullptr;
    bool m_filling = false;
};

} // namespace tw::gui
