// The one argument parser of the command line: options with or without a value, and the
// plain words in between.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::cli {

struct OptionSpec
{
    /// Without the leading dashes ("sections").
    std::string_view name;
    /// The value's placeholder ("LIST"); empty for a flag.
    std::string_view valueName;
};

/// Parsed words: "--name VALUE" and "--name=VALUE" for options with a value, "--name" for
/// flags, "--" ends the options. An option that is not declared, a flag given a value or an
/// option missing its value is a UsageError.
class Arguments
{
public:
    Arguments() = default;
    static Arguments parse(const std::vector<std::string>& words,
                           const std::vector<OptionSpec>& options);

    bool has(std::string_view name) const;
    /// The value of the last occurrence of an option.
    std::optional<std::string> value(std::string_view name) const;
    const std::vector<std::string>& positional() const { return m_positional; }
    const std::string& at(size_t index) const { return m_positional.at(index); }
    size_t count() const { return m_positional.size(); }

private:
    std::vector<std::pair<std::string, std::string>> m_options;
    std::vector<std::string> m_positional;
};

/// `text` as a whole number from `min` to `max`: decimal digits alone, no sign, blank,
/// leading zero or other character. Otherwise a UsageError that names `what` ("a type number") and
/// the range.
std::uint64_t parseNumber(std::string_view text, std::uint64_t min, std::uint64_t max,
                          std::string_view what);

} // namespace tw::cli
