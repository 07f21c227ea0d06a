// Page 5, "BackReg": the registry backups with full backup, restore and remove.
#pragma once

#include <QWidget>
#include <string>

class QTreeWidget;

namespace tw::platform {
struct SystemTime;
}

namespace tw::gui {

class ImageButton;
struct WindowContext;

class BackupPage : public QWidget
{
    Q_OBJECT
public:
    BackupPage(WindowContext& context, QWidget* parent = nullptr);

    /// Lists the backup files found in the backup folder; an error is shown.
    void fillBackupList();

    // Handlers, as the buttons call them.
    void SpbBackRegClick();
    void SpbRestoreClick();
    void SpdRemoveClick();

    QTreeWidget* BackupDataListView = nullptr;
    ImageButton* SpbBackReg = nullptr;
    ImageButton* SpbRestore = nullptr;
    ImageButton* SpdRemove = nullptr;

private:
    void addBackupRow(const std::string& path, const platform::SystemTime& time);

    WindowContext& m_context;
};

} // namespace tw::gui
