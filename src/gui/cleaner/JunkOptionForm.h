// TFormJunkOption: the junk file types, to tick, add, edit and remove.
#pragma once

#include "cleaner/JunkFileTypes.h"

#include <QDialog>

class QTableWidget;

namespace tw {
class Session;
}

namespace tw::gui {

class ImageButton;

class TFormJunkOption : public QDialog
{
    Q_OBJECT
public:
    /// Loads the list from "FileList" (the built-in types when it is missing, then stored
    /// unless `storeFileList` is false); a file that cannot be read is reported.
    TFormJunkOption(Session& session, bool storeFileList, QWidget* parent = nullptr);

    void AddClick();
    void EditClick();
    void RemoveClick();

    /// The records with each row's tick; what closing the window saves.
    FileTypeList listWithTicks() const;

    QTableWidget* JunkFilesListView = nullptr;
    ImageButton* SpbAdd = nullptr;
    ImageButton* SpbEdit = nullptr;
    ImageButton* SpbRemove = nullptr;

    /// The records in row order.
    const FileTypeList& fileTypes() const { return m_list; }

public slots:
    /// Closing saves the list with the rows' ticks, when it differs from the file, so that
    /// the next scan uses it.
    void done(int result) override;

private:
    void fillView();
    void addRow(const QString& pattern, const QString& description, bool checked);
    int selectedRow() const;

    Session& m_session;
    bool m_store;
    FileTypeList m_list;
    /// What "FileList" holds, as far as this window knows.
    FileTypeList m_saved;
    bool m_savedKnown = false;
};

} // namespace tw::gui
