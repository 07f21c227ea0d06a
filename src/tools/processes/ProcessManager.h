// The process manager: the process and module lists as display rows, memory, termination,
// and the column sort the two lists share.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

class Session;

/// The process list's columns: "Process", "PID", "Parent PID", "Module ID", "Number",
/// "Process Number", "Priority ".
inline constexpr int kProcessColumns = 7;
/// The module list's columns: "Module Name", "Module Path", "Module ID", "Size(KB)", "引用计数".
inline constexpr int kModuleColumns = 5;
inline constexpr int kPidColumn = 1;

/// One row of either list: its texts by column.
struct ListRow
{
    std::vector<std::string> texts;
    /// Process rows: when the process started (tells it apart from a later one with its PID).
    std::uint64_t startTime = 0;
};

struct ListRows
{
    std::vector<ListRow> rows;
    /// "Oops..." and the system's text when the snapshot could not be taken; empty otherwise.
    std::string error;
};

/// Every process of a fresh snapshot, in snapshot order.
ListRows listProcesses(Session& session);
/// The modules of a process; an empty list for one whose modules may not be read.
ListRows listModules(Session& session, win::DWORD processId);

/// "Process Total：" and the count.
std::string processTotalText(size_t count);
/// "the process module total：" and the count.
std::string moduleTotalText(size_t count);
/// "<name> Memory：<working set in KB> KB", or "Get Memory Errors".
std::string memoryText(Session& session, win::DWORD processId, const std::string& name);
/// The working set in KB in the general format; empty when it cannot be read.
std::string workingSetKBText(Session& session, win::DWORD processId);

enum class TerminateOutcome
{
    /// The process was ended.
    Terminated,
    /// The system did not end it (no right to, or it had ended already).
    Failed,
    /// Not attempted: the process is Tidewell itself.
    Refused
};

struct TerminateResult
{
    TerminateOutcome outcome = TerminateOutcome::Failed;
    /// Why it failed or was refused.
    std::string message;
};

/// Ends the process with this PID, if it is still the one that started at `startTime` (0: any).
TerminateResult terminateProcess(Session& session, win::DWORD processId, std::uint64_t startTime);

/// A number in the general floating-point format: up to 15 significant digits, no trailing
/// zeros (64, 12.5).
std::string formatGeneral(double value);

enum class ProcessListKind
{
    Processes,
    Modules
};

enum class SortKind : std::uint8_t
{
    Text = 0,
    WholeNumber = 1
};

/// How a column compares: the process list's names and the module list's names, paths,
/// sizes and counts as text, the other columns as whole numbers.
SortKind columnSortKind(ProcessListKind list, int column);
/// Case-sensitive in linguistic order: letters compare by their case-folded form first, and
/// a small letter comes before its capital. Negative when `a` comes first.
int compareText(const std::string& a, const std::string& b);
/// +1 when `a`'s number is smaller, -1 when larger (numbers in descending order); 0 when
/// equal or when neither text is a whole number. A text that is not counts as its leading
/// digits.
int compareWholeNumbers(const std::string& a, const std::string& b);

/// Sorts a list by a clicked column with the shared sort state of the session, then turns
/// over that column's direction flag. Returns where each row came from: the row now at i was
/// at result[i].
std::vector<size_t> sortRows(Session& session, ProcessListKind list, std::vector<ListRow>& rows,
                             int column);

} // namespace tw
