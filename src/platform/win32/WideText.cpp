#include "WideText.h"

#include "platform/TextCodec.h"

#include <windows.h>

namespace tw::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring toWide(std::string_view text)
{
    const std::u16string wide = platform::utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::string fromWide(std::wstring_view text)
{
    return platform::utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::string fromWide(const wchar_t* text)
{
    return text ? fromWide(std::wstring_view(text)) : std::string();
}

std::string errorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length ? fromWide(std::wstring_view(buffer, length)) : std::string();
    LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

std::string lastErrorText()
{
    return errorText(GetLastError());
}

} // namespace tw::win32
