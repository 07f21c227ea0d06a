#include "ProcessManager.h"

#include "platform/Processes.h"
#include "registry/Session.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

namespace tw {

namespace {

/// The full-width colon of the status texts.
constexpr const char* kColon = "\xEF\xBC\x9A";

std::string folderOf(const std::string& path)
{
    const auto separator = path.rfind('\\');
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

unsigned char folded(char c)
{
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

struct Conversion
{
    bool complete = false;
    std::int32_t value = 0;
};

/// The text as a 32-bit signed integer; an incomplete conversion keeps the value of the
/// leading sign and digits.
Conversion toWholeNumber(const std::string& text)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        ++i;
    const size_t firstDigit = i;
    std::int64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) {
            overflow = true;
            value = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
        }
    }
    if (negative)
        value = -value;
    const bool fits = value >= std::numeric_limits<std::int32_t>::min() &&
                      value <= std::numeric_limits<std::int32_t>::max();
    Conversion conversion;
    conversion.complete = i > firstDigit && i == text.size() && fits && !overflow;
    conversion.value = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    return conversion;
}

/// A stable merge sort of `order` that stays within bounds whatever the comparison says
/// (the number comparison is not a strict weak order for texts that are not numbers).
template <class Less> void mergeSort(std::vector<size_t>& order, const Less& less)
{
    if (order.size() < 2)
        return;
    const auto middle = order.begin() + static_cast<long>(order.size() / 2);
    std::vector<size_t> left(order.begin(), middle);
    std::vector<size_t> right(middle, order.end());
    mergeSort(left, less);
    mergeSort(right, less);
    std::merge(left.begin(), left.end(), right.begin(), right.end(), order.begin(), less);
}

} // namespace

ListRows listProcesses(Session& session)
{
    ListRows result;
    const platform::ProcessSnapshot snapshot = session.processes().snapshotProcesses();
    if (snapshot.error) {
        result.error = "Oops..." + snapshot.error.text;
        return result;
    }
    result.rows.reserve(snapshot.processes.size());
    for (const platform::ProcessEntry& process : snapshot.processes) {
        ListRow row;
        row.texts = {process.exeFile,
                     std::to_string(process.processId),
                     std::to_string(process.parentProcessId),
                     std::to_string(process.moduleId),
                     std::to_string(process.usage),
                     std::to_string(process.threads),
                     std::to_string(process.basePriority)};
        row.startTime = process.startTime;
        result.rows.push_back(std::move(row));
    }
    return result;
}

ListRows listModules(Session& session, win::DWORD processId)
{
    ListRows result;
    const platform::ModuleSnapshot snapshot = session.processes().snapshotModules(processId);
    if (snapshot.error) {
        result.error = "Oops..." + snapshot.error.text;
        return result;
    }
    for (const platform::ModuleEntry& module : snapshot.modules) {
        ListRow row;
        row.texts = {module.module, folderOf(module.exePath), std::to_string(module.moduleId),
                     formatGeneral(static_cast<double>(module.baseSize) / 1024.0),
                     std::to_string(module.globalUsage)};
        result.rows.push_back(std::move(row));
    }
    return result;
}

std::string processTotalText(size_t count)
{
    return std::string("Process Total") + kColon + std::to_string(count);
}

std::string moduleTotalText(size_t count)
{
    return std::string("the process module total") + kColon + std::to_string(count);
}

std::string workingSetKBText(Session& session, win::DWORD processId)
{
    const platform::WorkingSet workingSet = session.processes().workingSetSize(processId);
    if (workingSet.error)
        return {};
    return formatGeneral(static_cast<double>(workingSet.bytes) / 1024.0);
}

std::string memoryText(Session& session, win::DWORD processId, const std::string& name)
{
    const std::string kilobytes = workingSetKBText(session, processId);
    if (kilobytes.empty())
        return "Get Memory Errors";
    return name + " Memory" + kColon + kilobytes + " KB";
}

TerminateResult terminateProcess(Session& session, win::DWORD processId, std::uint64_t startTime)
{
    platform::Processes& processes = session.processes();
    if (processId == processes.currentProcessId())
        return {TerminateOutcome::Refused, "Tidewell does not terminate itself."};
    const platform::SystemError error = processes.terminateProcess(processId, startTime);
    if (error)
        return {TerminateOutcome::Failed, error.text};
    return {TerminateOutcome::Terminated, {}};
}

std::string formatGeneral(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

SortKind columnSortKind(ProcessListKind list, int column)
{
    if (list == ProcessListKind::Processes)
        return column == 0 ? SortKind::Text : SortKind::WholeNumber;
    return column == 2 ? SortKind::WholeNumber : SortKind::Text;
}

int compareText(const std::string& a, const std::string& b)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if (folded(a[i]) != folded(b[i]))
            return folded(a[i]) < folded(b[i]) ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    // Equal but for case: the first small letter comes first.
    for (size_t i = 0; i < common; ++i) {
        if (a[i] != b[i])
            return std::islower(static_cast<unsigned char>(a[i])) ? -1 : 1;
    }
    return 0;
}

int compareWholeNumbers(const std::string& a, const std::string& b)
{
    const Conversion first = toWholeNumber(a);
    const Conversion second = toWholeNumber(b);
    if (!first.complete && !second.complete)
        return 0;
    if (first.value == second.value)
        return 0;
    return first.value < second.value ? 1 : -1;
}

std::vector<size_t> sortRows(Session& session, ProcessListKind list, std::vector<ListRow>& rows,
                             int column)
{
    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (column < 0 || column >= static_cast<int>(session.ProcessSortFlags.size()))
        return order;
    const SortKind kind = columnSortKind(list, column);
    const bool reversed = session.ProcessSortFlags[static_cast<size_t>(column)];
    session.ProcessSortKind = static_cast<std::uint8_t>(kind);
    const auto textOf = [&](size_t row) -> const std::string& {
        static const std::string empty;
        const std::vector<std::string>& texts = rows[row].texts;
        return static_cast<size_t>(column) < texts.size() ? texts[static_cast<size_t>(column)]
                                                          : empty;
    };
    const auto less = [&](size_t first, size_t second) {
        const std::string& a = textOf(first);
        const std::string& b = textOf(second);
        int result = kind == SortKind::Text ? sign(compareText(a, b)) : compareWholeNumbers(a, b);
        if (reversed)
            result = -result;
        return result < 0;
    };
    mergeSort(order, less);
    std::vector<ListRow> sorted;
    sorted.reserve(rows.size());
    for (const size_t index : order)
        sorted.push_back(std::move(rows[index]));
    rows = std::move(sorted);
    session.ProcessSortFlags[static_cast<size_t>(column)] = !reversed;
    return order;
}

} // namespace tw
