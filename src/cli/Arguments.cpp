#include "Arguments.h"

#include "CliError.h"

#include <algorithm>

namespace tw::cli {

Arguments Arguments::parse(const std::vector<std::string>& words,
                           const std::vector<OptionSpec>& options)
{
    Arguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 3 || word.compare(0, 2, "--") != 0) {
            if (word == "--" && !optionsEnded)
                optionsEnded = true;
            else
                parsed.m_positional.push_back(word);
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name =
            word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const auto option = std::find_if(options.begin(), options.end(),
                                       [&](const OptionSpec& o) { return o.name == name; });
        if (option == options.end())
            throw UsageError("unknown option --" + name);
        std::string value;
        if (option->valueName.empty()) {
            if (equals != std::string::npos)
                throw UsageError("--" + name + " takes no value");
        } else if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            throw UsageError("--" + name + " needs " + std::string(option->valueName));
        }
        parsed.m_options.emplace_back(name, std::move(value));
    }
    return parsed;
}

bool Arguments::has(std::string_view name) const
{
    return std::any_of(m_options.begin(), m_options.end(),
                       [&](const auto& option) { return option.first == name; });
}

std::optional<std::string> Arguments::value(std::string_view name) const
{
    for (auto it = m_options.rbegin(); it != m_options.rend(); ++it) {
        if (it->first == name)
            return it->second;
    }
    return std::nullopt;
}

std::uint64_t parseNumber(std::string_view text, std::uint64_t min, std::uint64_t max,
                          std::string_view what)
{
    std::uint64_t number = 0;
    // No sign, blank or leading zero: "01" and " 1" are not taken for 1.
    bool fits = !text.empty() && (text.size() == 1 || text[0] != '0');
    for (const char c : text) {
        if (c < '0' || c > '9' || number > (UINT64_MAX - static_cast<unsigned>(c - '0')) / 10) {
            fits = false;
            break;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (fits && number >= min && number <= max)
        return number;
    const std::string range = max < min ? std::string("there is none")
                                        : std::to_string(min) + " to " + std::to_string(max);
    throw UsageError("\"" + std::string(text) + "\" is not " + std::string(what) + " (" + range +
                     ")");
}

} // namespace tw::cli
