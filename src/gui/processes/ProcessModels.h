// The process manager's two lists as table models: rows of texts under fixed column titles.
#pragma once

#include "tools/processes/ProcessManager.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

namespace tw::gui {

/// ListView_pro and ListView_mod: read-only rows of texts; the columns other than the first
/// are centred where the list says so.
class TextRowsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    /// `centred`: one flag per column.
    TextRowsModel(QStringList titles, std::vector<bool> centred, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setRows(std::vector<ListRow> rows);
    void clear() { setRows({}); }
    void removeRow(int row);
    const std::vector<ListRow>& rows() const { return m_rows; }
    /// Sorts the rows by a column with the session's shared sort state; the selection stays
    /// with its row.
    void sortByColumn(Session& session, ProcessListKind list, int column);
    /// The text of a cell; empty outside the list.
    std::string text(int row, int column) const;

private:
    QStringList m_titles;
    std::vector<bool> m_centred;
    std::vector<ListRow> m_rows;
};

} // namespace tw::gui
