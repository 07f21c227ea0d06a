#include "JunkOptionForm.h"

#include "CleanerViews.h"
#include "TemporaryFileForm.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tw::gui {

namespace {

QString fromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TFormJunkOption::TFormJunkOption(Session& session, bool storeFileList, QWidget* parent)
    : QDialog(parent), m_session(session), m_store(storeFileList)
{
    setWindowTitle(QStringLiteral("Junk Options"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Select junk Files"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    auto* text = new QLabel(QStringLiteral("Check the categories of files to search.You can create "
                                           "new,edit and delete selected categories. Defaults "
                                           "settings are best."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addWidget(new QLabel(QStringLiteral("Junk Files Categories:"), this));
    JunkFilesListView = new QTableWidget(0, 2, this);
    JunkFilesListView->setHorizontalHeaderLabels(
        {QStringLiteral("File to find"), QStringLiteral("Description")});
    setReportLook(JunkFilesListView, {120, 305});
    layout->addWidget(JunkFilesListView);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    SpbAdd = new ImageButton(QStringLiteral("Add"), ImageButton::Size::Small, this);
    SpbEdit = new ImageButton(QStringLiteral("Edit"), ImageButton::Size::Small, this);
    SpbRemove = new ImageButton(QStringLiteral("Remove"), ImageButton::Size::Small, this);
    for (ImageButton* button : {SpbAdd, SpbEdit, SpbRemove})
        buttons->addWidget(button);
    layout->addLayout(buttons);
    connect(SpbAdd, &QAbstractButton::clicked, this, [this] { AddClick(); });
    connect(SpbEdit, &QAbstractButton::clicked, this, [this] { EditClick(); });
    connect(SpbRemove, &QAbstractButton::clicked, this, [this] { RemoveClick(); });
    resize(470, 420);

    const bool existed = FileListExists(m_session);
    const std::string error = LoadFileTypes(m_session, m_list, m_store);
    if (!error.empty())
        showMessage(this, fromStd(error), MessageIcon::Error);
    // What the file holds now: what was read, or the built-in types just stored.
    m_savedKnown = error.empty() && (existed || m_store);
    m_saved = m_list;
    fillView();
}

void TFormJunkOption::fillView()
{
    JunkFilesListView->setRowCount(0);
    for (const TJunkFileType& type : m_list)
        addRow(fromStd(type.Pattern), fromStd(type.Description), type.Checked != 0);
}

void TFormJunkOption::addRow(const QString& pattern, const QString& description, bool checked)
{
    const int row = JunkFilesListView->rowCount();
    JunkFilesListView->insertRow(row);
    auto* first = new QTableWidgetItem(pattern);
    first->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    first->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    auto* second = new QTableWidgetItem(description);
    second->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    JunkFilesListView->setItem(row, 0, first);
    JunkFilesListView->setItem(row, 1, second);
}

int TFormJunkOption::selectedRow() const
{
    const QList<QTableWidgetItem*> selected = JunkFilesListView->selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->row();
}

void TFormJunkOption::AddClick()
{
    TTemporaryFileForm dialog(QStringLiteral("Add a new file type to search for..."), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    addRow(dialog.pattern(), dialog.description(), true);
    m_list.push_back(
        MakeJunkFileType(1, dialog.pattern().toStdString(), dialog.description().toStdString()));
}

void TFormJunkOption::EditClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    TTemporaryFileForm dialog(QStringLiteral("Modify file type to search for..."), this);
    dialog.setTexts(JunkFilesListView->item(row, 0)->text(),
                    JunkFilesListView->item(row, 1)->text());
    if (dialog.exec() != QDialog::Accepted)
        return;
    JunkFilesListView->item(row, 0)->setText(dialog.pattern());
    JunkFilesListView->item(row, 1)->setText(dialog.description());
    TJunkFileType& type = m_list[static_cast<size_t>(row)];
    type = MakeJunkFileType(type.Checked, dialog.pattern().toStdString(),
                            dialog.description().toStdString());
}

void TFormJunkOption::RemoveClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    if (showMessage(this, QStringLiteral("You want to Delete selected item?"), MessageIcon::Warning,
                    MessageButtons::YesNo) != QMessageBox::Yes)
        return;
    m_list.erase(m_list.begin() + row);
    JunkFilesListView->removeRow(row);
}

FileTypeList TFormJunkOption::listWithTicks() const
{
    FileTypeList list = m_list;
    for (size_t i = 0; i < list.size(); ++i) {
        const bool ticked =
            JunkFilesListView->item(static_cast<int>(i), 0)->checkState() == Qt::Checked;
        if (ticked != (list[i].Checked != 0))
            list[i].Checked = ticked ? 1 : 0;
    }
    return list;
}

void TFormJunkOption::done(int result)
{
    const FileTypeList list = listWithTicks();
    if (m_store && (!m_savedKnown || list != m_saved)) {
        const std::string error = SaveFileTypes(m_session, list);
        if (error.empty()) {
            m_list = list;
            m_saved = list;
            m_savedKnown = true;
        } else {
            showMessage(this, fromStd(error), MessageIcon::Error);
        }
    }
    QDialog::done(result);
}

} // namespace tw::gui
