#include "RegFile.h"

#include "TextCodec.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

namespace tw::platform {

using namespace tw::win;

namespace {

constexpr std::string_view kUnicodeHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kAnsiHeader = "REGEDIT4";
constexpr size_t kMaxHexChars = 77;

bool isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// --- export ----------------------------------------------------------------------------------

// --- import ----------------------------------------------------------------------------------

class RegFileParser
{
public:
    RegFileParser(std::string_view bytes, unsigned codePage)
    {
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
            static_cast<unsigned char>(bytes[1]) == 0xFE) {
            m_text = utf16ToUtf8(bytesToUtf16(bytes.substr(2)));
        } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            m_text = std::string(bytes.substr(3));
        } else {
            m_codePage = codePage;
            try {
                m_text = codePageToUtf8(bytes, codePage);
            } catch (const std::runtime_error& e) {
                throw RegistryEditorError(std::string("the file cannot be read: ") + e.what());
            }
        }
    }

    std::vector<RegFileOperation> parse()
    {
        std::string_view line;
        if (!nextLine(line))
            fail("the file is empty; a registry file starts with \"" + std::string(kUnicodeHeader) +
                 "\" or \"" + std::string(kAnsiHeader) + "\"");
        line = trim(line);
        if (line == kUnicodeHeader)
            m_wideHex = true;
        else if (line != kAnsiHeader)
            fail("not a registry file: the first line must be \"" + std::string(kUnicodeHeader) +
                 "\" or \"" + std::string(kAnsiHeader) + "\"");

        while (nextLine(line)) {
            const std::string_view text = trimFront(line);
            if (text.empty() || text.front() == ';' || text.front() == '#')
                continue;
            if (text.front() == '[')
                parseKeyLine(text);
            else if (text.front() == '@' || text.front() == '"')
                parseValueLine(text);
            else
                fail("unrecognized line");
        }
        return std::move(m_operations);
    }

private:
    [[noreturn]] void fail(const std::string& problem) const
    {
        throw RegistryEditorError("line " + std::to_string(m_line) + ": " + problem);
    }

    bool nextLine(std::string_view& line)
    {
        if (m_pos >= m_text.size())
            return false;
        size_t end = m_text.find('\n', m_pos);
        if (end == std::string::npos)
            end = m_text.size();
        line = std::string_view(m_text).substr(m_pos, end - m_pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        m_pos = end + 1;
        ++m_line;
        return true;
    }

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }
    static std::string_view trimFront(std::string_view s)
    {
        while (!s.empty() && isSpace(s.front()))
            s.remove_prefix(1);
        return s;
    }
    static std::string_view trim(std::string_view s)
    {
        s = trimFront(s);
        while (!s.empty() && isSpace(s.back()))
            s.remove_suffix(1);
        return s;
    }
    void expectEnd(std::string_view rest) const
    {
        rest = trimFront(rest);
        if (!rest.empty() && rest.front() != ';')
            fail("unexpected text \"" + std::string(rest) + "\"");
    }
    static int hexDigit(char c) { return hexDigitValue(c); }

    void parseKeyLine(std::string_view text)
    {
        const size_t close = text.rfind(']');
        if (close == std::string_view::npos)
            fail("a key name without its closing \"]\"");
        expectEnd(text.substr(close + 1));
        std::string_view name = text.substr(1, close - 1);
        const bool remove = !name.empty() && name.front() == '-';
        if (remove)
            name.remove_prefix(1);
        std::optional<KeyPath> key = parseKeyPath(name);
        if (!key || name.find('\\') == 0)
            fail("unknown root key in \"" + std::string(name) + "\"");
        if (remove && key->subKey.empty())
            fail("a root key cannot be deleted");
        if (levelsOf(key->subKey) > kMaxKeyDepth)
            fail("a key deeper than " + std::to_string(kMaxKeyDepth) +
                 " levels below its root (Windows allows no more)");
        if (longestLevel(key->subKey) > kMaxKeyNameLength)
            fail("a key name longer than " + std::to_string(kMaxKeyNameLength) +
                 " characters (Windows allows no more)");
        RegFileOperation op;
        op.kind = remove ? RegFileOperation::Kind::DeleteKey : RegFileOperation::Kind::CreateKey;
        op.line = m_line;
        op.key = *key;
        m_operations.push_back(op);
        m_currentKey = remove ? std::nullopt : key;
        m_skipValues = remove;
    }

    static size_t levelsOf(std::string_view path)
    {
        size_t levels = 0;
        bool inName = false;
        for (char c : path) {
            if (c == '\\') {
                inName = false;
            } else if (!inName) {
                inName = true;
                ++levels;
            }
        }
        return levels;
    }

    /// The length of the longest name in a key path, in UTF-16 units.
    static size_t longestLevel(std::string_view path)
    {
        size_t longest = 0;
        for (size_t start = 0; start <= path.size();) {
            size_t end = path.find('\\', start);
            if (end == std::string_view::npos)
                end = path.size();
            longest = std::max(longest, utf16Length(path.substr(start, end - start)));
            start = end + 1;
        }
        return longest;
    }

    static size_t utf16Length(std::string_view utf8)
    {
        size_t units = 0;
        for (const char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte & 0xC0) != 0x80)
                units += (byte & 0xF8) == 0xF0 ? 2 : 1;
        }
        return units;
    }

    /// A quoted string from after its opening quote; `rest` is left after the closing one.
    std::string parseQuoted(std::string_view& rest) const
    {
        std::string out;
        size_t i = 0;
        for (; i < rest.size(); ++i) {
            const char c = rest[i];
            if (c == '"')
                break;
            if (c == '\\') {
                if (++i == rest.size())
                    fail("unterminated string");
                switch (rest[i]) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case '0':
                    out += '\0';
                    break;
                default:
                    out += rest[i];
                }
                continue;
            }
            out += c;
        }
        if (i == rest.size())
            fail("unterminated string");
        rest.remove_prefix(i + 1);
        return out;
    }

    void parseValueLine(std::string_view text)
    {
        if (m_skipValues)
            return;
        if (!m_currentKey)
            fail("a value outside any key");
        RegFileOperation op;
        op.line = m_line;
        op.key = *m_currentKey;
        std::string_view rest = text;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else {
            rest.remove_prefix(1);
            op.valueName = parseQuoted(rest);
            if (utf16Length(op.valueName) > kMaxValueNameLength)
                fail("a value name longer than " + std::to_string(kMaxValueNameLength) +
                     " characters (Windows allows no more)");
        }
        rest = trimFront(rest);
        if (rest.empty() || rest.front() != '=')
            fail("\"=\" expected after the value name");
        rest = trimFront(rest.substr(1));

        if (!rest.empty() && rest.front() == '-') {
            expectEnd(rest.substr(1));
            op.kind = RegFileOperation::Kind::DeleteValue;
        } else if (!rest.empty() && rest.front() == '"') {
            rest.remove_prefix(1);
            op.kind = RegFileOperation::Kind::SetValue;
            op.type = REG_SZ;
            op.data = parseQuoted(rest);
            op.data.push_back('\0');
            expectEnd(rest);
        } else if (rest.substr(0, 6) == "dword:") {
            rest.remove_prefix(6);
            DWORD v = 0;
            int digits = 0;
            while (!rest.empty() && hexDigit(rest.front()) >= 0) {
                if (++digits > 8)
                    fail("a dword has more than eight hex digits");
                v = (v << 4) | static_cast<DWORD>(hexDigit(rest.front()));
                rest.remove_prefix(1);
            }
            if (digits == 0)
                fail("a dword needs hex digits");
            expectEnd(rest);
            op.kind = RegFileOperation::Kind::SetValue;
            op.type = REG_DWORD;
            op.data.assign(reinterpret_cast<const char*>(&v), 4);
        } else if (rest.substr(0, 4) == "hex:" || rest.substr(0, 4) == "hex(") {
            op.kind = RegFileOperation::Kind::SetValue;
            if (rest.substr(0, 4) == "hex:") {
                op.type = REG_BINARY;
                rest.remove_prefix(4);
            } else {
                rest.remove_prefix(4);
                DWORD type = 0;
                int digits = 0;
                while (!rest.empty() && hexDigit(rest.front()) >= 0) {
                    if (++digits > 8)
                        fail("bad value type");
                    type = (type << 4) | static_cast<DWORD>(hexDigit(rest.front()));
                    rest.remove_prefix(1);
                }
                if (digits == 0 || rest.substr(0, 2) != "):")
                    fail("bad value type; \"hex(N):\" expected");
                rest.remove_prefix(2);
                op.type = type;
            }
            const std::string bytes = parseHex(rest);
            if (isStringType(op.type) && m_wideHex)
                op.data = utf16ToUtf8(bytesToUtf16(bytes));
            else if (isStringType(op.type))
                op.data = codePageToUtf8(bytes, m_codePage);
            else
                op.data = bytes;
        } else {
            fail("unknown kind of value data");
        }
        m_operations.push_back(std::move(op));
    }

    std::string parseHex(std::string_view rest)
    {
        std::string bytes;
        for (;;) {
            rest = trimFront(rest);
            bool continued = false;
            while (!rest.empty()) {
                if (rest.front() == '\\') {
                    expectEnd(rest.substr(1));
                    continued = true;
                    break;
                }
                if (rest.front() == ';')
                    break;
                const int hi = hexDigit(rest.front());
                const int lo = rest.size() > 1 ? hexDigit(rest[1]) : -1;
                if (hi < 0 || lo < 0)
                    fail("bad hex data \"" + std::string(rest) + "\"");
                bytes.push_back(static_cast<char>(hi * 16 + lo));
                rest = trimFront(rest.substr(2));
                if (!rest.empty() && rest.front() == ',')
                    rest = trimFront(rest.substr(1));
                else if (!rest.empty() && rest.front() != '\\' && rest.front() != ';')
                    fail("bad hex data \"" + std::string(rest) + "\"");
            }
            if (!continued)
                return bytes;
            if (!nextLine(rest))
                fail("the file ends inside hex data");
        }
    }

    std::string m_text;
    size_t m_pos = 0;
    int m_line = 0;
    bool m_wideHex = false;
    /// The code page of 8-bit hex string data.
    unsigned m_codePage = kCodePageUtf8;
    std::optional<KeyPath> m_currentKey;
    bool m_skipValues = false;
    std::vector<RegFileOperation> m_operations;
};

std::string describeKey(const KeyPath& key)
{
    return key.subKey.empty() ? key.rootName : key.rootName + "\\" + key.subKey;
}

[[noreturn]] void refuse(const RegFileOperation& op, const std::string& what, LONG rc)
{
    throw RegistryEditorError("line " + std::to_string(op.line) + ": " + what + " (error " +
                              std::to_string(rc) + ")");
}

} // namespace

RegFileWriter::RegFileWriter(Registry& registry, RegFileFormat format)
    : RegFileWriter(registry, format,
                    {std::string(format == RegFileFormat::Unicode ? kUnicodeHeader : kAnsiHeader),
                     true, true})
{
}

RegFileWriter::RegFileWriter(Registry& registry, RegFileFormat format, Layout layout)
    : RegFileWriter(registry, format, std::move(layout), ansiCodePage(registry))
{
}

RegFileWriter::RegFileWriter(Registry& registry, RegFileFormat format, Layout layout,
                             unsigned codePage)
    : m_registry(registry), m_unicode(format == RegFileFormat::Unicode), m_codePage(codePage),
      m_layout(std::move(layout))
{
    m_out += m_layout.header;
    m_out += "\r\n";
}

void RegFileWriter::addKeyLine(const std::string& path)
{
    if (m_layout.blankLineBeforeKeys)
        m_out += "\r\n";
    m_out += "[";
    m_out += path;
    m_out += "]\r\n";
    flush(false);
}

void RegFileWriter::streamTo(RegFileSink sink, size_t pieceSize)
{
    m_sink = std::move(sink);
    m_pieceSize = pieceSize;
    flush(false);
}

std::string RegFileWriter::encoded(std::string_view text)
{
    const bool first = !m_started;
    m_started = true;
    if (m_unicode)
        return (first ? std::string("\xFF\xFE") : std::string()) + utf16ToBytes(utf8ToUtf16(text));
    try {
        // Hex data is already in the code page; it is ASCII, which every code page keeps.
        return utf8ToCodePage(text, m_codePage);
    } catch (const std::runtime_error& e) {
        throw RegistryEditorError(std::string("Cannot write a REGEDIT4 file: ") + e.what());
    }
}

void RegFileWriter::flush(bool always)
{
    if (!m_sink || (!always && m_out.size() < m_pieceSize) || (m_out.empty() && m_started))
        return;
    const std::string bytes = encoded(m_out);
    m_sink({m_out, bytes});
    m_out.clear();
}

void RegFileWriter::addKeyDeletion(const std::string& path)
{
    addKeyLine("-" + path);
}

void RegFileWriter::addValueDeletion(const std::string& name)
{
    m_out += name.empty() ? std::string("@") : "\"" + escape(name) + "\"";
    m_out += "=-\r\n";
}

void RegFileWriter::addKeyTree(HKEY key, const std::string& path)
{
    // One stack entry per level rather than one call, and no level is left out.
    struct Level
    {
        std::unique_ptr<KeyHandle> handle; // null for the key handed in
        HKEY key;
        std::string path;
        std::vector<std::string> subkeys;
        size_t next = 0;
    };
    std::vector<Level> stack;
    auto enter = [&](std::unique_ptr<KeyHandle> handle, HKEY opened, std::string keyPath) {
        addKeyLine(keyPath);
        std::string name, data;
        DWORD type = 0;
        for (DWORD i = 0; m_registry.enumValue(opened, i, &name, &type, &data) == ERROR_SUCCESS;
             ++i)
            addValue(name, type, data);
        Level level{std::move(handle), opened, std::move(keyPath), {}, 0};
        for (DWORD i = 0; m_registry.enumKey(opened, i, &name) == ERROR_SUCCESS; ++i)
            level.subkeys.push_back(name);
        stack.push_back(std::move(level));
    };
    enter(nullptr, key, path);
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.subkeys.size()) {
            stack.pop_back();
            continue;
        }
        const std::string& sub = level.subkeys[level.next++];
        auto handle = std::make_unique<KeyHandle>(m_registry);
        if (m_registry.openKey(level.key, sub, KEY_READ, handle->out()) != ERROR_SUCCESS)
            continue;
        const HKEY opened = handle->get();
        enter(std::move(handle), opened, level.path + "\\" + sub);
    }
}

std::string RegFileWriter::finish()
{
    if (m_layout.finalBlankLine)
        m_out += "\r\n";
    if (m_sink) {
        flush(true);
        return std::string();
    }
    return encoded(m_out);
}

std::string RegFileWriter::escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

void RegFileWriter::addValue(const std::string& name, DWORD type, const std::string& data)
{
    addValueLine(name, type, data);
    flush(false);
}

void RegFileWriter::addValueLine(const std::string& name, DWORD type, const std::string& data)
{
    const size_t lineStart = m_out.size();
    if (name.empty()) {
        m_out += "@=";
    } else {
        m_out += '"';
        m_out += escape(name);
        m_out += "\"=";
    }
    const size_t nameLength = utf8ToUtf16(std::string_view(m_out).substr(lineStart)).size();

    // A string is written as text only when that brings back exactly the same data.
    if (type == REG_SZ && !data.empty() && data.back() == '\0' &&
        data.find('\0') == data.size() - 1) {
        m_out += '"';
        m_out += escape(std::string_view(data).substr(0, data.size() - 1));
        m_out += "\"\r\n";
        return;
    }
    if (type == REG_DWORD && data.size() == 4) {
        DWORD v;
        std::memcpy(&v, data.data(), 4);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", v);
        m_out += buf;
        m_out += "\r\n";
        return;
    }
    addHex(nameLength, type, data);
}

void RegFileWriter::addHex(size_t lineLength, DWORD type, const std::string& narrowData)
{
    char buf[24];
    if (type == REG_BINARY)
        std::snprintf(buf, sizeof buf, "hex:");
    else
        std::snprintf(buf, sizeof buf, "hex(%x):", type);
    m_out += buf;
    lineLength += std::strlen(buf);

    std::string bytes = narrowData;
    if (isStringType(type)) {
        try {
            bytes = m_unicode ? utf16ToBytes(utf8ToUtf16(narrowData))
                              : utf8ToCodePage(narrowData, m_codePage);
        } catch (const std::runtime_error& e) {
            throw RegistryEditorError(std::string("Cannot write a REGEDIT4 file: ") + e.what());
        }
    }
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        m_out += digits[b >> 4];
        m_out += digits[b & 0xF];
        if (i + 1 == bytes.size())
            break;
        m_out += ',';
        lineLength += 3;
        if (lineLength >= kMaxHexChars) {
            m_out += "\\\r\n  ";
            lineLength = 2;
        }
    }
    m_out += "\r\n";
}

unsigned ansiCodePage(Registry& registry)
{
    constexpr unsigned kDefault = 1252;
    KeyHandle key(registry);
    if (registry.openKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Nls\\CodePage",
                         KEY_READ, key.out()) != ERROR_SUCCESS)
        return kDefault;
    DWORD type = 0;
    std::string data;
    if (registry.queryValue(key.get(), "ACP", &type, &data) != ERROR_SUCCESS || type != REG_SZ)
        return kDefault;
    const std::string digits = data.substr(0, data.find('\0'));
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return kDefault;
    const unsigned codePage = static_cast<unsigned>(std::stoul(digits));
    return codePage == 0 ? kDefault : codePage;
}

std::string exportRegFile(Registry& registry, std::string_view keyPath, RegFileFormat format)
{
    return exportRegFile(registry, keyPath, format, ansiCodePage(registry));
}

namespace {

void exportInto(RegFileWriter& writer, Registry& registry, std::string_view keyPath)
{
    if (keyPath.empty()) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_USERS})
            writer.addKeyTree(root, std::string(rootKeyName(root)));
        return;
    }
    const std::optional<KeyPath> key = parseKeyPath(keyPath);
    if (!key)
        throw RegistryEditorError("Unknown root key in \"" + std::string(keyPath) + "\"");
    KeyHandle handle(registry);
    if (registry.openKey(key->root, key->subKey, KEY_READ, handle.out()) != ERROR_SUCCESS)
        throw RegistryEditorError("The key " + describeKey(*key) + " does not exist");
    writer.addKeyTree(handle.get(), describeKey(*key));
}

RegFileWriter::Layout exportLayout(RegFileFormat format)
{
    return {std::string(format == RegFileFormat::Unicode ? kUnicodeHeader : kAnsiHeader), true,
            true};
}

} // namespace

std::string exportRegFile(Registry& registry, std::string_view keyPath, RegFileFormat format,
                          unsigned codePage)
{
    RegFileWriter writer(registry, format, exportLayout(format), codePage);
    exportInto(writer, registry, keyPath);
    return writer.finish();
}

void exportRegFile(Registry& registry, std::string_view keyPath, RegFileFormat format,
                   unsigned codePage, const RegFileSink& sink)
{
    RegFileWriter writer(registry, format, exportLayout(format), codePage);
    writer.streamTo(sink);
    exportInto(writer, registry, keyPath);
    writer.finish();
}

std::vector<RegFileOperation> parseRegFile(std::string_view bytes, unsigned codePage)
{
    return RegFileParser(bytes, codePage).parse();
}

LONG deleteKeyTree(Registry& registry, HKEY root, const std::string& subKey)
{
    {
        // A link is deleted as a link: opened itself, it has no subkeys to walk into.
        KeyHandle key(registry);
        if (const LONG rc =
                registry.openKey(root, subKey, KEY_ALL_ACCESS, key.out(), REG_OPTION_OPEN_LINK))
            return rc;
        std::vector<std::string> names;
        std::string name;
        for (DWORD i = 0; registry.enumKey(key.get(), i, &name) == ERROR_SUCCESS; ++i)
            names.push_back(name);
        for (const std::string& sub : names) {
            if (const LONG rc = deleteKeyTree(registry, key.get(), sub))
                return rc;
        }
    }
    return registry.deleteKey(root, subKey);
}

void applyRegFile(Registry& registry, const std::vector<RegFileOperation>& operations)
{
    KeyHandle current(registry);
    for (const RegFileOperation& op : operations) {
        switch (op.kind) {
        case RegFileOperation::Kind::CreateKey: {
            current.reset();
            if (const LONG rc =
                    registry.createKey(op.key.root, op.key.subKey, KEY_ALL_ACCESS, current.out()))
                refuse(op, "cannot create the key " + describeKey(op.key), rc);
            break;
        }
        case RegFileOperation::Kind::DeleteKey: {
            current.reset();
            const LONG rc = deleteKeyTree(registry, op.key.root, op.key.subKey);
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                refuse(op, "cannot delete the key " + describeKey(op.key), rc);
            break;
        }
        case RegFileOperation::Kind::SetValue:
            if (const LONG rc = registry.setValue(current.get(), op.valueName, op.type, op.data))
                refuse(op,
                       "cannot set the value \"" + op.valueName + "\" of " + describeKey(op.key),
                       rc);
            break;
        case RegFileOperation::Kind::DeleteValue: {
            const LONG rc = registry.deleteValue(current.get(), op.valueName);
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                refuse(op,
                       "cannot delete the value \"" + op.valueName + "\" of " + describeKey(op.key),
                       rc);
            break;
        }
        }
    }
}

} // namespace tw::platform
