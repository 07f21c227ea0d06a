#include "JunkFileTypes.h"

#include "RecordStream.h"
#include "platform/TempFile.h"
#include "platform/TextCodec.h"
#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"

#include <stdexcept>

namespace tw {

namespace {

/// The built-in types as the program keeps them (pattern, comma, blanks, description), and
/// whether a new list ticks them: types that match documents programs ship or users write
/// (read-me files, descriptions, logs) start unticked.
struct BuiltInType
{
    std::string_view text;
    bool ticked;
};
const BuiltInType kBuiltInTypes[] = {
    {"*.swp,  Temporary Junk Files", true},
    {"*.$$$,  Temporary Junk Files", true},
    {"*.~*,  Temporary Junk Files", true},
    {"*.___,  Temporary Junk Files", true},
    {"*.^,  Temporary Junk Files", true},
    {"*.tmp,  Temporary Junk Files", true},
    {"*.temp,  Temporary Junk Files", true},
    {"*.---,  Temporary Junk Files", true},
    {"~*.*,  Temporary Junk Files", true},
    {"*.??~,  Temporary Junk Files", true},
    {"*.db$,  Temporary Files (Database)", true},
    {"*.nch,  Temporary Files created by Outlook Express", true},
    {"*.pch,  Visual Studio Temporary Files", true},
    {"*.ncb,  Visual Studio Temporary Files", true},
    {"*.ilk,  Visual Studio Temporary Files", true},
    {"*.exp,  Visual Studio Temporary Files", true},
    {"*.ilc,  C++ Builder Temporary Files", true},
    {"*.ild,  C++ Builder Temporary Files", true},
    {"*.ils,  C++ Builder Temporary Files", true},
    {"*.ilf,  C++ Builder Temporary Files", true},
    {"*.tds,  C++ Builder Temporary Files", true},
    {"iebak.dat,  Internet Explorer Junk File", true},
    {"ffastun.*,  Microsoft Find Fast Indexer File", true},
    {"chklist.*,  Microsoft Junk File", true},
    {"*.sik,  junk files...", true},
    {"*.gid,  Windows Help Index Files", true},
    {"*.fts,  Word List File of *.HLP", true},
    {"*.ftg,  Word List File of *.HLP", true},
    {"*.err,  Error Files", true},
    {"*.dmp,  Memory Dump - Junk Files", true},
    {"*.chk,  CHKDSK Log Files", true},
    {"chklist.*,  CHKDSK Log Files", true},
    {"file????._dd,  CHKDSK Log Files", true},
    {"*.diz,  Description Files", false},
    {"*.log,  Log File", false},
    {"*.prv,  Backup Files", true},
    {"*.old,  Backup Files", true},
    {"*.bak,  Backup Files", true},
    {"*.nu3,  Symantec Norton Utilities Backup File", true},
    {"system.1st,  Windows diagnostic Registry file", true},
    {"suhdlog.dat,  Windows diagnostic file", true},
    {"modemdet.txt, Windows diagnostic file", true},
    {"twain???.mtx,  TWAIN Temporary file", true},
    {"thumbs.db,  ThumbNails created by Windows", true},
    {"mscreate.dir,  Microsoft Temporary Installation Files", true},
    {"*.wri,  Readme Files", false},
    {"readme.txt,  Readme Files", false},
};

/// The first `max` bytes of a text, shortened to the start of a UTF-8 sequence it would cut.
std::string_view cut(std::string_view text, size_t max)
{
    if (text.size() <= max)
        return text;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

/// Without leading and trailing blanks and control characters.
std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

void putText(unsigned char* at, std::string_view text)
{
    at[0] = static_cast<unsigned char>(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        at[1 + i] = static_cast<unsigned char>(text[i]);
}

std::string getText(const unsigned char* at)
{
    const size_t length = std::min<size_t>(at[0], kJunkTextMax);
    return std::string(reinterpret_cast<const char*>(at + 1), length);
}

} // namespace

TJunkFileType MakeJunkFileType(std::uint8_t checked, std::string_view pattern,
                               std::string_view description)
{
    return {checked, std::string(cut(pattern, kJunkTextMax)),
            std::string(cut(description, kJunkTextMax))};
}

JunkRecord EncodeJunkRecord(const TJunkFileType& type)
{
    JunkRecord record{};
    record[0] = type.Checked;
    putText(record.data() + 1, cut(type.Pattern, kJunkTextMax));
    putText(record.data() + 2 + kJunkTextMax, cut(type.Description, kJunkTextMax));
    return record;
}

TJunkFileType DecodeJunkRecord(const unsigned char* bytes)
{
    TJunkFileType type;
    type.Checked = bytes[0];
    type.Pattern = getText(bytes + 1);
    type.Description = getText(bytes + 2 + kJunkTextMax);
    return type;
}

std::string JunkTextForShowing(std::string_view text, unsigned codePage)
{
    if (platform::isUtf8(text))
        return std::string(text);
    try {
        return platform::codePageToUtf8(text, codePage);
    } catch (const std::exception&) {
        // A code page this system cannot read: what cannot be shown is replaced.
        return platform::utf16ToUtf8(platform::utf8ToUtf16(text));
    }
}

const std::vector<std::string_view>& BuiltInJunkTexts()
{
    static const std::vector<std::string_view> texts = [] {
        std::vector<std::string_view> all;
        for (const BuiltInType& type : kBuiltInTypes)
            all.push_back(type.text);
        return all;
    }();
    return texts;
}

void BuildDefaultFileTypes(FileTypeList& list)
{
    for (const auto& [text, ticked] : kBuiltInTypes) {
        const std::string pattern(text.substr(0, text.find(',')));
        // The description is what is left once every "pattern," is taken out.
        std::string rest(text);
        const std::string remove = pattern + ",";
        for (size_t at = rest.find(remove); at != std::string::npos; at = rest.find(remove, at))
            rest.erase(at, remove.size());
        list.push_back(MakeJunkFileType(ticked ? 1 : 0, pattern, trimmed(rest)));
    }
}

std::string FileListPath()
{
    return std::string(kProgramFolder) + "\\FileList";
}

bool FileListExists(const Session& session)
{
    return session.files().fileExists(FileListPath());
}

std::string LoadFileTypes(const Session& session, FileTypeList& list, bool storeBuiltIn)
{
    list.clear();
    if (!FileListExists(session)) {
        BuildDefaultFileTypes(list);
        // The built-in list is stored only where it may be; it is used all the same.
        const bool store = storeBuiltIn && session.changeRefusal().empty();
        return store ? SaveFileTypes(session, list) : std::string();
    }
    try {
        TRecordStream stream(session.files(), FileListPath(), TRecordStream::Mode::Read);
        if (stream.RecordCount() > 0) {
            stream.FirstRecord();
            JunkRecord buffer{};
            for (;;) {
                if (stream.RecordCount() < stream.CurrentRecord())
                    break;
                stream.ReadRecord(buffer.data());
                list.push_back(DecodeJunkRecord(buffer.data()));
                if (stream.CurrentRecord() == stream.RecordCount())
                    break;
                stream.NextRecord();
            }
        }
    } catch (const std::exception& e) {
        return e.what();
    }
    return std::string();
}

std::string SaveFileTypes(const Session& session, const FileTypeList& list)
{
    if (std::string refusal = session.changeRefusal(); !refusal.empty())
        return "The junk file types were not saved. " + refusal;
    platform::Files& files = session.files();
    const std::string path = FileListPath();
    if (!CreateFolderChain(files, kProgramFolder)) {
        const std::string reason = files.lastErrorText();
        return "Cannot create the folder \"" + std::string(kProgramFolder) + "\"." +
               (reason.empty() ? "" : " " + reason);
    }
    try {
        platform::TempFile temporary(files, session.processes(), path);
        {
            TRecordStream stream(temporary.stream());
            for (const TJunkFileType& type : list)
                stream.AppendRecord(EncodeJunkRecord(type).data());
        }
        if (!temporary.moveTo(path, true)) {
            const std::string reason = files.lastErrorText();
            return "Cannot write \"" + path + "\"." + (reason.empty() ? "" : " " + reason);
        }
    } catch (const std::exception& e) {
        return e.what();
    }
    return std::string();
}

} // namespace tw
