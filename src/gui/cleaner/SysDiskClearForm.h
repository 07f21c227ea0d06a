// TFormSysDiskClear: the drive tree of the disk cleaner, and the cleaner's other windows.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace tw {
class Session;
}

namespace tw::gui {

class ImageButton;
struct WindowContext;
class TFormJunkOption;
class TFormDiskScan;
class TFormDiskFileClearSelect;

/// What the cleaner's windows may change: "FileList" is not written for screenshots.
struct CleanerSetup
{
    bool storeFileList = true;
};

class TFormSysDiskClear : public QDialog
{
    Q_OBJECT
public:
    /// Builds the drive tree and creates the options, scan and clean windows, once.
    TFormSysDiskClear(Session& session, CleanerSetup setup, QWidget* parent = nullptr);
    /// As the options page's link opens it.
    TFormSysDiskClear(WindowContext& context, QWidget* parent = nullptr);

    /// "My Computer" and a node per fixed drive with room, none ticked.
    void BuildDriveTree();
    /// A click in the tree: the selected drive's tick turns over.
    void ChbTvDiskListClick();
    void SpbOptionsClick();
    void SpbHelpClick();
    void SpbScanClick();

    /// The ticked drives ("C:") in tree order; none when no node is selected.
    std::vector<std::string> tickedRoots() const;
    /// Ticks or clears the drive node of a root (tests, screenshots).
    void setTicked(const std::string& root, bool ticked);

    QTreeWidget* ChbTvDiskList = nullptr;
    /// One entry per drive node: the letter and ":".
    std::vector<std::string> DriveRoots;
    ImageButton* SpbOptions = nullptr;
    ImageButton* SpbHelp = nullptr;
    ImageButton* SpbScan = nullptr;
    TFormJunkOption* FormJunkOption = nullptr;
    TFormDiskScan* FormDiskScan = nullptr;
    TFormDiskFileClearSelect* FormDiskFileClearSelect = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* root() const;
    Session& m_session;
};

/// Opens the disk cleaner modally; its windows are made the first time and kept, with the
/// drive ticks, for the rest of the run (children of `owner`).
void showDiskCleaner(QWidget* owner, Session& session);

} // namespace tw::gui
