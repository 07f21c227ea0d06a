#include "Uninstall.h"

#include "FileView.h"
#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/RegistryView.h"
#include "registry/TRegistry.h"

namespace tw {

namespace {

constexpr sections::ByteSet
    kAllowed("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.0123456789");

/// Text from 1-based position `from` (below 1 counts as 1), `count` characters at most.
std::string copyFrom(const std::string& text, long from, size_t count = std::string::npos)
{
    const size_t start = from < 1 ? 0 : static_cast<size_t>(from - 1);
    return start >= text.size() ? std::string() : text.substr(start, count);
}

std::string extractProgramPath(const FileExists& fileExists, const std::string& text, int depth,
                               const std::function<std::string(const std::string&)>& prepare)
{
    const std::string commandLine = prepare ? prepare(text) : text;
    if (fileExists(commandLine))
        return commandLine;
    const size_t colon = commandLine.find(':');
    const long c1 = colon == std::string::npos ? 0 : static_cast<long>(colon) + 1;
    // The next colon after the first.
    const size_t second =
        static_cast<size_t>(c1) < commandLine.size()
            ? std::string_view(commandLine).substr(static_cast<size_t>(c1)).find(':')
            : std::string_view::npos;
    if (second == std::string::npos) {
        const std::string folder = sections::ExtractFilePath(commandLine);
        const std::string rest = sections::removeAll(commandLine, folder);
        const size_t dot = rest.find('.');
        const size_t stop = kAllowed.findOutside(rest, dot == std::string::npos ? 0 : dot);
        const std::string cut = stop == std::string::npos ? rest : rest.substr(0, stop);
        return copyFrom(folder + cut, c1 - 1);
    }
    const long c2 = static_cast<long>(second) + 1;
    const std::string program = copyFrom(commandLine, c1 - 1, static_cast<size_t>(c2 + 1));
    if (sections::ExtractFileExt(program).size() > 4 && depth < 8)
        return extractProgramPath(fileExists, program, depth + 1, prepare);
    return program;
}

/// The programs listed in one view's Uninstall key.
void scanUninstallKey(ScanContext& context, const sections::FileView& files, win::HKEY root,
                      const std::string& keyPath, TRegistryContents& contents)
{
    Session& session = context.session();
    const auto names = sections::subkeyNames(session, root, keyPath);
    if (!names)
        return;
    const FileExists fileExists = [&](const std::string& path) { return files.fileExists(path); };
    sections::forEachItem(
        context, *names, sections::kEachItem, [](const std::string& name) { return name; },
        [&](const std::string& name) {
            TRegistry reg(session);
            reg.SelectRoot(root);
            if (!reg.OpenPath(keyPath + "\\" + name, false))
                return sections::Next::Go;
            const std::string command = sections::removeAll(
                reg.ReadTextValue("UninstallString").value_or(std::string()), "\"");
            if (!command.empty() && command.find(':') != std::string::npos &&
                !sections::isUncheckablePath(session, command) &&
                !fileExists(ExtractProgramPath(fileExists, command)))
                context.addRecord(contents, RootKeyName(root) + "\\" + keyPath + "\\" + name, name,
                                  "UninstallString", command);
            return sections::Next::Go;
        });
}

} // namespace

std::string ExtractProgramPath(const FileExists& fileExists, const std::string& commandLine)
{
    return extractProgramPath(fileExists, commandLine, 0, {});
}

std::string ExtractProgramPathWith(const FileExists& fileExists, const std::string& commandLine,
                                   const std::function<std::string(const std::string&)>& prepare)
{
    return extractProgramPath(fileExists, commandLine, 0, prepare);
}

void ScanUninstall(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                   win::HKEY root)
{
    sections::scanKeyViews(context, contents, keyPath, root, scanUninstallKey);
}

} // namespace tw
