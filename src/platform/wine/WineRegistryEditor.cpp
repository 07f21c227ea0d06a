#include "WineRegistryEditor.h"

#include "AtomicFile.h"
#include "HiveStore.h"
#include "WineRegistry.h"
#include "platform/RegFile.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tw::wine {

using platform::RegistryEditorError;

WineRegistryEditor::WineRegistryEditor(WineRegistry& registry, HiveStore& store,
                                       const WinePathMapper& paths)
    : m_registry(registry), m_store(store), m_paths(paths)
{
}

std::string WineRegistryEditor::hostPathOf(std::string_view file) const
{
    const std::optional<std::string> host = m_paths.toHost(file);
    if (!host)
        throw RegistryEditorError("The path " + std::string(file) + " is on no drive");
    return *host;
}

void WineRegistryEditor::exportToFile(std::string_view file, std::string_view key,
                                      platform::RegFileFormat format)
{
    exportToHostFile(hostPathOf(file), key, format);
}

void WineRegistryEditor::importFile(std::string_view file)
{
    importHostFile(hostPathOf(file));
}

void WineRegistryEditor::exportToHostFile(const std::string& hostFile, std::string_view key,
                                          platform::RegFileFormat format)
{
    // REGEDIT4 files are in the prefix's ANSI code page, as Wine's regedit writes them.
    const unsigned codePage = platform::ansiCodePage(m_registry);
    try {
        writeFileAtomically(hostFile, [&](const std::function<void(std::string_view)>& sink) {
            platform::exportRegFile(
                m_registry, key, format, codePage,
                [&](const platform::RegFilePiece& piece) { sink(piece.bytes); });
        });
    } catch (const std::system_error& e) {
        throw RegistryEditorError("Cannot write " + hostFile + ": " + e.code().message());
    }
}

void WineRegistryEditor::refuseKeysOfNoHive(
    const std::vector<platform::RegFileOperation>& operations) const
{
    using Kind = platform::RegFileOperation::Kind;
    for (const platform::RegFileOperation& op : operations) {
        if (op.key.root != win::HKEY_USERS || op.kind == Kind::DeleteKey ||
            op.kind == Kind::DeleteValue)
            continue;
        const std::string_view top =
            std::string_view(op.key.subKey)
                .substr(0, std::min(op.key.subKey.find('\\'), op.key.subKey.size()));
        if (top.empty() && op.kind == Kind::CreateKey)
            continue;
        const HiveKey* user =
            top.empty() ? nullptr : m_store.usersKey()->findSubkey(platform::utf8ToUtf16(top));
        if (user && user->hiveBase())
            continue;
        std::string held;
        for (const HiveKey* key : m_store.usersKey()->subkeys()) {
            if (key->hiveBase())
                held +=
                    (held.empty() ? "" : " and ") + op.key.rootName + "\\" + key->name().toUtf8();
        }
        throw RegistryEditorError("line " + std::to_string(op.line) +
                                  ": no registry file of this prefix holds " + op.key.rootName +
                                  (top.empty() ? "" : "\\" + std::string(top)) +
                                  ", so Wine would not keep it (the prefix keeps " + held + ")");
    }
}

void WineRegistryEditor::importHostFile(const std::string& hostFile)
{
    std::error_code error;
    if (std::filesystem::is_directory(hostFile, error))
        throw RegistryEditorError(hostFile +
                                  " is a folder, not a registry file; nothing was imported");
    std::ifstream in(hostFile, std::ios::binary);
    if (!in)
        throw RegistryEditorError("Cannot open " + hostFile);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw RegistryEditorError("Cannot read " + hostFile);

    std::vector<platform::RegFileOperation> operations;
    try {
        operations = platform::parseRegFile(bytes.str(), platform::ansiCodePage(m_registry));
        refuseKeysOfNoHive(operations);
    } catch (const RegistryEditorError& e) {
        throw RegistryEditorError(hostFile + " " + e.what() + "; nothing was imported");
    }
    if (m_store.isReadOnly())
        throw RegistryEditorError(m_store.readOnlyReason());
    const bool hadChanges = m_store.hasUnsavedChanges();
    try {
        platform::applyRegFile(m_registry, operations);
    } catch (const RegistryEditorError& e) {
        // All or nothing: forget what this import changed.
        if (!hadChanges)
            m_store.revert();
        throw RegistryEditorError(hostFile + " " + e.what() +
                                  (hadChanges ? "" : "; nothing was imported"));
    }
}

} // namespace tw::wine
