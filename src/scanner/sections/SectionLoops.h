// The loops of the scan sections: over subkeys, values and listed items with the abort
// test, the status text and the yield at the moments each section has; and the deep walks.
//
// Subkeys are enumerated through the platform's registry functions (RegOpenKeyEx with
// KEY_READ, RegQueryInfoKey, RegEnumKeyEx); the checks read values through TRegistry, whose
// read errors end a scan.
#pragma once

#include "registry/TRegistry.h"
#include "scanner/ScanContext.h"

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tw::sections {

/// When a section loop yields to the window.
enum class YieldAt
{
    Never,
    BeforeAbortTest,
    AfterAbortTest,
    AfterItem,
};

/// The moments of a section loop around each item.
struct LoopMoments
{
    /// The abort test before each item; an abort leaves the loop.
    bool abortTest = true;
    YieldAt yield = YieldAt::AfterItem;
};

/// The usual loop: abort test, status, the item, yield.
inline constexpr LoopMoments kEachItem{true, YieldAt::AfterItem};
/// Abort test only.
inline constexpr LoopMoments kNoYield{true, YieldAt::Never};

/// What a loop step tells the loop.
enum class Next
{
    Go,        ///< on to the next item, after the loop's yield
    GoQuietly, ///< on to the next item without the yield after it
    Stop,      ///< leave the loop
};

template <class Item> using StatusText = std::function<std::string(const Item&)>;

/// Runs `step` for each item in order with the loop's moments: the yield where `moments`
/// put it, the abort test, the item's status text (when `status` is given), the step.
template <class Item, class Step>
void forEachItem(ScanContext& context, const std::vector<Item>& items, LoopMoments moments,
                 const std::type_identity_t<StatusText<Item>>& status, Step&& step)
{
    for (const Item& item : items) {
        if (moments.yield == YieldAt::BeforeAbortTest)
            context.yield();
        if (moments.abortTest && context.aborted())
            break;
        if (moments.yield == YieldAt::AfterAbortTest)
            context.yield();
        if (status)
            context.status(status(item));
        const Next next = step(item);
        if (next == Next::Stop)
            break;
        if (next == Next::Go && moments.yield == YieldAt::AfterItem)
            context.yield();
    }
}

/// `path` + "\" + `name`, or the name alone below an empty path.
std::string joinKeyPath(std::string_view path, std::string_view name);

/// True when `path` opens under `root` for reading.
bool keyOpens(const Session& session, win::HKEY root, std::string_view path);

/// The names of the subkeys of `path` under `root`, in enumeration order; none when the key
/// does not open.
std::optional<std::vector<std::string>> subkeyNames(const Session& session, win::HKEY root,
                                                    std::string_view path);

/// Opens `keyPath` under `root` without creating it and lists its value names.
bool openValueList(TRegistry& reg, win::HKEY root, std::string_view keyPath,
                   std::vector<std::string>& names);

/// What a deep walk does with one subkey once it has been visited.
enum class Descent
{
    Into,     ///< walk the subkey's subtree, then yield
    Past,     ///< yield without walking below it
    PassOver, ///< neither walk below it nor yield
};

/// A depth-first walk as a recursion over RegOpenKeyEx and RegEnumKeyEx does it.
struct KeyWalk
{
    /// Whether a key is opened and walked at all, asked before it is opened (the start key
    /// too); every key when empty.
    std::function<bool(const std::string& path)> enters;
    /// A key is open: what RegQueryInfoKey says of it, before its subkeys are visited.
    std::function<void(const std::string& path, const platform::KeyInfo& info)> opened;
    /// Each subkey, by name and path below the root, after the abort test, with the key
    /// opened for reading (0 when it could not be opened); the walk closes it.
    std::function<Descent(const std::string& name, const std::string& path, win::HKEY key)> visit;
};

/// Whether the path of a key the walk from `start` asks `enters` about holds `part` (in any
/// case), when a key is entered only if its path does not hold it: only what a key adds to
/// its parent's path, which was asked first, is searched.
bool walkPathHolds(std::string_view path, std::string_view start, std::string_view part);

/// walkPathHolds() for several parts at once: the path is upper-cased once for all of them.
class WalkPathParts
{
public:
    explicit WalkPathParts(std::initializer_list<std::string_view> parts);
    /// True when walkPathHolds(path, start, part) is for one of the parts.
    bool heldBy(std::string_view path, std::string_view start) const;

private:
    std::vector<std::string> m_parts;
    size_t m_longest = 0;
};

/// Walks the keys below `start` under `root` depth first, in enumeration order. The abort
/// test comes before each subkey; an abort leaves each level at its next test. The yield
/// after a subkey comes once its whole subtree is done. Registry links are passed over, so
/// every key is visited once, by its own name. An explicit stack holds the open keys, so a
/// tree of any depth is walked.
void walkKeyTree(ScanContext& context, win::HKEY root, std::string_view start, const KeyWalk& walk);

class FileView;
/// Scans one opened view of a section's key.
using KeyViewScan = void (*)(ScanContext& context, const FileView& files, win::HKEY root,
                             const std::string& keyPath, TRegistryContents& contents);
/// The row of a section that reads one key in both views: empties `contents`; when a view
/// opens, starts the row, hands each view (keyViews) to `scanKey`, and finishes the row.
void scanKeyViews(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                  win::HKEY root, KeyViewScan scanKey);

} // namespace tw::sections
