// The junk file types: the record, the built-in list and the record file "FileList".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class Session;

/// Bytes of one record: the flag, then two texts of a length byte and 100 characters.
inline constexpr int kJunkRecordSize = 203;
/// Characters a record keeps of a text.
inline constexpr size_t kJunkTextMax = 100;

/// One junk file type: a pattern ("thumbs.db", "*.tmp"), what it is, and whether it is
/// searched for. The texts hold at most kJunkTextMax characters (MakeJunkFileType cuts).
struct TJunkFileType
{
    std::uint8_t Checked = 1;
    std::string Pattern;
    std::string Description;

    bool operator==(const TJunkFileType&) const = default;
};

using FileTypeList = std::vector<TJunkFileType>;
using JunkRecord = std::array<unsigned char, kJunkRecordSize>;

/// A record with both texts cut to their first 100 characters (never inside a UTF-8
/// sequence).
TJunkFileType MakeJunkFileType(std::uint8_t checked, std::string_view pattern,
                               std::string_view description);
/// The record's file form; the bytes past each text's length are zeros.
JunkRecord EncodeJunkRecord(const TJunkFileType& type);
/// A record read from the file: the flag byte as it is, a length above 100 taken as 100.
TJunkFileType DecodeJunkRecord(const unsigned char* bytes);

/// A text of a record as UTF-8 for showing: as it is when it is UTF-8, else read in
/// `codePage` (the ANSI code page of the prefix: a FileList written on Windows holds its
/// bytes). The record itself is never changed.
std::string JunkTextForShowing(std::string_view text, unsigned codePage);

/// The 47 built-in texts ("*.swp,  Temporary Junk Files"), in list order.
const std::vector<std::string_view>& BuiltInJunkTexts();
/// Appends the 47 built-in types, ticked but for those that match documents (*.diz, *.log,
/// *.wri, readme.txt).
void BuildDefaultFileTypes(FileTypeList& list);

/// C:\Program Files\Tidewell\FileList.
std::string FileListPath();
bool FileListExists(const Session& session);

/// Fills `list` from "FileList", or with the built-in types when the file does not exist
/// (and, when `storeBuiltIn` is set and the prefix may be changed, writes them to the file).
/// Returns an error text that names the file and the reason when it cannot be read or written;
/// empty on success.
std::string LoadFileTypes(const Session& session, FileTypeList& list, bool storeBuiltIn);
/// Writes "FileList" from `list`, whole or not at all (a temporary file renamed over it);
/// the program folder is made when it is missing. Refused, with nothing written, while the
/// prefix may not be changed. Returns an error text, empty on success.
std::string SaveFileTypes(const Session& session, const FileTypeList& list);

} // namespace tw
