// Page 3, "FinishScan": the repair and its result list ("Problems", "Status").
#pragma once

#include <QWidget>

class QTreeWidget;

namespace tw::gui {

struct WindowContext;

class ResultPage : public QWidget
{
    Q_OBJECT
public:
    ResultPage(WindowContext& context, QWidget* parent = nullptr);

    /// Repairs the ticked records of the last scan into the result list, with the state
    /// window open: first the backup (unless `skipBackup`), then the records; writes the
    /// changes and says "Repair Completed!". Returns whether the repair ran; when it did not,
    /// the reason has been shown.
    bool runRepair(bool skipBackup);

    QTreeWidget* FinishListView = nullptr;

private:
    WindowContext& m_context;
};

} // namespace tw::gui
