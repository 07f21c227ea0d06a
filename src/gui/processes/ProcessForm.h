// TFormProcess: the process manager window, with the process list, the modules of the
// selected process and its memory.
#pragma once

#include "platform/WinTypes.h"

#include <QDialog>
#include <array>

class QLabel;
class QSplitter;
class QTableView;

namespace tw {
class Session;
}

namespace tw::gui {

class ImageButton;
class TextRowsModel;
struct WindowContext;

class TFormProcess : public QDialog
{
    Q_OBJECT
public:
    TFormProcess(WindowContext& context, QWidget* parent = nullptr);
    explicit TFormProcess(Session& session, QWidget* parent = nullptr);

    /// Each showing: both lists emptied, the process list filled from a fresh snapshot.
    void FormActivate();
    /// As FormActivate, with the list's updates suspended.
    void BtnRefreshClick();
    void BtnTerminateClick();
    void BtnViewModuleClick();
    void BtnCloseClick();
    /// A single click anywhere in the process list: panels 1 and 2 emptied, then the modules.
    void ListView_proClick();
    void ListView_proDblClick();
    void ListView_proColumnClick(int column);
    void ListView_modColumnClick(int column);

    /// The selected process row, or -1.
    int selectedProcessRow() const;
    /// Selects a process row (tests, screenshots); -1 clears the selection.
    void selectProcessRow(int row);
    /// The row of a PID, or -1.
    int rowOfProcess(win::DWORD processId) const;

    QTableView* ListView_pro = nullptr;
    QTableView* ListView_mod = nullptr;
    TextRowsModel* processModel = nullptr;
    TextRowsModel* moduleModel = nullptr;
    /// The status bar's three panels: process count, module count, memory.
    std::array<QLabel*, 3> Panels{};
    ImageButton* BtnRefresh = nullptr;
    ImageButton* BtnTerminate = nullptr;
    ImageButton* BtnViewModule = nullptr;
    ImageButton* BtnClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillProcessList();
    void showModules();
    void showMemory();

    Session& m_session;
    bool m_doubleClicked = false;
};

} // namespace tw::gui
