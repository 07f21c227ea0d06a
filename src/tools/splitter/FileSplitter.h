// The file splitter: cuts a file into numbered ".spt" pieces and joins pieces into one file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct PieceSizeChoice
{
    std::string_view label;
    /// Bytes per piece; kCustomPieceSize for "Custom Size".
    std::int32_t bytes;
};

inline constexpr std::int32_t kCustomPieceSize = -1;
/// "360K", the size used while none was chosen.
inline constexpr std::int32_t kDefaultPieceSize = 355870;

/// The size list's entries, in their order ("360K" ... "100M", "Custom Size").
std::span<const PieceSizeChoice> PieceSizeChoices();

/// The whole number in `text` (blanks around it allowed) when it fits a 32-bit signed
/// integer; empty otherwise.
std::optional<std::int32_t> ParsePieceSize(std::string_view text);

/// The most pieces a split writes: their names hold three digits.
inline constexpr std::int64_t kMaxPieceCount = 1000;

/// `prefix` + the number with at least three digits + ".spt" ("movie.avi000.spt").
std::string PieceName(std::string_view prefix, std::int64_t number);

/// The source file a piece came from: its name without ".spt" and the three-digit number;
/// empty for an empty list.
std::string ProposedJoinTarget(const std::vector<std::string>& pieces);

/// Told how far a split or join has come; long copies report while they run.
class SplitterView
{
public:
    virtual ~SplitterView() = default;
    /// `position` from 0 to `maximum`, in pieces (split: size div piece size + 1) or list
    /// entries (join: entries + 1), with the part of the piece copied so far.
    virtual void setProgress(double position, std::int64_t maximum) = 0;
    /// A listed piece that does not exist; the join goes on without it.
    virtual void pieceMissing(const std::string& path) { (void)path; }
};

struct SplitOutcome
{
    bool ok = false;
    /// The pieces written, in order (host paths).
    std::vector<std::string> pieces;
    /// Why it failed.
    std::string error;
};

/// Cuts `source` (a host path) into pieces of `pieceSize` bytes named by PieceName with
/// `prefix` (the source itself when empty). More than kMaxPieceCount pieces, or a piece name
/// that exists already (or is the source itself), refuses the split before anything is
/// written; the first names the piece size that would do. The pieces are written under
/// temporary names and put in place only once all are complete; on failure none is left.
SplitOutcome SplitFile(const std::string& source, const std::string& prefix, std::int64_t pieceSize,
                       SplitterView& view);

struct JoinOutcome
{
    bool ok = false;
    /// The listed piece that did not exist, which refused the join.
    std::vector<std::string> missing;
    std::string error;
};

/// Why `pieces` may not be joined as listed: a piece that is missing or not a file, or, when
/// the first is named as a split names pieces (NAME000.spt), pieces that do not run
/// NAME000.spt, NAME001.spt, ... one by one (naming the first one missing). Empty when they
/// may.
std::string JoinListRefusal(const std::vector<std::string>& pieces);

/// Writes the listed pieces, in list order, one after the other into `target` (a host path),
/// replacing it. A missing piece is reported (pieceMissing) and refuses the join: nothing is
/// written. The target is written under a
/// temporary name and put in place at the end; on failure it is left as it was. A target
/// that is one of the listed pieces is refused.
JoinOutcome JoinFiles(const std::vector<std::string>& pieces, const std::string& target,
                      SplitterView& view);

} // namespace tw
