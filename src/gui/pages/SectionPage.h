// Page 1, "Scaning": the section choice, "Select All", Preferences, Help and the start image.
#pragma once

#include "scanner/ScanDriver.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QToolButton;

namespace tw::gui {

class ImageButton;
struct WindowContext;

class SectionPage : public QWidget
{
    Q_OBJECT
public:
    SectionPage(WindowContext& context, QWidget* parent = nullptr);

    /// Ticks the sections and the "Select All" box as the settings say ("ScanSetting").
    void restoreSelection();
    /// The ticked sections.
    SectionSelection selection() const;

    // Handlers, as the controls call them.
    void SpbScanNowClick();
    void suitempChbSelectAllClick(bool fromLabel);
    void IgxPreferencesClick();
    void IgxHelpClick();

    QListWidget* ChLBSection = nullptr;
    QCheckBox* ChbSelectAll = nullptr;
    QLabel* LbSelectAll = nullptr;
    ImageButton* IgxPreferences = nullptr;
    ImageButton* IgxHelp = nullptr;
    QToolButton* IgeScanNow = nullptr;

signals:
    /// "Scan Now" with the ticked sections; the scan has ended when the call returns.
    void scanRequested(const tw::SectionSelection& selection);

private:
    WindowContext& m_context;
};

} // namespace tw::gui
