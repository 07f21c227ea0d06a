// The window's prefix chooser: the prefixes found, the last one chosen selected.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QTableWidget;

namespace tw::gui {

/// One prefix as the chooser lists it.
struct PrefixChoiceRow
{
    QString name;
    QString source;
    QString size;
    QString path;
};

class TPrefixChooserForm : public QDialog
{
    Q_OBJECT
public:
    /// Lists `rows` in their order and selects the one whose path is `lastPath` (else the
    /// first).
    TPrefixChooserForm(std::vector<PrefixChoiceRow> rows, const QString& lastPath,
                       QWidget* parent = nullptr);

    /// The selected row, counted from 0; -1 when there is none.
    int chosenRow() const;
    /// The path of the selected row; empty when there is none.
    QString chosenPath() const;

    QTableWidget* PrefixList = nullptr;

private:
    std::vector<PrefixChoiceRow> m_rows;
};

/// The prefix chosen at the last start, from the user's settings of the program; empty when
/// none was.
QString lastChosenPrefix();
/// Keeps `path` as the last chosen prefix.
void rememberChosenPrefix(const QString& path);

} // namespace tw::gui
