// What scanner tests share: fresh scan state, a recording view, record texts.
#pragma once

#include "platform/wine/WineRegistry.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "registry/TRegistry.h"
#include "scanner/ScanDriver.h"
#include "scanner/sections/SectionText.h"
#include "support/PrefixFixture.h"

#include <functional>

namespace tw::test {

/// Records what a scan shows; `onYield` lets a test act while the scan waits for input.
class RecordingView : public ScanView
{
public:
    void statusChanged(const std::string& text) override { statuses.push_back(text); }
    void progressChanged(int position) override { progress.push_back(position); }
    void yield() override
    {
        ++yields;
        if (onYield)
            onYield();
    }

    std::vector<std::string> statuses;
    std::vector<int> progress;
    int yields = 0;
    std::function<void()> onYield;
};

class RecordingRepairView : public RepairView
{
public:
    int addResultRow(const std::string& problem) override
    {
        rows.push_back({problem, ""});
        return static_cast<int>(rows.size()) - 1;
    }
    void setResultStatus(int row, const std::string& status) override
    {
        rows[static_cast<size_t>(row)].second = status;
    }
    void setLabel(const std::string& text) override { labels.push_back(text); }
    void yield() override
    {
        if (onYield)
            onYield();
    }

    std::vector<std::pair<std::string, std::string>> rows;
    std::vector<std::string> labels;
    std::function<void()> onYield;
};

/// A prefix test whose session has its excluded drives built.
class ScannerTest : public PrefixTest
{
protected:
    void sessionStarted() override { BuildExcludedDrives(*session, session->ExcludedDrives); }

    /// Runs a section's routines on a one-row grid, after emptying its collection as the
    /// driver does (unless `clearFirst` is false).
    void scanSection(int number, bool clearFirst = true)
    {
        if (clearFirst)
            session->SectionContents[static_cast<size_t>(number)].Clear();
        OutcomeRow row;
        row.caption = Sections()[static_cast<size_t>(number)].caption;
        row.section = number;
        grid.rows.assign(1, row);
        ScanContext context(*session, grid, view, 0);
        RunSectionCalls(context, Sections()[static_cast<size_t>(number)]);
    }
    std::vector<std::string> valueNames(int section)
    {
        std::vector<std::string> names;
        const TRegistryContents& contents = session->SectionContents[static_cast<size_t>(section)];
        for (int i = 0; i < contents.Count(); ++i)
            names.push_back(contents.Items(i).Content.ValueName);
        return names;
    }
    /// Scans a section and gives its records ("key | item | value name | data") that hold
    /// one of `words` (without regard to case).
    std::vector<std::string> recordsNaming(int section, std::initializer_list<const char*> words)
    {
        scanSection(section);
        std::vector<std::string> found;
        const TRegistryContents& contents = session->SectionContents[static_cast<size_t>(section)];
        for (int i = 0; i < contents.Count(); ++i) {
            const TContent& r = contents.Items(i).Content;
            const std::string text =
                r.KeyPath + " | " + r.ItemName + " | " + r.ValueName + " | " + r.ValueData;
            for (const char* word : words) {
                if (sections::containsNoCase(text, word)) {
                    found.push_back(text);
                    break;
                }
            }
        }
        return found;
    }
    const OutcomeRow& row() const { return grid.rows.at(0); }

    OutcomeGrid grid;
    RecordingView view;
};

} // namespace tw::test
