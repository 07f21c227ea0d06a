#include "CommandLineArgs.h"

namespace tw::platform {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

size_t skipBlanks(std::string_view text, size_t i)
{
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

} // namespace

std::vector<std::string> splitArguments(std::string_view rest)
{
    std::vector<std::string> words;
    size_t i = skipBlanks(rest, 0);
    if (i == rest.size())
        return words;
    std::string word;
    bool quoted = false;
    size_t backslashes = 0;
    while (i < rest.size()) {
        const char c = rest[i];
        if (isBlank(c) && !quoted) {
            words.push_back(std::move(word));
            word.clear();
            backslashes = 0;
            i = skipBlanks(rest, i);
            if (i == rest.size())
                return words;
        } else if (c == '"') {
            // Backslashes before a quote escape each other, and an odd one the quote.
            word.resize(word.size() - backslashes / 2);
            if (backslashes % 2 == 1) {
                word.back() = '"';
            } else if (quoted && i + 1 < rest.size() && rest[i + 1] == '"') {
                word.push_back('"');
                ++i;
            } else {
                quoted = !quoted;
            }
            backslashes = 0;
            ++i;
        } else {
            word.push_back(c);
            backslashes = c == '\\' ? backslashes + 1 : 0;
            ++i;
        }
    }
    words.push_back(std::move(word));
    return words;
}

std::vector<ProgramReading> programReadings(std::string_view line)
{
    std::vector<ProgramReading> readings;
    const size_t start = skipBlanks(line, 0);
    if (start == line.size())
        return readings;
    if (line[start] == '"') {
        const size_t close = line.find('"', start + 1);
        if (close == std::string_view::npos)
            readings.push_back({std::string(line.substr(start + 1)), std::string()});
        else
            readings.push_back({std::string(line.substr(start + 1, close - start - 1)),
                                std::string(line.substr(close + 1))});
        return readings;
    }
    for (size_t i = start; i <= line.size(); ++i) {
        if (i == line.size() || isBlank(line[i])) {
            if (i > start && !isBlank(line[i - 1]))
                readings.push_back(
                    {std::string(line.substr(start, i - start)), std::string(line.substr(i))});
        }
    }
    return readings;
}

std::vector<std::string> commandLineToArgv(std::string_view line)
{
    const std::vector<ProgramReading> readings = programReadings(line);
    if (readings.empty())
        return {};
    std::vector<std::string> argv{readings.front().program};
    for (std::string& word : splitArguments(readings.front().rest))
        argv.push_back(std::move(word));
    return argv;
}

} // namespace tw::platform
