// The JSON writer behind every --json output: layout, escaping, numbers and misuse.
#include "cli/Json.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>

namespace tw::cli {
namespace {

std::string written(const std::string& text)
{
    JsonWriter json;
    return json.value(text).text();
}

TEST(JsonWriterTest, NestsObjectsAndArraysOnOneLineWithTheCommandsSpacing)
{
    JsonWriter json;
    json.beginObject().field("a", 1).key("b").beginArray().value(1).value(2).endArray();
    json.key("c").beginObject().key("d").beginArray().endArray();
    json.key("e").beginObject().endObject().endObject();
    json.key("f").beginArray().beginArray().beginObject().endObject().endArray();
    json.beginArray().endArray().beginObject().field("g", "h").endObject().endArray();
    json.array("i", std::vector<std::string>{"x", "y"}).endObject();
    EXPECT_EQ(json.text(), "{\"a\": 1, \"b\": [1, 2], \"c\": {\"d\": [], \"e\": {}}, "
                           "\"f\": [[{}], [], {\"g\": \"h\"}], \"i\": [\"x\", \"y\"]}");
}

TEST(JsonWriterTest, EmptyObjectsAndArraysStandAlone)
{
    EXPECT_EQ(JsonWriter().beginObject().endObject().text(), "{}");
    EXPECT_EQ(JsonWriter().beginArray().endArray().text(), "[]");
    EXPECT_EQ(JsonWriter().beginObject().array("a", std::vector<int>{}).endObject().text(),
              "{\"a\": []}");
}

TEST(JsonWriterTest, EscapesQuotesBackslashesAndControlCharactersInValuesAndKeys)
{
    EXPECT_EQ(written("say \"hi\""), R"("say \"hi\"")");
    EXPECT_EQ(written("C:\\windows\\"), R"("C:\\windows\\")");
    EXPECT_EQ(written("a\nb\rc\td"), R"("a\nb\rc\td")");
    EXPECT_EQ(written(std::string("\x01\x1f", 2) + std::string(1, '\0')),
              R"("\u0001\u001f\u0000")");
    // DEL and '/' need no escape.
    EXPECT_EQ(written("\x7f/"), "\"\x7f/\"");

    JsonWriter json;
    json.beginObject().field("k\"\\\n", "v").endObject();
    EXPECT_EQ(json.text(), R"({"k\"\\\n": "v"})");
    const nlohmann::json parsed = nlohmann::json::parse(json.text());
    EXPECT_EQ(parsed.at("k\"\\\n"), "v");
}

TEST(JsonWriterTest, KeepsUtf8AndReplacesBytesThatAreNotUtf8)
{
    const std::string replacement = "\xef\xbf\xbd";
    EXPECT_EQ(written("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
              "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\"");
    EXPECT_EQ(written("a\xff"
                      "b"),
              "\"a" + replacement + "b\"");
    EXPECT_EQ(written("cut \xc3"), "\"cut " + replacement + "\"");
    // An encoded surrogate and an overlong slash are no UTF-8 either.
    for (const std::string bad : {"\xed\xa0\x80", "\xc0\xaf", "x\x80y"}) {
        const std::string text = written(bad);
        EXPECT_NE(text.find(replacement), std::string::npos) << text;
        EXPECT_TRUE(nlohmann::json::accept(text)) << text;
    }
    JsonWriter key;
    key.beginObject().field("\xfe", 1).endObject();
    EXPECT_EQ(key.text(), "{\"" + replacement + "\": 1}");
}

TEST(JsonWriterTest, WritesNumbersBoolsAndNull)
{
    JsonWriter json;
    json.beginArray()
        .value(0)
        .value(-42)
        .value(std::numeric_limits<std::int64_t>::min())
        .value(std::numeric_limits<std::uint64_t>::max())
        .value(std::uint8_t{200})
        .value(true)
        .value(false)
        .null()
        .value(std::optional<int>())
        .value(std::optional<std::string>("s"))
        .value(nonEmpty(""))
        .value(0.5)
        .value(-1e300)
        .numberText("-0.5e+3")
        .endArray();
    EXPECT_EQ(json.text(), "[0, -42, -9223372036854775808, 18446744073709551615, 200, true, "
                           "false, null, null, \"s\", null, 0.5, -1e+300, -0.5e+3]");
    const nlohmann::json parsed = nlohmann::json::parse(json.text());
    EXPECT_EQ(parsed[3].get<std::uint64_t>(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(parsed[11].get<double>(), 0.5);
}

TEST(JsonWriterTest, RefusesNumbersJsonCannotHold)
{
    for (const char* text : {"", "-", "1.", ".5", "01", "+1", "0x1F", "1e", "1e+", "12a", " 1"})
        EXPECT_THROW(JsonWriter().numberText(text), std::invalid_argument) << text;
    EXPECT_THROW(JsonWriter().value(std::numeric_limits<double>::quiet_NaN()),
                 std::invalid_argument);
    EXPECT_THROW(JsonWriter().value(std::numeric_limits<double>::infinity()),
                 std::invalid_argument);
}

TEST(JsonWriterTest, RefusesCallsOutOfPlace)
{
    EXPECT_THROW(JsonWriter().key("a"), std::logic_error);
    EXPECT_THROW(JsonWriter().beginArray().key("a"), std::logic_error);
    EXPECT_THROW(JsonWriter().beginObject().value(1), std::logic_error);
    EXPECT_THROW(JsonWriter().beginObject().key("a").key("b"), std::logic_error);
    EXPECT_THROW(JsonWriter().beginObject().key("a").endObject(), std::logic_error);
    EXPECT_THROW(JsonWriter().beginObject().endArray(), std::logic_error);
    EXPECT_THROW(JsonWriter().beginArray().endObject(), std::logic_error);
    EXPECT_THROW(JsonWriter().endArray(), std::logic_error);
    EXPECT_THROW(JsonWriter().value(1).value(2), std::logic_error);
    EXPECT_THROW(JsonWriter().beginObject().endObject().beginObject(), std::logic_error);
    EXPECT_THROW(JsonWriter().text(), std::logic_error);
    EXPECT_THROW(JsonWriter().beginObject().text(), std::logic_error);
    EXPECT_THROW(JsonWriter().beginArray().beginArray().endArray().text(), std::logic_error);
}

} // namespace
} // namespace tw::cli
