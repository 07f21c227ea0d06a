// UTF-8 text of the domain to the UTF-16 of the W calls and back, and the system's words for
// an error code.
#pragma once

#include <string>
#include <string_view>

namespace tw::win32 {

std::wstring toWide(std::string_view text);
std::string fromWide(std::wstring_view text);
/// A NUL-terminated wide string as UTF-8 (empty for null).
std::string fromWide(const wchar_t* text);

/// FormatMessage's text for a Win32 error code, without the line break it ends with;
/// "error N" when the system has none.
std::string errorText(unsigned long code);
/// errorText(GetLastError()).
std::string lastErrorText();

} // namespace tw::win32
