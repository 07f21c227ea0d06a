#include "JunkModels.h"

namespace tw::gui {

int FoundJunkModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FoundJunkModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant FoundJunkModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FoundJunkRow& row = m_rows[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return QString::fromStdString(index.column() == 0 ? row.caption : row.path);
    if (role == Qt::CheckStateRole && index.column() == 0)
        return row.checked ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool FoundJunkModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    m_rows[static_cast<size_t>(index.row())].checked = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags FoundJunkModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant FoundJunkModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Items") : QStringLiteral("Found File");
}

void FoundJunkModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void FoundJunkModel::append(const FoundJunkRow& row)
{
    const int at = rowCount();
    beginInsertRows({}, at, at);
    m_rows.push_back(row);
    endInsertRows();
}

void FoundJunkModel::setAllChecked(bool checked)
{
    for (FoundJunkRow& row : m_rows)
        row.checked = checked;
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

int CleanResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CleanResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant CleanResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto& row = m_rows[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return QString::fromStdString(index.column() == 0 ? row.first : row.second);
    if (role == Qt::TextAlignmentRole && index.column() == 1)
        return int(Qt::AlignCenter);
    if (role == Qt::ToolTipRole && index.column() == 1 &&
        !m_reasons[static_cast<size_t>(index.row())].empty())
        return QString::fromStdString(m_reasons[static_cast<size_t>(index.row())]);
    return {};
}

QVariant CleanResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole && section == 1)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Junk Files") : QStringLiteral("Status");
}

void CleanResultModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_reasons.clear();
    endResetModel();
}

int CleanResultModel::append(const std::string& junkFile)
{
    const int at = rowCount();
    beginInsertRows({}, at, at);
    m_rows.push_back({junkFile, ""});
    m_reasons.emplace_back();
    endInsertRows();
    return at;
}

void CleanResultModel::setStatus(int row, const std::string& status)
{
    m_rows[static_cast<size_t>(row)].second = status;
    emit dataChanged(index(row, 1), index(row, 1));
}

void CleanResultModel::setReason(int row, const std::string& reason)
{
    m_reasons[static_cast<size_t>(row)] = reason;
    emit dataChanged(index(row, 1), index(row, 1));
}

} // namespace tw::gui
