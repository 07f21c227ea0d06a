#include "ScanContext.h"

#include "IgnoreFinding.h"
#include "SectionTable.h"

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
    TContent found;
    found.Checked = m_session.AppSettings.SelectAll;
    found.KeyPath = std::move(keyPath);
    found.ItemName = std::move(itemName);
    found.ValueName = std::move(valueName);
    found.ValueData = std::move(valueData);
    const int section = cells().section;
    if (section >= 0 && section < kSectionCountTotal) {
        const IgnoreSubject subject = IgnoreSubjectOf(section, found);
        if (IsOwnSettingsKey(subject.key))
            return;
        if (m_session.Ignored.covers(subject)) {
            ++cells().ignored;
            return;
        }
    }
    contents.Items(AddContentItem(contents)).Content = std::move(found);
    rowCount(contents);
}

} // namespace tw
