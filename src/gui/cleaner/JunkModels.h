// The junk cleaner's big lists as table models: the found files and the clean results.
#pragma once

#include "cleaner/CleanJunk.h"
#include "cleaner/JunkScan.h"

#include <QAbstractTableModel>
#include <vector>

namespace tw::gui {

/// LvFoundJunk: "Items" (the number, with the tick) and "Found File".
class FoundJunkModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void clear();
    void append(const FoundJunkRow& row);
    /// Ticks or clears every row.
    void setAllChecked(bool checked);
    const std::vector<FoundJunkRow>& rows() const { return m_rows; }

private:
    std::vector<FoundJunkRow> m_rows;
};

/// CleanerListView: "Junk Files" and "Status" (centred).
class CleanResultModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void clear();
    int append(const std::string& junkFile);
    void setStatus(int row, const std::string& status);
    /// Why the row failed: the status cell's tool tip.
    void setReason(int row, const std::string& reason);
    const std::vector<std::pair<std::string, std::string>>& rows() const { return m_rows; }

private:
    std::vector<std::pair<std::string, std::string>> m_rows;
    std::vector<std::string> m_reasons;
};

} // namespace tw::gui
