// A second thread for the scan: the sections that may run beside the others.
#pragma once

#include "ScanView.h"
#include "registry/Session.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tw {

/// True for sections a second thread may run while the scan loop runs the others: each only
/// reads, and nothing another section does changes what it finds.
bool RunsOnSideLane(int section);

/// Runs the side-lane sections of a grid's rows on a thread of its own, over the platform's
/// side reader and a session with the scan's settings; the scan loop takes each row's
/// outcome when it reaches the row. Started only when the platform has a side reader and a
/// row of the grid runs on the lane.
class SideLane
{
public:
    /// Null when there is nothing to run beside the loop.
    static std::unique_ptr<SideLane> start(Session& session, const OutcomeGrid& grid);
    /// Stops the lane's sections and waits for its thread.
    ~SideLane();
    SideLane(const SideLane&) = delete;
    SideLane& operator=(const SideLane&) = delete;

    /// False when the loop is to run the row itself: not a lane row, or one the lane has not
    /// taken up yet (it passes over it from now on). Otherwise waits for the row's section
    /// (letting `view` yield, and stopping the lane when the scan is aborted meanwhile), moves
    /// its cells into `grid` and its records into `session`, and returns true; a row finished
    /// while the scan was aborted shows "Abort Scan". Rethrows what the lane's sections threw.
    bool takeRow(int row, Session& session, OutcomeGrid& grid, ScanView& view);

private:
    SideLane(Session& session, const OutcomeGrid& grid, std::vector<int> rows);
    void run() noexcept;

    std::unique_ptr<platform::SideReader> m_reader;
    std::unique_ptr<Session> m_session;
    OutcomeGrid m_grid;
    /// The grid rows the lane may run, in the order it takes them up.
    std::vector<int> m_rows;
    std::atomic<bool> m_stop{false};

    /// Who runs each of m_rows: the first to take it up.
    enum class Claim
    {
        Open,
        Lane,
        Loop
    };
    mutable std::mutex m_mutex;
    std::condition_variable m_progress;
    std::vector<Claim> m_claims;
    std::vector<bool> m_finished;
    bool m_ended = false;
    std::exception_ptr m_error;

    std::thread m_thread;
};

} // namespace tw
