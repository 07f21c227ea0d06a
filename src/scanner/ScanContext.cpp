#include "ScanContext.h"

namespace tw {

OutcomeRow& ScanContext::cells()
{
    return m_grid.rows.at(static_cast<size_t>(m_row));
}

void ScanContext::rowStart()
{
    cells().problems = 0;
    cells().status = RowStatus::Scanning;
    m_view.gridChanged(m_row);
}

void ScanContext::rowCount(const TRegistryContents& contents)
{
    cells().problems = contents.Count();
    m_view.gridChanged(m_row);
}

void ScanContext::rowFinish()
{
    cells().status = aborted() ? RowStatus::Aborted : RowStatus::Finished;
    m_view.gridChanged(m_row);
}

void ScanContext::tickStatus(const std::string& text)
{
    if (++m_session.StatusTick % 200 == 0)
        status(text);
}

bool ScanContext::aborted() const
{
    return m_session.OperationState == kOperationAbortScan || m_view.stopRequested();
}

void ScanContext::addRecord(TRegistryContents& contents, std::string keyPath, std::string itemName,
                            std::string valueName, std::string valueData)
{
    TContent& record = contents.Items(AddContentItem(contents)).Content;
    record.Checked = m_session.AppSettings.SelectAll;
    record.KeyPath = std::move(keyPath);
    record.ItemName = std::move(itemName);
    record.ValueName = std::move(valueName);
    record.ValueData = std::move(valueData);
    rowCount(contents);
}

} // namespace tw
