#include "ValueText.h"

#include "CliError.h"
#include "platform/ValueTypes.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tw::cli {

using namespace tw::win;

namespace {

std::string hexBytes(const std::string& data)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : data) {
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

unsigned long long parseNumber(std::string_view text, unsigned long long max)
{
    const std::string s(text);
    if (s.empty() || s[0] == '-')
        throw UsageError("\"" + s + "\" is not a number");
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(s.c_str(), &end, 0);
    if (errno || *end || v > max)
        throw UsageError("\"" + s + "\" is not a number in range");
    return v;
}

} // namespace

std::string valueTypeName(DWORD type)
{
    return platform::valueTypeName(type);
}

std::optional<DWORD> writableValueType(std::string_view name)
{
    for (const platform::ValueTypeName& entry : platform::kValueTypes) {
        if (entry.writable && entry.name == name)
            return entry.type;
    }
    return std::nullopt;
}

std::string formatValueData(DWORD type, const std::string& data)
{
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return data.substr(0, data.find('\0'));
    case REG_MULTI_SZ: {
        std::string out;
        size_t start = 0;
        while (start < data.size()) {
            const size_t nul = data.find('\0', start);
            const size_t end = nul == std::string::npos ? data.size() : nul;
            if (end == start)
                break;
            if (!out.empty())
                out += "\\0";
            out += data.substr(start, end - start);
            start = end + 1;
        }
        return out;
    }
    case REG_DWORD:
        if (data.size() == 4) {
            DWORD v;
            std::memcpy(&v, data.data(), 4);
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%x", v);
            return buf;
        }
        break;
    case REG_QWORD:
        if (data.size() == 8) {
            unsigned long long v;
            std::memcpy(&v, data.data(), 8);
            char buf[24];
            std::snprintf(buf, sizeof buf, "0x%llx", v);
            return buf;
        }
        break;
    }
    return hexBytes(data);
}

std::string parseValueData(DWORD type, std::string_view text)
{
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return std::string(text) + '\0';
    case REG_MULTI_SZ: {
        // Items separated by "\0", as reg.exe takes them.
        std::string out;
        size_t start = 0;
        while (start <= text.size()) {
            size_t sep = text.find("\\0", start);
            if (sep == std::string_view::npos)
                sep = text.size();
            if (sep > start) {
                out.append(text.substr(start, sep - start));
                out += '\0';
            }
            start = sep + 2;
        }
        out += '\0';
        return out;
    }
    case REG_DWORD: {
        const auto v = static_cast<DWORD>(parseNumber(text, 0xFFFFFFFFULL));
        return std::string(reinterpret_cast<const char*>(&v), 4);
    }
    case REG_QWORD: {
        const unsigned long long v = parseNumber(text, ~0ULL);
        return std::string(reinterpret_cast<const char*>(&v), 8);
    }
    default: {
        std::string digits;
        for (char c : text) {
            if (c == ',' || c == ' ' || c == ':')
                continue;
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                throw UsageError("binary data must be hex bytes, such as 01,ff,20");
            digits += c;
        }
        if (digits.size() % 2)
            throw UsageError("binary data must have two hex digits per byte");
        std::string out;
        for (size_t i = 0; i < digits.size(); i += 2)
            out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
        return out;
    }
    }
}

} // namespace tw::cli
