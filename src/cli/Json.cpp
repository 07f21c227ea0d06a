#include "Json.h"

#include "platform/TextCodec.h"

#include <cstdio>

namespace tw::cli {

std::string jsonString(std::string_view text)
{
    std::string valid;
    if (!platform::isUtf8(text)) {
        valid = platform::utf16ToUtf8(platform::utf8ToUtf16(text));
        text = valid;
    }
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

} // namespace tw::cli
