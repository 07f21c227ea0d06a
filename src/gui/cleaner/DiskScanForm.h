// TFormDiskScan: the junk scan of the ticked drives and its found files.
#pragma once

#include "cleaner/JunkScan.h"

#include <QDialog>
#include <QElapsedTimer>

class QCheckBox;
class QLabel;
class QTableView;

namespace tw {
class Session;
}

namespace tw::gui {

class FoundJunkModel;
class ImageButton;
class TFormSysDiskClear;

class TFormDiskScan : public QDialog, public JunkScanView
{
    Q_OBJECT
public:
    /// The result when "Clear Junk" closed the window: the clean window is to open.
    static constexpr int ClearJunkResult = 2;

    TFormDiskScan(Session& session, TFormSysDiskClear& drives, QWidget* parent = nullptr);

    /// The scan run when the window has been shown: DiskScanState 1, the types loaded, the
    /// ticked drives searched.
    void StartScan();
    void SpbStopClick();
    void SpbClearJunkClick();
    void ChbSelectAllClick(bool fromLabel);

    // JunkScanView
    void clearFound() override;
    void addFound(const FoundJunkRow& row) override;
    void scanMessage(const std::string& text) override;
    void yield() override;

    JunkScan& scan() { return m_scan; }
    FoundJunkModel* foundModel() const { return m_found; }

    QLabel* ScanMessage = nullptr;
    QTableView* LvFoundJunk = nullptr;
    QCheckBox* ChbSelectAll = nullptr;
    QLabel* LbSelectAll = nullptr;
    ImageButton* SpbClearJunk = nullptr;
    ImageButton* SpbStop = nullptr;

public slots:
    /// While a scan runs the window stays: "Stop Scaning first".
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Session& m_session;
    TFormSysDiskClear& m_drives;
    FoundJunkModel* m_found;
    JunkScan m_scan;
    QElapsedTimer m_sinceYield;
    unsigned m_yields = 0;
    std::string m_message;
};

} // namespace tw::gui
