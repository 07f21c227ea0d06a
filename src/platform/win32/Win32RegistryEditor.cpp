#include "Win32RegistryEditor.h"

#include "UniqueHandle.h"
#include "WideText.h"
#include "Win32Registry.h"
#include "platform/RegFile.h"

#include <filesystem>
#include <windows.h>

namespace tw::win32 {

using platform::RegistryEditorError;

namespace {

/// A temporary file beside the target, deleted unless it was moved into place.
class TempBeside
{
public:
    explicit TempBeside(const std::wstring& target)
    {
        std::wstring folder = std::filesystem::path(target).parent_path().wstring();
        if (folder.empty())
            folder = L".";
        wchar_t name[MAX_PATH];
        if (GetTempFileNameW(folder.c_str(), L"twr", 0, name) == 0)
            throw RegistryEditorError("Cannot write " + fromWide(target) + ": " + lastErrorText());
        m_path = name;
    }
    TempBeside(const TempBeside&) = delete;
    TempBeside& operator=(const TempBeside&) = delete;
    ~TempBeside()
    {
        if (!m_path.empty())
            DeleteFileW(m_path.c_str());
    }
    const std::wstring& path() const { return m_path; }
    void kept() { m_path.clear(); }

private:
    std::wstring m_path;
};

} // namespace

Win32RegistryEditor::Win32RegistryEditor(Win32Registry& registry) : m_registry(registry) {}

void Win32RegistryEditor::exportToFile(std::string_view file, std::string_view key,
                                       platform::RegFileFormat format)
{
    exportToHostFile(std::string(file), key, format);
}

void Win32RegistryEditor::importFile(std::string_view file)
{
    importHostFile(std::string(file));
}

void Win32RegistryEditor::exportToHostFile(const std::string& hostFile, std::string_view key,
                                           platform::RegFileFormat format)
{
    const std::wstring target = toWide(hostFile);
    const unsigned codePage = platform::ansiCodePage(m_registry);
    TempBeside temp(target);
    {
        KernelHandle out(CreateFileW(temp.path().c_str(), GENERIC_WRITE, 0, nullptr,
                                     TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.valid())
            throw RegistryEditorError("Cannot write " + hostFile + ": " + lastErrorText());
        const auto fail = [&] {
            return RegistryEditorError("Cannot write " + hostFile + ": " + lastErrorText());
        };
        platform::exportRegFile(
            m_registry, key, format, codePage, [&](const platform::RegFilePiece& piece) {
                std::string_view bytes = piece.bytes;
                while (!bytes.empty()) {
                    DWORD written = 0;
                    const DWORD chunk = DWORD(std::min<size_t>(bytes.size(), 1u << 30));
                    if (!WriteFile(out.get(), bytes.data(), chunk, &written, nullptr))
                        throw fail();
                    bytes.remove_prefix(written);
                }
            });
        if (!FlushFileBuffers(out.get()) || !out.close())
            throw fail();
    }
    if (!MoveFileExW(temp.path().c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw RegistryEditorError("Cannot write " + hostFile + ": " + lastErrorText());
    temp.kept();
}

void Win32RegistryEditor::importHostFile(const std::string& hostFile)
{
    const std::wstring path = toWide(hostFile);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw RegistryEditorError(hostFile +
                                  " is a folder, not a registry file; nothing was imported");
    std::string bytes;
    {
        KernelHandle in(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!in.valid())
            throw RegistryEditorError("Cannot open " + hostFile + ": " + lastErrorText());
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(in.get(), &size))
            throw RegistryEditorError("Cannot read " + hostFile + ": " + lastErrorText());
        bytes.resize(size_t(size.QuadPart));
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD got = 0;
            const DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 30));
            if (!ReadFile(in.get(), bytes.data() + done, chunk, &got, nullptr))
                throw RegistryEditorError("Cannot read " + hostFile + ": " + lastErrorText());
            if (got == 0)
                break;
            done += got;
        }
        bytes.resize(done);
    }

    std::vector<platform::RegFileOperation> operations;
    try {
        operations = platform::parseRegFile(bytes, platform::ansiCodePage(m_registry));
    } catch (const RegistryEditorError& e) {
        throw RegistryEditorError(hostFile + " " + e.what() + "; nothing was imported");
    }
    // Refused whole where the rights are missing, before anything changes.
    for (const platform::RegFileOperation& operation : operations) {
        if (std::string refusal = administratorRefusalUnder(operation.key.root); !refusal.empty())
            throw RegistryEditorError(hostFile + ": " + refusal + "; nothing was imported");
    }
    // All or nothing: a failure undoes what this import changed.
    const size_t mark = m_registry.journalSize();
    try {
        platform::applyRegFile(m_registry, operations);
    } catch (const RegistryEditorError& e) {
        const bool undone = m_registry.rollbackTo(mark);
        throw RegistryEditorError(
            hostFile + " " + e.what() +
            (undone ? "; nothing was imported" : "; some of its changes could not be undone"));
    }
}

} // namespace tw::win32
