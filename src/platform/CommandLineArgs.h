// Splitting a Windows command line into its words, as CommandLineToArgvW and CreateProcess do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw::platform {

/// CommandLineToArgvW: the program name ends at the closing quote when it begins with one,
/// else at the first blank or tab; the other words follow the quote and backslash rules
/// (2n backslashes and a quote: n backslashes, the quote opens or closes; 2n+1 and a quote:
/// n backslashes and a literal quote; "" inside quotes: a literal quote). Empty for a line
/// of blanks.
std::vector<std::string> commandLineToArgv(std::string_view line);

/// The words after the program name, by the rules of the other words.
std::vector<std::string> splitArguments(std::string_view rest);

/// How CreateProcess may read the program name of a command line: each reading is the name
/// and the text after it. A quoted name has one reading; an unquoted one is tried up to each
/// blank in turn ("C:\Program", "C:\Program Files\App\un.exe", ...), the whole line last.
struct ProgramReading
{
    std::string program;
    std::string rest;
};
std::vector<ProgramReading> programReadings(std::string_view line);

} // namespace tw::platform
