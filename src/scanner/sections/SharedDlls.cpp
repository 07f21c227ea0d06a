#include "SharedDlls.h"

#include "FileView.h"
#include "SectionLoops.h"
#include "SectionText.h"
#include "platform/Platform.h"
#include "registry/PublicFunctions.h"
#include "registry/RegistryView.h"
#include "registry/TRegistry.h"

#include <cerrno>
#include <cstdlib>

namespace tw {

namespace {

/// A whole signed decimal number (leading blanks allowed), 0 for anything else.
int parseCount(const std::string& text)
{
    const std::string number(sections::trimmed(text));
    if (number.empty() || number.find_first_not_of("+-0123456789") != std::string::npos)
        return 0;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(number.c_str(), &end, 10);
    if (errno || *end || value < INT32_MIN || value > INT32_MAX)
        return 0;
    return static_cast<int>(value);
}

/// The reference count a value holds, by its type (-1 for types that hold none).
int referenceCount(TRegistry& reg, const std::string& name)
{
    switch (reg.ValueType(name)) {
    case rdString:
    case rdExpandString:
        return parseCount(reg.ReadText(name));
    case rdInteger:
        return reg.ReadNumber(name);
    case rdBinary: {
        // A count stored as bytes: read as the little-endian number it holds.
        unsigned char data[4] = {};
        const int size = reg.ValueSize(name);
        if (size <= 0)
            return 0;
        std::string buffer(static_cast<size_t>(size), '\0');
        reg.ReadBytes(name, buffer.data(), size);
        for (int i = 0; i < 4 && i < size; ++i)
            data[i] = static_cast<unsigned char>(buffer[static_cast<size_t>(i)]);
        return static_cast<int>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                (static_cast<unsigned>(data[3]) << 24));
    }
    default:
        return -1;
    }
}

/// The values of one view's SharedDlls key.
void scanSharedDllsKey(ScanContext& context, const sections::FileView& files, win::HKEY root,
                       const std::string& keyPath, TRegistryContents& contents)
{
    Session& session = context.session();
    TRegistry reg(session);
    std::vector<std::string> names;
    if (!sections::openValueList(reg, root, keyPath, names))
        return;
    const std::string recordKey = RootKeyName(root) + "\\" + keyPath;
    sections::forEachItem(context, names, sections::kEachItem, {}, [&](const std::string& name) {
        const int count = referenceCount(reg, name);
        context.status(name);
        const std::string upper = sections::upperCase(name);
        if (upper.find(".SYS") != std::string::npos || upper.find(".VXD") != std::string::npos)
            return sections::Next::GoQuietly;
        if (sections::isUncheckablePath(session, name) || (count != 0 && files.fileExists(name)) ||
            name.find("msoe.dll") != std::string::npos)
            return sections::Next::Go;
        context.addRecord(contents, recordKey, "SharedDlls", name, std::to_string(count));
        return sections::Next::Go;
    });
}

} // namespace

void ScanSharedDlls(ScanContext& context, TRegistryContents& contents, std::string_view keyPath,
                    win::HKEY root)
{
    sections::scanKeyViews(context, contents, keyPath, root, scanSharedDllsKey);
}

} // namespace tw
