// Text tests the section scans share.
#pragma once

#include "registry/Session.h"

#include <array>
#include <string>
#include <string_view>

namespace tw::sections {

/// The text with its ASCII letters in upper case.
std::string upperCase(std::string_view text);
/// True for the same text, ASCII letters compared without regard to case.
bool equalsNoCase(std::string_view a, std::string_view b);
/// True when `part` occurs in `text`, ASCII letters compared without regard to case.
bool containsNoCase(std::string_view text, std::string_view part);
/// `text` without the spaces, tabs and line breaks at either end.
std::string_view trimmed(std::string_view text);

/// A set of bytes to look for in a text, tested by table rather than one search per byte.
class ByteSet
{
public:
    constexpr explicit ByteSet(std::string_view bytes)
    {
        for (char c : bytes)
            m_in[static_cast<unsigned char>(c)] = true;
    }
    /// The position of the first byte of `text` in the set, or npos (as find_first_of).
    constexpr size_t findIn(std::string_view text) const
    {
        for (size_t i = 0; i < text.size(); ++i) {
            if (m_in[static_cast<unsigned char>(text[i])])
                return i;
        }
        return std::string_view::npos;
    }
    /// The position of the last byte of `text` in the set, or npos (as find_last_of).
    constexpr size_t findLastIn(std::string_view text) const
    {
        for (size_t i = text.size(); i > 0; --i) {
            if (m_in[static_cast<unsigned char>(text[i - 1])])
                return i - 1;
        }
        return std::string_view::npos;
    }
    /// The position of the first byte from `from` on that is not in the set, or npos (as
    /// find_first_not_of).
    constexpr size_t findOutside(std::string_view text, size_t from = 0) const
    {
        for (size_t i = from; i < text.size(); ++i) {
            if (!m_in[static_cast<unsigned char>(text[i])])
                return i;
        }
        return std::string_view::npos;
    }

private:
    std::array<bool, 256> m_in{};
};
/// Two backslashes in a row (a network name), "A:" in any case, or an excluded drive.
bool isUncheckablePath(const Session& session, std::string_view path);

/// The folder part of a path: up to and including its last "\" or ":".
std::string ExtractFilePath(std::string_view path);
/// The file-name part: everything after the last "\" or ":".
std::string ExtractFileName(std::string_view path);
/// The extension: from the last "." on, when it follows the last "\" and ":"; else empty.
std::string ExtractFileExt(std::string_view path);
/// Every occurrence of `part` removed (exact case).
std::string removeAll(std::string text, std::string_view part);
/// Every occurrence of `from` replaced by `to` (exact case), left to right.
std::string replaceAll(std::string text, std::string_view from, std::string_view to);

} // namespace tw::sections
