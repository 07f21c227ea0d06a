// The thirteen browser repair items as data: each a name and the registry steps it runs.
#pragma once

#include "platform/WinTypes.h"

#include <span>
#include <string_view>

namespace tw {

/// What one step does with its key.
enum class BrowserStepKind
{
    /// Each value = REG_DWORD 0.
    SetZero,
    /// Each value = REG_BINARY of four zero bytes.
    SetZeroBytes,
    /// Each value = its text (REG_SZ).
    SetText,
    /// Deletes every value of the key (its subkeys stay).
    DeleteAllValues,
    /// Deletes every subkey with everything below it.
    DeleteAllSubkeys,
    /// Reads the start page (value `name` of `source`) and deletes the Run entry that starts
    /// it: the value named like it, else every string value whose data contains it.
    DeleteStartPageEntry,
    /// When the key opens: deletes value `name`, then the file `text` below the drive root
    /// of the temporary folder.
    DeleteValueAndFile,
    /// Deletes every string value whose upper-cased data contains one of the texts.
    DeleteDataMatches,
};

/// A value name and, where the step needs one, a text.
struct BrowserStepValue
{
    std::string_view name;
    std::string_view text = {};
};

/// One opening of a key and what is done there. A step whose key does not open (or cannot be
/// created) is skipped.
struct BrowserRepairStep
{
    BrowserStepKind kind;
    win::HKEY root;
    std::string_view key;
    /// Whether a missing key is created.
    bool create;
    std::span<const BrowserStepValue> values = {};
    /// DeleteStartPageEntry: the key holding the start page, opened without creating it.
    std::string_view source = {};
};

struct BrowserRepairItem
{
    std::string_view name;
    std::span<const BrowserRepairStep> steps;
};

/// The items in list order ("Restore HomePage" ... "Fix Explorer Button").
std::span<const BrowserRepairItem> BrowserRepairItems();

/// The search-assistant page the "Fix Explorer Search Engine" item restores.
inline constexpr std::string_view kDefaultSearchAssistant =
    "http://ie.search.msn.com/{SUB_RFC1766}/srchasst/srchasst.htm";

} // namespace tw
