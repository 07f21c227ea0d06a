// libFuzzer target: a .reg file that parses, written again by the .reg writer, parses to the
// same operations (REGEDIT4 always; version 5.00 when its text is UTF-8).
#include "platform/RegFile.h"
#include "platform/TextCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace tw::win;

namespace {

using namespace tw::platform;
using Operation = RegFileOperation;

/// The writer is fed line by line here and never asks its registry anything.
class NoRegistry final : public Registry
{
public:
    LONG openKey(HKEY, std::string_view, REGSAM, HKEY*, DWORD) override
    {
        return ERROR_ACCESS_DENIED;
    }
    LONG createKey(HKEY, std::string_view, REGSAM, HKEY*, bool*) override
    {
        return ERROR_ACCESS_DENIED;
    }
    LONG closeKey(HKEY) override { return ERROR_SUCCESS; }
    LONG flushKey(HKEY) override { return ERROR_ACCESS_DENIED; }
    LONG queryInfoKey(HKEY, KeyInfo*) override { return ERROR_ACCESS_DENIED; }
    LONG enumKey(HKEY, DWORD, std::string*) override { return ERROR_NO_MORE_ITEMS; }
    LONG enumValue(HKEY, DWORD, std::string*, DWORD*, std::string*) override
    {
        return ERROR_NO_MORE_ITEMS;
    }
    LONG queryValue(HKEY, std::string_view, DWORD*, std::string*) override
    {
        return ERROR_ACCESS_DENIED;
    }
    LONG setValue(HKEY, std::string_view, DWORD, std::string_view) override
    {
        return ERROR_ACCESS_DENIED;
    }
    LONG deleteValue(HKEY, std::string_view) override { return ERROR_ACCESS_DENIED; }
    LONG deleteKey(HKEY, std::string_view) override { return ERROR_ACCESS_DENIED; }
};

std::optional<std::vector<Operation>> parse(std::string_view bytes)
{
    try {
        return parseRegFile(bytes);
    } catch (const RegistryEditorError&) {
        return std::nullopt;
    }
}

std::string keyName(const KeyPath& key)
{
    return key.subKey.empty() ? key.rootName : key.rootName + "\\" + key.subKey;
}

/// The operations the writer can express: every one but "name"=- deletions.
std::vector<Operation> writable(const std::vector<Operation>& operations)
{
    std::vector<Operation> kept;
    for (const Operation& op : operations) {
        if (op.kind != Operation::Kind::DeleteValue)
            kept.push_back(op);
    }
    return kept;
}

std::string write(const std::vector<Operation>& operations, RegFileFormat format)
{
    NoRegistry registry;
    RegFileWriter writer(registry, format);
    for (const Operation& op : operations) {
        switch (op.kind) {
        case Operation::Kind::CreateKey:
            writer.addKeyLine(keyName(op.key));
            break;
        case Operation::Kind::DeleteKey:
            writer.addKeyLine("-" + keyName(op.key));
            break;
        case Operation::Kind::SetValue:
            writer.addValue(op.valueName, op.type, op.data);
            break;
        case Operation::Kind::DeleteValue:
            break;
        }
    }
    return writer.finish();
}

bool isUtf8(const std::string& text)
{
    return utf16ToUtf8(utf8ToUtf16(text)) == text;
}

bool allUtf8(const std::vector<Operation>& operations)
{
    for (const Operation& op : operations) {
        if (!isUtf8(op.key.subKey) || !isUtf8(op.valueName))
            return false;
        const bool text = op.type == REG_SZ || op.type == REG_EXPAND_SZ || op.type == REG_MULTI_SZ;
        if (text && !isUtf8(op.data))
            return false;
    }
    return true;
}

std::string show(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127) {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    return out;
}

void checkRoundTrip(const std::vector<Operation>& expected, RegFileFormat format)
{
    const char* formatName = format == RegFileFormat::Ansi ? "REGEDIT4" : "version 5.00";
    const std::string written = write(expected, format);
    const std::optional<std::vector<Operation>> again = parse(written);
    if (!again) {
        std::fprintf(stderr, "the written %s file does not parse:\n%s\n", formatName,
                     show(written).c_str());
        std::abort();
    }
    const std::vector<Operation> read = writable(*again);
    if (read.size() != expected.size()) {
        std::fprintf(stderr, "%zu operations became %zu in %s\n", expected.size(), read.size(),
                     formatName);
        std::abort();
    }
    for (size_t i = 0; i < read.size(); ++i) {
        const Operation& a = expected[i];
        const Operation& b = read[i];
        if (a.kind != b.kind || a.key.root != b.key.root || a.key.rootName != b.key.rootName ||
            a.key.subKey != b.key.subKey || a.valueName != b.valueName || a.type != b.type ||
            a.data != b.data) {
            std::fprintf(stderr,
                         "operation %zu changed in %s:\n  key \"%s\" name \"%s\" type %u data "
                         "\"%s\"\n  key \"%s\" name \"%s\" type %u data \"%s\"\n",
                         i, formatName, show(keyName(a.key)).c_str(), show(a.valueName).c_str(),
                         a.type, show(a.data).c_str(), show(keyName(b.key)).c_str(),
                         show(b.valueName).c_str(), b.type, show(b.data).c_str());
            std::abort();
        }
    }
}

/// True when every text of the operations has a character in code page 1252, the one the
/// REGEDIT4 writer uses without a registry; others become '?' there by design.
bool fitsCodePage1252(const std::vector<Operation>& operations)
{
    auto fits = [](const std::string& text) {
        return codePageToUtf8(utf8ToCodePage(text, 1252), 1252) == text;
    };
    for (const Operation& op : operations) {
        if (!fits(op.key.subKey) || !fits(op.valueName))
            return false;
        const bool text = op.type == REG_SZ || op.type == REG_EXPAND_SZ || op.type == REG_MULTI_SZ;
        if (op.kind == Operation::Kind::SetValue && text && !fits(op.data))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::optional<std::vector<Operation>> operations =
        parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!operations)
        return 0;
    const std::vector<Operation> expected = writable(*operations);
    if (fitsCodePage1252(expected))
        checkRoundTrip(expected, RegFileFormat::Ansi);
    // The Unicode file is UTF-16: only text that is UTF-8 comes back unchanged.
    if (allUtf8(expected))
        checkRoundTrip(expected, RegFileFormat::Unicode);
    return 0;
}
