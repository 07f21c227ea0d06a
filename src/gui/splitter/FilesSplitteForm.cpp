#include "FilesSplitteForm.h"

#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "tools/splitter/FileSplitter.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <climits>

namespace tw::gui {

namespace {

// The patterns after the display texts are what they mean on a file system that tells letter
// case apart.
const QString kAllFilesFilter = QStringLiteral("All files (*.*) (*)");
const QString kPiecesFilter = QStringLiteral("All split files (*.Spt) (*.spt *.Spt *.SPT)");

const QString kSplitDone = QStringLiteral("       File successfully split");
const QString kSplitFailed =
    QStringLiteral("    Can not Split, Possibly does not have the split files existence!");
const QString kCombineDone = QStringLiteral("        File successfully Combine");
const QString kCombineFailed =
    QStringLiteral("   Operate is failed You must specify a file to Combine.");

SplitterDialogs desktopDialogs()
{
    const auto options = QFileDialog::HideNameFilterDetails;
    return {
        [options](QWidget* parent, const QString& filter) {
            return QFileDialog::getOpenFileName(parent, QString(), QString(), filter, nullptr,
                                                options);
        },
        [options](QWidget* parent, const QString& filter) {
            return QFileDialog::getOpenFileNames(parent, QString(), QString(), filter, nullptr,
                                                 options);
        },
        [options](QWidget* parent, const QString& filter, const QString& preset) {
            return QFileDialog::getSaveFileName(parent, QString(), preset, filter, nullptr,
                                                options);
        },
    };
}

/// The failure text with the reason below it.
QString failureText(const QString& message, const std::string& reason)
{
    return reason.empty() ? message
                          : message + QStringLiteral("\r\r") + QString::fromStdString(reason);
}

/// Moves a bar while a split or join runs; the copy does not return to the event loop, so
/// the bar repaints itself (at most every 15 ms).
class BarView : public SplitterView
{
public:
    BarView(QProgressBar* bar, std::function<void()> started = {})
        : m_bar(bar), m_started(std::move(started))
    {
        m_clock.start();
    }
    void setProgress(double position, std::int64_t maximum) override
    {
        if (m_started) {
            m_started();
            m_started = nullptr;
        }
        setBarProgress(m_bar, position, maximum);
        if (position == 0 || position >= static_cast<double>(maximum) || m_clock.elapsed() >= 15) {
            m_bar->repaint();
            m_clock.restart();
        }
    }

private:
    QProgressBar* m_bar;
    std::function<void()> m_started;
    QElapsedTimer m_clock;
};

QLineEdit* pathEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setMinimumWidth(260);
    return edit;
}

} // namespace

void setBarProgress(QProgressBar* bar, double position, std::int64_t maximum)
{
    const double units = maximum <= INT_MAX / 100
                             ? 100.0
                             : static_cast<double>(INT_MAX) /
                                   static_cast<double>(std::max<std::int64_t>(maximum, 1));
    bar->setMaximum(static_cast<int>(static_cast<double>(maximum) * units));
    bar->setValue(static_cast<int>(position * units));
}

TFormFilesSplitte::TFormFilesSplitte(WindowContext& /*context*/, QWidget* parent)
    : QDialog(parent), dialogs(desktopDialogs())
{
    setWindowTitle(QStringLiteral("Files Splitter Tool"));
    auto* layout = new QVBoxLayout(this);
    Pages = new QTabWidget(this);
    Pages->addTab(buildSplitPage(), QStringLiteral("File Splitter"));
    Pages->addTab(buildCombinePage(), QStringLiteral("File combine"));
    layout->addWidget(Pages);
}

QWidget* TFormFilesSplitte::buildSplitPage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* info = new QGroupBox(QStringLiteral("File Information"), page);
    auto* grid = new QGridLayout(info);
    SourceFileEdit = pathEdit(info);
    ResultFileEdit = pathEdit(info);
    SourceBrowse = new ImageButton(QStringLiteral("Browse .."), ImageButton::Size::Medium, info);
    ResultBrowse = new ImageButton(QStringLiteral("Browse .."), ImageButton::Size::Medium, info);
    grid->addWidget(new QLabel(QStringLiteral("File to Split:"), info), 0, 0);
    grid->addWidget(SourceFileEdit, 0, 1);
    grid->addWidget(SourceBrowse, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Folder for pieces:"), info), 1, 0);
    grid->addWidget(ResultFileEdit, 1, 1);
    grid->addWidget(ResultBrowse, 1, 2);
    layout->addWidget(info);

    auto* sizes = new QGroupBox(QStringLiteral("Sizes"), page);
    auto* row = new QHBoxLayout(sizes);
    FileSizeCmBox = new QComboBox(sizes);
    for (const PieceSizeChoice& choice : PieceSizeChoices())
        FileSizeCmBox->addItem(
            QString::fromLatin1(choice.label.data(), static_cast<int>(choice.label.size())));
    FileSizeCmBox->setCurrentIndex(-1);
    FileSizeEdit = new QLineEdit(sizes);
    FileSizeEdit->setEnabled(false);
    row->addWidget(new QLabel(QStringLiteral("File Size:"), sizes));
    row->addWidget(FileSizeCmBox);
    row->addWidget(FileSizeEdit);
    row->addWidget(new QLabel(QStringLiteral("Byte"), sizes));
    layout->addWidget(sizes);

    layout->addStretch();
    ProgressBar1 = new QProgressBar(page);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);
    layout->addWidget(ProgressBar1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    Splitte = new ImageButton(QStringLiteral("Split"), ImageButton::Size::Small, page);
    SplitExit = new ImageButton(QStringLiteral("Exit"), ImageButton::Size::Small, page);
    buttons->addWidget(Splitte);
    buttons->addWidget(SplitExit);
    layout->addLayout(buttons);

    connect(FileSizeCmBox, &QComboBox::activated, this,
            [this](int index) { FileSizeCmBoxChange(index); });
    connect(SourceBrowse, &QAbstractButton::clicked, this, [this] { SourceBrowseClick(); });
    connect(ResultBrowse, &QAbstractButton::clicked, this, [this] { ResultBrowseClick(); });
    connect(Splitte, &QAbstractButton::clicked, this, [this] { SplitteClick(); });
    connect(SplitExit, &QAbstractButton::clicked, this, [this] { close(); });
    return page;
}

QWidget* TFormFilesSplitte::buildCombinePage()
{
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* info = new QGroupBox(QStringLiteral("File Information"), page);
    auto* grid = new QGridLayout(info);
    FileListBox = new QListWidget(info);
    CombineBrowse = new ImageButton(QStringLiteral("Browse .."), ImageButton::Size::Medium, info);
    Clear = new ImageButton(QStringLiteral("Clear"), ImageButton::Size::Medium, info);
    ConVerSptFileEdit = pathEdit(info);
    SaveTo = new ImageButton(QStringLiteral("Save to .."), ImageButton::Size::Medium, info);
    ConVerSptFileEdit->setEnabled(false);
    SaveTo->setEnabled(false);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(CombineBrowse);
    listButtons->addWidget(Clear);
    listButtons->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("Please Select File"), info), 0, 0, 1, 2);
    grid->addWidget(FileListBox, 1, 0);
    grid->addLayout(listButtons, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Target File Name"), info), 2, 0, 1, 2);
    grid->addWidget(ConVerSptFileEdit, 3, 0);
    grid->addWidget(SaveTo, 3, 1);
    layout->addWidget(info);

    layout->addStretch();
    ProgressBar2 = new QProgressBar(page);
    ProgressBar2->setTextVisible(false);
    ProgressBar2->setValue(0);
    layout->addWidget(ProgressBar2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    Combine = new ImageButton(QStringLiteral("Combine"), ImageButton::Size::Small, page);
    CombineExit = new ImageButton(QStringLiteral("Exit"), ImageButton::Size::Small, page);
    buttons->addWidget(Combine);
    buttons->addWidget(CombineExit);
    layout->addLayout(buttons);

    connect(CombineBrowse, &QAbstractButton::clicked, this, [this] { CombineBrowseClick(); });
    connect(Clear, &QAbstractButton::clicked, this, [this] { ClearClick(); });
    connect(SaveTo, &QAbstractButton::clicked, this, [this] { SaveToClick(); });
    connect(Combine, &QAbstractButton::clicked, this, [this] { CombineClick(); });
    connect(CombineExit, &QAbstractButton::clicked, this, [this] { close(); });
    return page;
}

void TFormFilesSplitte::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Pages->setCurrentIndex(0);
}

void TFormFilesSplitte::FileSizeCmBoxChange(int index)
{
    const auto choices = PieceSizeChoices();
    if (index < 0 || static_cast<size_t>(index) >= choices.size())
        return;
    FileSizeCmBox->setCurrentIndex(index);
    m_pieceSize = choices[static_cast<size_t>(index)].bytes;
    if (m_pieceSize == kCustomPieceSize) {
        FileSizeEdit->setEnabled(true);
    } else {
        FileSizeEdit->clear();
        FileSizeEdit->setEnabled(false);
    }
    ProgressBar1->setValue(0);
}

void TFormFilesSplitte::SourceBrowseClick()
{
    ProgressBar1->setValue(0);
    const QString path = dialogs.openFile(this, kAllFilesFilter);
    if (!path.isEmpty())
        SourceFileEdit->setText(path);
}

void TFormFilesSplitte::ResultBrowseClick()
{
    ProgressBar1->setValue(0);
    const QString path = dialogs.saveFile(this, kPiecesFilter, SourceFileEdit->text());
    if (!path.isEmpty())
        ResultFileEdit->setText(path);
}

void TFormFilesSplitte::resetSize()
{
    FileSizeCmBox->setCurrentIndex(0);
    m_pieceSize = kDefaultPieceSize;
    FileSizeEdit->clear();
    FileSizeEdit->setEnabled(false);
}

void TFormFilesSplitte::resetSplit()
{
    SourceFileEdit->clear();
    ResultFileEdit->clear();
    ProgressBar1->setValue(0);
    resetSize();
}

void TFormFilesSplitte::SplitteClick()
{
    std::int64_t size = m_pieceSize;
    if (m_pieceSize == kCustomPieceSize) {
        const std::optional<std::int32_t> typed =
            ParsePieceSize(FileSizeEdit->text().trimmed().toStdString());
        if (!typed) {
            showMessage(this,
                        failureText(kSplitFailed, "\"" + FileSizeEdit->text().toStdString() +
                                                      "\" is not a whole number of bytes"),
                        MessageIcon::None, MessageButtons::Ok, QStringLiteral("Error"));
            return;
        }
        m_pieceSize = *typed;
        size = *typed;
    }
    if (size < 1) {
        resetSize();
        size = kDefaultPieceSize;
    }
    const QString prefix = ResultFileEdit->text();
    bool opened = false;
    BarView view(ProgressBar1, [&] {
        opened = true;
        setWindowTitle(QStringLiteral("Splitting...") + prefix + QStringLiteral("..."));
        if (ResultFileEdit->text().trimmed().isEmpty())
            ResultFileEdit->setText(SourceFileEdit->text());
    });
    const SplitOutcome outcome =
        SplitFile(SourceFileEdit->text().trimmed().toStdString(),
                  ResultFileEdit->text().trimmed().toStdString(), size, view);
    if (!outcome.ok) {
        if (opened)
            resetSplit();
        showMessage(this, failureText(kSplitFailed, outcome.error), MessageIcon::None,
                    MessageButtons::Ok, QStringLiteral("Error"));
        return;
    }
    ProgressBar1->setValue(ProgressBar1->maximum());
    showMessage(this, kSplitDone, MessageIcon::None, MessageButtons::Ok, QStringLiteral("Hint"));
    resetSplit();
}

void TFormFilesSplitte::CombineBrowseClick()
{
    ProgressBar2->setValue(0);
    const QStringList paths = dialogs.openFiles(this, kPiecesFilter);
    if (paths.isEmpty())
        return;
    ConVerSptFileEdit->setEnabled(true);
    SaveTo->setEnabled(true);
    FileListBox->addItems(paths);
}

void TFormFilesSplitte::resetCombine()
{
    ConVerSptFileEdit->clear();
    FileListBox->clear();
    ProgressBar2->setValue(0);
    ConVerSptFileEdit->setEnabled(false);
    SaveTo->setEnabled(false);
}

void TFormFilesSplitte::ClearClick()
{
    FileListBox->clear();
    ProgressBar2->setValue(0);
    ConVerSptFileEdit->clear();
    ConVerSptFileEdit->setEnabled(false);
    SaveTo->setEnabled(false);
}

void TFormFilesSplitte::SaveToClick()
{
    ProgressBar2->setValue(0);
    std::vector<std::string> pieces;
    if (FileListBox->count() > 0)
        pieces.push_back(FileListBox->item(0)->text().toStdString());
    const QString proposal = QString::fromStdString(ProposedJoinTarget(pieces));
    const QString path = dialogs.saveFile(this, kAllFilesFilter, proposal);
    if (!path.isEmpty())
        ConVerSptFileEdit->setText(path);
}

void TFormFilesSplitte::CombineClick()
{
    setWindowTitle(QStringLiteral("Combining...") + ConVerSptFileEdit->text() +
                   QStringLiteral("..."));
    std::vector<std::string> pieces;
    for (int i = 0; i < FileListBox->count(); ++i)
        pieces.push_back(FileListBox->item(i)->text().toStdString());

    class CombineView : public BarView
    {
    public:
        CombineView(TFormFilesSplitte* window, bool& created)
            : BarView(window->ProgressBar2, [&created] { created = true; }), m_window(window)
        {
        }
        void pieceMissing(const std::string& path) override
        {
            showMessage(m_window,
                        QStringLiteral("  The file ") + QString::fromStdString(path) +
                            QStringLiteral("could not be Found"),
                        MessageIcon::Warning, MessageButtons::Ok, QStringLiteral("Hint"));
        }

    private:
        TFormFilesSplitte* m_window;
    };
    bool created = false;
    CombineView view(this, created);
    const JoinOutcome outcome = JoinFiles(pieces, ConVerSptFileEdit->text().toStdString(), view);
    if (!outcome.ok) {
        if (created)
            resetCombine();
        showMessage(this, failureText(kCombineFailed, outcome.error), MessageIcon::None,
                    MessageButtons::Ok, QStringLiteral("Error"));
        return;
    }
    ProgressBar2->setValue(ProgressBar2->maximum());
    showMessage(this, kCombineDone, MessageIcon::None, MessageButtons::Ok, QStringLiteral("Hint"));
    resetCombine();
}

} // namespace tw::gui
