// TFormOptions: the preferences window (start with the session, removal and scan options,
// the update check and the version line).
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace tw::gui {

struct WindowContext;
class ImageButton;
class UpdateFlow;

class TFormOptions : public QDialog
{
    Q_OBJECT
public:
    TFormOptions(WindowContext& context, QWidget* parent = nullptr);

    /// Reloads the boxes and the version line; runs whenever the window is shown.
    void FormShow();
    void IgOKClick();
    void IgCancelClick();
    void IgUpdatesClick();

    UpdateFlow* updateFlow() const { return m_update; }

    QCheckBox* ChkRun = nullptr;
    QCheckBox* ChkAutoBackup = nullptr;
    QCheckBox* ChkCheckItem = nullptr;
    QCheckBox* chScanOption = nullptr;
    QCheckBox* cbCheckUpdate = nullptr;
    QLabel* LabelVer = nullptr;
    ImageButton* IgUpdates = nullptr;
    ImageButton* IgOK = nullptr;
    ImageButton* IgCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    WindowContext& m_context;
    UpdateFlow* m_update = nullptr;
};

} // namespace tw::gui
