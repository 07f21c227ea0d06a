// What a section scan routine works with: its grid row, the status text, yield and abort.
#pragma once

#include "ScanView.h"
#include "registry/Session.h"

#include <chrono>
#include <string>
#include <string_view>

namespace tw {

class ScanContext
{
public:
    ScanContext(Session& session, OutcomeGrid& grid, ScanView& view, int row)
        : m_session(session), m_grid(grid), m_view(view), m_row(row)
    {
    }

    Session& session() const { return m_session; }

    int row() const { return m_row; }

    /// Problems "0", Status "Scanning".
    void rowStart();
    /// Problems := the collection's record count.
    void rowCount(const TRegistryContents& contents);
    /// Status "Abort Scan" when the scan was aborted, else "Finished".
    void rowFinish();
    /// True when "Abort Scan" was pressed.
    bool aborted() const;
    void yield() { m_view.yield(); }
    void status(const std::string& text) { m_view.statusChanged(text); }
    /// Counts one entry of a deep walk in StatusTick; shows `text` on every 200th.
    void tickStatus(const std::string& text);
    /// Notes how long the row's section ran (the grid's row says so; nothing is shown).
    void ranFor(std::chrono::steady_clock::duration time) { cells().ran = time; }
    /// Adds a record (ticked as the "SelectAll" setting says), then the row count. A finding
    /// the ignore list covers is only counted in the row's `ignored`; one on Tidewell's own
    /// settings is dropped.
    void addRecord(TRegistryContents& contents, std::string keyPath, std::string itemName,
                   std::string valueName, std::string valueData);

private:
    OutcomeRow& cells();

    Session& m_session;
    OutcomeGrid& m_grid;
    ScanView& m_view;
    int m_row;
};

} // namespace tw
