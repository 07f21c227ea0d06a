#include "SectionText.h"

#include "registry/PublicFunctions.h"

#include <algorithm>
#include <cctype>

namespace tw::sections {

std::string upperCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

bool containsNoCase(std::string_view text, std::string_view part)
{
    return upperCase(text).find(upperCase(part)) != std::string::npos;
}

std::string trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::string();
    const size_t last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

bool isUncheckablePath(const Session& session, std::string_view path)
{
    return path.find("\\\\") != std::string_view::npos ||
           upperCase(path).find("A:") != std::string::npos ||
           !IsCheckablePath(session.ExcludedDrives, path);
}

std::string ExtractFilePath(std::string_view path)
{
    const size_t sep = path.find_last_of("\\:");
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string ExtractFileName(std::string_view path)
{
    const size_t sep = path.find_last_of("\\:");
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string ExtractFileExt(std::string_view path)
{
    const size_t dot = path.rfind('.');
    const size_t sep = path.find_last_of("\\:");
    if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep))
        return std::string();
    return std::string(path.substr(dot));
}

std::string removeAll(std::string text, std::string_view part)
{
    if (part.empty())
        return text;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at))
        text.erase(at, part.size());
    return text;
}

bool openValueList(TRegistry& reg, win::HKEY root, std::string_view keyPath,
                   std::vector<std::string>& names)
{
    reg.SelectRoot(root);
    if (!reg.OpenPath(keyPath, false))
        return false;
    reg.ListValues(names);
    return true;
}

} // namespace tw::sections
