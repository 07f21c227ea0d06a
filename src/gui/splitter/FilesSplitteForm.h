// TFormFilesSplitte: the file splitter window (page "File Splitte" cuts a file into pieces,
// page "File combine" joins pieces).
#pragma once

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <functional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QTabWidget;

namespace tw::gui {

struct WindowContext;
class ImageButton;

/// The file dialogs the window shows; tests answer instead of the user.
struct SplitterDialogs
{
    /// An open dialog with the filter; the chosen path or empty.
    std::function<QString(QWidget*, const QString& filter)> openFile;
    /// An open dialog allowing several files; the chosen paths in the dialog's order.
    std::function<QStringList(QWidget*, const QString& filter)> openFiles;
    /// A save dialog with the filter, preset with `preset`; the chosen path or empty.
    std::function<QString(QWidget*, const QString& filter, const QString& preset)> saveFile;
};

class TFormFilesSplitte : public QDialog
{
    Q_OBJECT
public:
    TFormFilesSplitte(WindowContext& context, QWidget* parent = nullptr);

    /// Chooses entry `index` of the size list as a user does.
    void FileSizeCmBoxChange(int index);
    void SourceBrowseClick();
    void ResultBrowseClick();
    void SplitteClick();
    void CombineBrowseClick();
    void ClearClick();
    void SaveToClick();
    void CombineClick();

    /// The current piece size: 0 while none was chosen, kCustomPieceSize for "Custom Size".
    std::int32_t pieceSize() const { return m_pieceSize; }

    SplitterDialogs dialogs;

    QTabWidget* Pages = nullptr;
    QLineEdit* SourceFileEdit = nullptr;
    QLineEdit* ResultFileEdit = nullptr;
    QComboBox* FileSizeCmBox = nullptr;
    QLineEdit* FileSizeEdit = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    ImageButton* SourceBrowse = nullptr;
    ImageButton* ResultBrowse = nullptr;
    ImageButton* Splitte = nullptr;
    ImageButton* SplitExit = nullptr;
    QListWidget* FileListBox = nullptr;
    QLineEdit* ConVerSptFileEdit = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    ImageButton* CombineBrowse = nullptr;
    ImageButton* Clear = nullptr;
    ImageButton* SaveTo = nullptr;
    ImageButton* Combine = nullptr;
    ImageButton* CombineExit = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSplitPage();
    QWidget* buildCombinePage();
    void resetSplit();
    void resetCombine();
    void resetSize();

    std::int32_t m_pieceSize = 0;
};

/// Shows `position` of `maximum` on a bar whose range is an int.
void setBarProgress(QProgressBar* bar, double position, std::int64_t maximum);

} // namespace tw::gui
