// TInstalledManageForm: the uninstall entries of the machine, their uninstallers and their
// removal.
#pragma once

#include "tools/installed/InstalledPrograms.h"

#include <QDialog>
#include <vector>

class QTreeWidget;

namespace tw::gui {

class ImageButton;
struct WindowContext;

class TInstalledManageForm : public QDialog
{
    Q_OBJECT
public:
    TInstalledManageForm(WindowContext& context, QWidget* parent = nullptr);

    /// Reads the entries again (after Wine's changes, once it has ended) and shows them.
    void FillInstalledList();
    void BtnRefreshClick();
    void BtnUninstallClick();
    void BtnRemoveClick();

    /// The entries as shown, row by row.
    const std::vector<InstalledProgram>& programs() const { return m_programs; }

    QTreeWidget* ListInstalled = nullptr;
    ImageButton* BtnRefresh = nullptr;
    ImageButton* BtnUninstall = nullptr;
    ImageButton* BtnRemove = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    /// The selected row's entry; null (after "Unchecked") when no row is selected.
    const InstalledProgram* selectedProgram();

    WindowContext& m_context;
    std::vector<InstalledProgram> m_programs;
};

} // namespace tw::gui
