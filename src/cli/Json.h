// A small JSON writer for --json output.
#pragma once

#include <concepts>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::cli {

/// The text, or none (written as null) when it is empty.
inline std::optional<std::string_view> nonEmpty(std::string_view text)
{
    return text.empty() ? std::nullopt : std::optional(text);
}

/// Writes one JSON value on one line, in the layout every command prints: `{"a": 1, "b": [1,
/// 2]}` (a space after ':' and ','). Separators come by themselves; a call out of place (a key
/// in an array, a value without a key in an object, an unbalanced end, a second top-level
/// value) throws std::logic_error.
class JsonWriter
{
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    /// The next member's name; the value follows with value(), begin*() or null().
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(const std::string& text) { return value(std::string_view(text)); }
    JsonWriter& value(double number);
    JsonWriter& null();
    /// Integers in decimal, bool as true/false (char is text, not a number: pass a string).
    template <std::integral T>
    requires(!std::same_as<T, char>) JsonWriter& value(T number)
    {
        if constexpr (std::same_as<T, bool>)
            return literal(number ? "true" : "false");
        else if constexpr (std::is_signed_v<T>)
            return literal(std::to_string(static_cast<long long>(number)));
        else
            return literal(std::to_string(static_cast<unsigned long long>(number)));
    }
    /// The value, or null when there is none.
    template <typename T> JsonWriter& value(const std::optional<T>& maybe)
    {
        return maybe ? value(*maybe) : null();
    }
    /// A number already in text (such as a table column); throws std::invalid_argument when the
    /// text is not a JSON number.
    JsonWriter& numberText(std::string_view text);

    /// key(name) then value(v).
    template <typename T> JsonWriter& field(std::string_view name, const T& v)
    {
        return key(name).value(v);
    }
    /// An array of the given values under `name`.
    template <typename T> JsonWriter& array(std::string_view name, const std::vector<T>& values)
    {
        key(name).beginArray();
        for (const T& v : values)
            value(v);
        return endArray();
    }

    /// The whole value written; throws std::logic_error while it is unfinished.
    const std::string& text() const;

private:
    enum class Scope
    {
        Object,
        Array
    };
    struct Level
    {
        Scope scope;
        size_t count = 0;
        bool keyWritten = false;
    };
    JsonWriter& literal(std::string_view text);
    void beforeValue();
    void end(Scope scope);

    std::string m_text;
    std::vector<Level> m_levels;
    bool m_done = false;
};

} // namespace tw::cli
