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

bool isUncheckablePath(std::string_view path)
{
    return path.find("\\\\") != std::string_view::npos ||
           upperCase(path).find("A:") != std::string::npos ||
           !IsCheckablePath(ExcludedDrives, path);
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
