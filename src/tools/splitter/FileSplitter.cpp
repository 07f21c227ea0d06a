#include "FileSplitter.h"

#include "platform/HostFiles.h"
#include "platform/TempFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace tw {

namespace fs = std::filesystem;

namespace {

constexpr PieceSizeChoice kChoices[] = {
    {"360K", 355870},
    {"720K", 711740},
    {"1.2M", 1228800},
    {"1.44M", 1457660},
    {"2.88M", 2915320},
    {"100M", 102400000},
    {"Custom Size", kCustomPieceSize},
};

constexpr std::int64_t kBufferSize = 1 << 20;

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string systemError()
{
    return std::strerror(errno);
}

/// Opens `path` for reading; empty with `error` set when it cannot.
File openForReading(const std::string& path, std::string& error)
{
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        error = "cannot open " + path + ": " + systemError();
    return file;
}

/// Removes the temporary files beside `path` whose writer no longer runs.
void removeStaleTemporaries(const std::string& path)
{
    const fs::path folder = fs::path(path).parent_path();
    std::error_code failed;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, failed), end;
         !failed && it != end; it.increment(failed)) {
        win::DWORD writer = 0;
        if (!platform::isTempFileName(it->path().filename().string(), &writer) ||
            writer == platform::currentHostProcessId() ||
            !fs::is_regular_file(it->symlink_status(failed)))
            continue;
        if (!platform::hostProcessMayRun(writer))
            stale.push_back(it->path());
    }
    for (const fs::path& file : stale)
        fs::remove(file, failed);
}

/// A new file beside `path` under a name no one can guess, made only where nothing (not even
/// a link) has that name.
File createTemporary(const std::string& path, std::string& temporary, std::string& error)
{
    removeStaleTemporaries(path);
    for (int attempt = 0; attempt < 4; ++attempt) {
        temporary = platform::tempFileName(path, platform::currentHostProcessId());
        errno = 0;
        if (File file{platform::createNewHostFile(temporary)})
            return file;
        if (errno != EEXIST)
            break;
    }
    error = "cannot create " + temporary + ": " + systemError();
    temporary.clear();
    return nullptr;
}

/// Closes a written file; false with `error` set when its last bytes could not be written.
bool closeWritten(File& file, const std::string& path, std::string& error)
{
    errno = 0;
    const bool ok = std::fclose(file.release()) == 0;
    if (!ok)
        error = "cannot write " + path + ": " + systemError();
    return ok;
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code failed;
    return fs::equivalent(a, b, failed) && !failed;
}

/// Copies `count` bytes (all that remain when negative) from `in` to `out`, telling
/// `progress` after each buffer how many bytes are done.
bool copyBytes(std::FILE* in, std::FILE* out, std::int64_t count, const std::string& inPath,
               const std::string& outPath, const std::function<void(std::int64_t)>& progress,
               std::string& error)
{
    std::vector<char> buffer(static_cast<size_t>(kBufferSize));
    std::int64_t done = 0;
    while (count < 0 || done < count) {
        const std::int64_t want = count < 0 ? kBufferSize : std::min(kBufferSize, count - done);
        errno = 0;
        const size_t got = std::fread(buffer.data(), 1, static_cast<size_t>(want), in);
        if (got == 0) {
            if (std::ferror(in)) {
                error = "cannot read " + inPath + ": " + systemError();
                return false;
            }
            if (count < 0)
                return true;
            error = inPath + " ended before all its bytes were read";
            return false;
        }
        errno = 0;
        if (std::fwrite(buffer.data(), 1, got, out) != got) {
            error = "cannot write " + outPath + ": " + systemError();
            return false;
        }
        done += static_cast<std::int64_t>(got);
        progress(done);
    }
    return true;
}

void removeFiles(const std::vector<std::string>& paths)
{
    std::error_code ignored;
    for (const std::string& path : paths)
        fs::remove(path, ignored);
}

/// Why a split into `count` pieces is refused, with the piece size that would do.
std::string tooManyPieces(std::int64_t size, std::int64_t pieceSize, std::int64_t count)
{
    const std::int64_t least = size / kMaxPieceCount + (size % kMaxPieceCount ? 1 : 0);
    std::string text = std::to_string(size) + " bytes in pieces of " + std::to_string(pieceSize) +
                       " bytes make " + std::to_string(count) +
                       " pieces; piece names hold at most " + std::to_string(kMaxPieceCount) +
                       " (000 to 999)";
    if (least > std::numeric_limits<std::int32_t>::max())
        return text + ", and no piece size is large enough for this file";
    text += ": choose a piece size of at least " + std::to_string(least) + " bytes";
    for (const PieceSizeChoice& choice : kChoices) {
        if (choice.bytes >= least)
            return text + " (" + std::string(choice.label) + " will do)";
    }
    return text;
}

} // namespace

std::span<const PieceSizeChoice> PieceSizeChoices()
{
    return kChoices;
}

std::optional<std::int32_t> ParsePieceSize(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int32_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string PieceName(std::string_view prefix, std::int64_t number)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%03lld", static_cast<long long>(number));
    return std::string(prefix) + digits + ".spt";
}

std::string ProposedJoinTarget(const std::vector<std::string>& pieces)
{
    if (pieces.empty())
        return std::string();
    const std::string& first = pieces.front();
    return first.substr(0, first.size() - std::min<size_t>(first.size(), 7));
}

SplitOutcome SplitFile(const std::string& source, const std::string& prefixText,
                       std::int64_t pieceSize, SplitterView& view)
{
    SplitOutcome outcome;
    if (pieceSize < 1) {
        outcome.error = "the piece size must be at least one byte";
        return outcome;
    }
    File in = openForReading(source, outcome.error);
    if (!in)
        return outcome;
    std::error_code failed;
    if (!fs::is_regular_file(source, failed)) {
        outcome.error = source + " is not a file";
        return outcome;
    }
    const std::int64_t size = static_cast<std::int64_t>(fs::file_size(source, failed));
    if (failed) {
        outcome.error = "cannot read the size of " + source + ": " + failed.message();
        return outcome;
    }
    const std::int64_t count = size / pieceSize + (size % pieceSize ? 1 : 0);
    if (count > kMaxPieceCount) {
        outcome.error = tooManyPieces(size, pieceSize, count);
        return outcome;
    }
    const std::int64_t maximum = size / pieceSize + 1;
    view.setProgress(0, maximum);
    const std::string prefix = prefixText.empty() ? source : prefixText;
    for (std::int64_t k = 0; k < count; ++k) {
        const std::string name = PieceName(prefix, k);
        if (sameFile(name, source)) {
            outcome.error =
                "the piece " + name + " would replace " + source + ", the file being split";
            return outcome;
        }
        if (fs::exists(fs::symlink_status(name, failed))) {
            outcome.error =
                "the piece " + name + " exists already; move it away or choose another prefix";
            return outcome;
        }
    }

    // Every piece under a temporary name first: a failed split replaces nothing.
    std::vector<std::string> temporaries;
    double position = 0;
    for (std::int64_t k = 0; k < count; ++k) {
        const std::string name = PieceName(prefix, k);
        std::string temporary;
        File out = createTemporary(name, temporary, outcome.error);
        if (!out) {
            removeFiles(temporaries);
            return outcome;
        }
        temporaries.push_back(temporary);
        const std::int64_t bytes = std::min(pieceSize, size - k * pieceSize);
        const auto progress = [&](std::int64_t done) {
            const double part = static_cast<double>(done) / static_cast<double>(bytes);
            view.setProgress(std::min(position + part, static_cast<double>(maximum - 1)), maximum);
        };
        if (!copyBytes(in.get(), out.get(), bytes, source, name, progress, outcome.error) ||
            !closeWritten(out, name, outcome.error)) {
            out.reset();
            removeFiles(temporaries);
            return outcome;
        }
        if (position < static_cast<double>(maximum - 1))
            position += 1;
        view.setProgress(position, maximum);
    }
    in.reset();
    for (std::int64_t k = 0; k < count; ++k) {
        const std::string name = PieceName(prefix, k);
        fs::rename(temporaries[static_cast<size_t>(k)], name, failed);
        if (failed) {
            outcome.error = "cannot rename " + temporaries[static_cast<size_t>(k)] + " to " + name +
                            ": " + failed.message();
            removeFiles({temporaries.begin() + k, temporaries.end()});
            removeFiles(outcome.pieces);
            outcome.pieces.clear();
            return outcome;
        }
        outcome.pieces.push_back(name);
    }
    view.setProgress(static_cast<double>(maximum), maximum);
    outcome.ok = true;
    return outcome;
}

std::string JoinListRefusal(const std::vector<std::string>& pieces)
{
    if (pieces.empty())
        return "no piece was named";
    // Named as a split names them: the numbers run from 000 one by one.
    const std::string& first = pieces.front();
    const bool numbered =
        first.size() >= 7 && first.compare(first.size() - 4, 4, ".spt") == 0 &&
        std::all_of(first.end() - 7, first.end() - 4, [](char c) { return c >= '0' && c <= '9'; });
    const std::string stem = numbered ? first.substr(0, first.size() - 7) : std::string();
    std::error_code failed;
    for (size_t k = 0; k < pieces.size(); ++k) {
        const std::string& piece = pieces[k];
        if (numbered) {
            const std::string expected = PieceName(stem, static_cast<std::int64_t>(k));
            if (piece != expected && !sameFile(piece, expected)) {
                if (!fs::exists(expected, failed))
                    return "the piece " + expected + " is missing";
                return "the pieces must follow on from 000 one by one: " + expected +
                       " should come where " + piece + " is listed";
            }
        }
        if (!fs::is_regular_file(piece, failed))
            return "the piece " + piece +
                   (fs::exists(piece, failed) ? " is not a file" : " is missing");
    }
    return std::string();
}

JoinOutcome JoinFiles(const std::vector<std::string>& pieces, const std::string& target,
                      SplitterView& view)
{
    JoinOutcome outcome;
    if (target.empty()) {
        outcome.error = "no target file was named";
        return outcome;
    }
    for (const std::string& piece : pieces) {
        if (sameFile(piece, target)) {
            outcome.error = "the target " + target + " is one of the pieces to join";
            return outcome;
        }
    }
    std::error_code failed;
    if (fs::is_directory(target, failed)) {
        outcome.error = target + " is a folder";
        return outcome;
    }
    // Without one of its pieces the target would be a short file in the place of the old one.
    const auto missing = [&](const std::string& piece) {
        if (fs::exists(piece, failed))
            return false;
        outcome.missing.push_back(piece);
        outcome.error = "the piece " + piece + " is missing";
        view.pieceMissing(piece);
        return true;
    };
    for (const std::string& piece : pieces) {
        if (missing(piece))
            return outcome;
    }
    std::string temporary;
    File out = createTemporary(target, temporary, outcome.error);
    if (!out)
        return outcome;
    const auto fail = [&] {
        out.reset();
        removeFiles({temporary});
        return outcome;
    };

    const std::int64_t maximum = static_cast<std::int64_t>(pieces.size()) + 1;
    view.setProgress(0, maximum);
    double position = 0;
    for (const std::string& piece : pieces) {
        if (missing(piece))
            return fail();
        File in = openForReading(piece, outcome.error);
        if (!in)
            return fail();
        const std::int64_t size = static_cast<std::int64_t>(fs::file_size(piece, failed));
        const auto progress = [&](std::int64_t done) {
            const double part =
                failed || size <= 0 ? 0 : static_cast<double>(done) / static_cast<double>(size);
            view.setProgress(
                std::min(position + std::min(part, 1.0), static_cast<double>(maximum - 1)),
                maximum);
        };
        if (!copyBytes(in.get(), out.get(), -1, piece, target, progress, outcome.error))
            return fail();
        if (position < static_cast<double>(maximum - 1))
            position += 1;
        view.setProgress(position, maximum);
    }
    if (!closeWritten(out, target, outcome.error))
        return fail();
    fs::rename(temporary, target, failed);
    if (failed) {
        outcome.error = "cannot rename " + temporary + " to " + target + ": " + failed.message();
        removeFiles({temporary});
        return outcome;
    }
    view.setProgress(static_cast<double>(maximum), maximum);
    outcome.ok = true;
    return outcome;
}

} // namespace tw
