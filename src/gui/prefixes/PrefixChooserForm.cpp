#include "PrefixChooserForm.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tw::gui {

namespace {

const QString kLastPrefixKey = QStringLiteral("LastPrefix");

/// The program's own settings file (not a prefix's registry: it is chosen before one opens).
QSettings programSettings()
{
    return QSettings(QStringLiteral("Tidewell"), QStringLiteral("tidewell"));
}

} // namespace

TPrefixChooserForm::TPrefixChooserForm(std::vector<PrefixChoiceRow> rows, const QString& lastPath,
                                       QWidget* parent)
    : QDialog(parent), m_rows(std::move(rows))
{
    setWindowTitle(QStringLiteral("Choose a Wine prefix"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("The Wine prefixes found on this computer:"), this));
    PrefixList = new QTableWidget(static_cast<int>(m_rows.size()), 4, this);
    PrefixList->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Source"),
                                           QStringLiteral("Size"), QStringLiteral("Folder")});
    PrefixList->setSelectionBehavior(QAbstractItemView::SelectRows);
    PrefixList->setSelectionMode(QAbstractItemView::SingleSelection);
    PrefixList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PrefixList->verticalHeader()->hide();
    PrefixList->horizontalHeader()->setStretchLastSection(true);
    int selected = 0;
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        const PrefixChoiceRow& row = m_rows[static_cast<size_t>(i)];
        const QString cells[] = {row.name, row.source, row.size, row.path};
        for (int column = 0; column < 4; ++column)
            PrefixList->setItem(i, column, new QTableWidgetItem(cells[column]));
        if (row.path == lastPath)
            selected = i;
    }
    PrefixList->resizeColumnsToContents();
    if (!m_rows.empty())
        PrefixList->selectRow(selected);
    connect(PrefixList, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
    layout->addWidget(PrefixList);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 360);
}

int TPrefixChooserForm::chosenRow() const
{
    const int row = PrefixList->currentRow();
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? row : -1;
}

QString TPrefixChooserForm::chosenPath() const
{
    const int row = chosenRow();
    return row < 0 ? QString() : m_rows[static_cast<size_t>(row)].path;
}

QString lastChosenPrefix()
{
    return programSettings().value(kLastPrefixKey).toString();
}

void rememberChosenPrefix(const QString& path)
{
    QSettings settings = programSettings();
    settings.setValue(kLastPrefixKey, path);
    settings.sync();
}

} // namespace tw::gui
