#include "ProcessModels.h"

namespace tw::gui {

TextRowsModel::TextRowsModel(QStringList titles, std::vector<bool> centred, QObject* parent)
    : QAbstractTableModel(parent), m_titles(std::move(titles)), m_centred(std::move(centred))
{
}

int TextRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TextRowsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_titles.size());
}

QVariant TextRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromStdString(text(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole && m_centred[static_cast<size_t>(index.column())])
        return int(Qt::AlignCenter);
    return {};
}

QVariant TextRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_titles.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_titles[section];
    if (role == Qt::TextAlignmentRole && m_centred[static_cast<size_t>(section)])
        return int(Qt::AlignCenter);
    return {};
}

void TextRowsModel::setRows(std::vector<ListRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void TextRowsModel::removeRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void TextRowsModel::sortByColumn(Session& session, ProcessListKind list, int column)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<size_t> order = sortRows(session, list, m_rows, column);
    std::vector<int> newRow(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRow[order[i]] = static_cast<int>(i);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before)
        after.append(this->index(newRow[static_cast<size_t>(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::string TextRowsModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0)
        return {};
    const std::vector<std::string>& texts = m_rows[static_cast<size_t>(row)].texts;
    return static_cast<size_t>(column) < texts.size() ? texts[static_cast<size_t>(column)]
                                                      : std::string();
}

} // namespace tw::gui
