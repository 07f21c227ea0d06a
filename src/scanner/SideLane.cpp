#include "SideLane.h"

#include "SectionTable.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <stdexcept>

namespace tw {

namespace {

/// The sections the lane may run, in the order it takes them up: the rows the loop reaches
/// first and the long ones early, the walk of the drives once the loop's file questions have
/// read most folders. A row the loop reaches before the lane took it up is the loop's.
constexpr int kSideLaneSections[] = {2, 4, 7, 13, 12, 8, 5, 14};

/// How often a scan loop waiting for the lane lets the window work.
constexpr std::chrono::milliseconds kWaitSlice(15);

/// What the lane's sections show: nothing; they stop when the lane is told to.
class LaneView final : public ScanView
{
public:
    explicit LaneView(const std::atomic<bool>& stop) : m_stop(stop) {}
    bool stopRequested() const override { return m_stop.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& m_stop;
};

} // namespace

bool RunsOnSideLane(int section)
{
    return std::find(std::begin(kSideLaneSections), std::end(kSideLaneSections), section) !=
           std::end(kSideLaneSections);
}

std::unique_ptr<SideLane> SideLane::start(Session& session, const OutcomeGrid& grid)
{
    if (!session.platform().sideReader)
        return nullptr;
    std::vector<int> rows;
    for (int section : kSideLaneSections) {
        // A section's first row only: later rows of the same section add to its records.
        const auto row = std::find_if(grid.rows.begin(), grid.rows.end(),
                                      [&](const OutcomeRow& r) { return r.section == section; });
        if (row != grid.rows.end())
            rows.push_back(static_cast<int>(row - grid.rows.begin()));
    }
    if (rows.empty())
        return nullptr;
    return std::unique_ptr<SideLane>(new SideLane(session, grid, std::move(rows)));
}

SideLane::SideLane(Session& session, const OutcomeGrid& grid, std::vector<int> rows)
    : m_reader(session.platform().sideReader()), m_grid(grid), m_rows(std::move(rows)),
      m_claims(m_rows.size(), Claim::Open), m_finished(m_rows.size(), false)
{
    m_session = std::make_unique<Session>(m_reader->platform());
    m_session->AppSettings = session.AppSettings;
    m_session->ExcludedDrives = session.ExcludedDrives;
    m_session->PlatformKind = session.PlatformKind;
    m_session->MemoActiveX = session.MemoActiveX;
    m_session->Ignored = session.Ignored;
    m_thread = std::thread([this] { run(); });
}

SideLane::~SideLane()
{
    m_stop = true;
    m_thread.join();
}

void SideLane::run() noexcept
{
    LaneView view(m_stop);
    try {
        const platform::FileQueryCache cache(m_session->files());
        for (size_t i = 0; i < m_rows.size(); ++i) {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                if (m_claims[i] != Claim::Open)
                    continue;
                m_claims[i] = Claim::Lane;
            }
            const int row = m_rows[i];
            ScanContext context(*m_session, m_grid, view, row);
            RunSectionRow(context, Sections()[static_cast<size_t>(m_grid.rows[row].section)]);
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_finished[i] = true;
            m_progress.notify_all();
        }
    } catch (...) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_error = std::current_exception();
    }
    // Changes made meanwhile wait for the reader to go.
    m_reader.reset();
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
    m_progress.notify_all();
}

bool SideLane::takeRow(int row, Session& session, OutcomeGrid& grid, ScanView& view)
{
    const auto at = std::find(m_rows.begin(), m_rows.end(), row);
    if (at == m_rows.end())
        return false;
    const size_t index = static_cast<size_t>(at - m_rows.begin());
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_claims[index] == Claim::Open) {
            m_claims[index] = Claim::Loop;
            return false;
        }
    }
    // The window runs first, as it does when a section starts.
    view.yield();
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_finished[index] && !m_ended) {
        if (session.OperationState == kOperationAbortScan)
            m_stop = true;
        m_progress.wait_for(lock, kWaitSlice);
        lock.unlock();
        view.yield();
        lock.lock();
    }
    if (!m_finished[index]) {
        // The lane ends early only when a section threw.
        if (m_error)
            std::rethrow_exception(m_error);
        throw std::logic_error("The second scan thread ended early");
    }
    lock.unlock();

    const OutcomeRow& lane = m_grid.rows.at(static_cast<size_t>(row));
    OutcomeRow& cells = grid.rows.at(static_cast<size_t>(row));
    TRegistryContents& contents = session.SectionContents.at(static_cast<size_t>(lane.section));
    contents.TakeAll(m_session->SectionContents.at(static_cast<size_t>(lane.section)));
    // Aborted on the row: it says so, though the lane may have finished it.
    const bool aborted = session.OperationState == kOperationAbortScan;
    cells.status = lane.status == RowStatus::Finished && aborted ? RowStatus::Aborted : lane.status;
    if (lane.problems)
        cells.problems = contents.Count();
    cells.ignored = lane.ignored;
    cells.ran = lane.ran;
    cells.ranBeside = true;
    view.gridChanged(row);
    return true;
}

} // namespace tw
