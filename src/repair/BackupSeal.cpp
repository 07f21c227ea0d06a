#include "BackupSeal.h"

#include "platform/TextCodec.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"

#include <array>
#include <cstdio>
#include <stdexcept>

namespace tw {

namespace {

constexpr std::string_view kOriginPrefix = "; Tidewell backup of machine ";
constexpr std::string_view kChecksumPrefix = "; Tidewell checksum sha256:";

bool isUnicode(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

/// The file as UTF-8 text (a Unicode file without its byte-order mark).
std::string textOf(std::string_view bytes)
{
    if (!isUnicode(bytes))
        return std::string(bytes);
    return platform::utf16ToUtf8(platform::bytesToUtf16(bytes.substr(2)));
}

/// Text as the file holds it, without a byte-order mark.
std::string encodedOf(std::string_view text, bool unicode)
{
    return unicode ? platform::utf16ToBytes(platform::utf8ToUtf16(text)) : std::string(text);
}

std::string bytesOf(const std::string& text, bool unicode)
{
    if (!unicode)
        return text;
    return std::string("\xFF\xFE", 2) + encodedOf(text, true);
}

std::string sha256Hex(std::string_view text)
{
    return platform::Sha256::hex(text);
}

/// Splits off the checksum line: the text without it, and the checksum it held.
struct Unsealed
{
    std::string text;
    std::string checksum;
    std::string machine;
    bool sealed = false;
};

Unsealed unseal(const std::string& text)
{
    Unsealed result;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string_view line(text.data() + start, end - start);
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
            bare.remove_suffix(1);
        if (!result.sealed && bare.substr(0, kChecksumPrefix.size()) == kChecksumPrefix) {
            result.sealed = true;
            result.checksum = std::string(bare.substr(kChecksumPrefix.size()));
        } else {
            if (bare.substr(0, kOriginPrefix.size()) == kOriginPrefix)
                result.machine = std::string(bare.substr(kOriginPrefix.size()));
            result.text.append(line);
        }
        start = end;
    }
    return result;
}

} // namespace

std::string MachineIdentity(const Session& session)
{
    TRegistry reg(session);
    reg.SelectRoot(win::HKEY_LOCAL_MACHINE);
    if (!reg.OpenPath("\\SOFTWARE\\Microsoft\\Cryptography", false) || !reg.HasValue("MachineGuid"))
        return std::string();
    try {
        return reg.ReadText("MachineGuid");
    } catch (const ERegistryException&) {
        return std::string();
    }
}

std::string SealBackup(std::string_view bytes, const std::string& machine)
{
    const bool unicode = isUnicode(bytes);
    const std::string text = textOf(bytes);
    size_t firstLineEnd = text.find('\n');
    firstLineEnd = firstLineEnd == std::string::npos ? text.size() : firstLineEnd + 1;
    const std::string originLine = std::string(kOriginPrefix) + machine + "\r\n";
    const std::string withOrigin =
        text.substr(0, firstLineEnd) + originLine + text.substr(firstLineEnd);
    const std::string checksumLine = std::string(kChecksumPrefix) + sha256Hex(withOrigin) + "\r\n";
    const size_t at = firstLineEnd + originLine.size();
    return bytesOf(withOrigin.substr(0, at) + checksumLine + withOrigin.substr(at), unicode);
}

constexpr size_t kChecksumLength = 64;

BackupSealWriter::BackupSealWriter(platform::FileStream& out, const std::string& machine)
    : m_out(out), m_originLine(std::string(kOriginPrefix) + machine + "\r\n"),
      m_hash(std::make_unique<platform::Sha256>())
{
}

BackupSealWriter::~BackupSealWriter() = default;

void BackupSealWriter::put(std::string_view bytes)
{
    m_out.write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    m_written += static_cast<std::int64_t>(bytes.size());
}

void BackupSealWriter::write(const platform::RegFilePiece& piece)
{
    std::string_view text = piece.text;
    std::string_view bytes = piece.bytes;
    if (!m_started) {
        // The two lines go after the first line; the checksum covers the text with the origin
        // line and without the checksum line, as SealBackup's.
        m_started = true;
        m_unicode = isUnicode(bytes);
        size_t lineEnd = text.find('\n');
        lineEnd = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
        const std::string_view firstLine = text.substr(0, lineEnd);
        const size_t firstBytes =
            m_unicode ? 2 + 2 * platform::utf8ToUtf16(firstLine).size() : firstLine.size();
        put(bytes.substr(0, firstBytes));
        const std::string hashed =
            std::string(m_unicode ? firstLine : bytes.substr(0, firstBytes)) + m_originLine;
        m_hash->update(hashed);
        put(encodedOf(m_originLine, m_unicode));
        const std::string prefix(kChecksumPrefix);
        m_checksumAt = m_written + static_cast<std::int64_t>(encodedOf(prefix, m_unicode).size());
        put(encodedOf(prefix + std::string(kChecksumLength, '0') + "\r\n", m_unicode));
        text.remove_prefix(lineEnd);
        bytes.remove_prefix(firstBytes);
    }
    const std::string_view hashed = m_unicode ? text : bytes;
    m_hash->update(hashed);
    put(bytes);
}

void BackupSealWriter::finish()
{
    const std::string checksum = encodedOf(platform::Sha256::hexOf(m_hash->finish()), m_unicode);
    if (m_out.seek(m_checksumAt, SEEK_SET) != m_checksumAt)
        throw std::runtime_error("cannot write the checksum");
    m_out.write(checksum.data(), static_cast<std::int64_t>(checksum.size()));
    m_out.seek(0, SEEK_END);
}

BackupCheck CheckBackupBytes(std::string_view bytes, const std::string& machine,
                             const std::string& path)
{
    BackupCheck check;
    const Unsealed file = unseal(textOf(bytes));
    if (!file.sealed)
        return check;
    if (sha256Hex(file.text) != file.checksum) {
        check.origin = BackupOrigin::Altered;
        check.warning = "The backup " + path +
                        " was changed after Tidewell wrote it (its checksum does not match), so "
                        "it may not bring back what was removed.";
        return check;
    }
    if (!machine.empty() && !file.machine.empty() && file.machine != machine) {
        check.origin = BackupOrigin::OtherMachine;
        check.warning = "The backup " + path + " was made on another installation (machine " +
                        file.machine + "; this one is " + machine +
                        "), so it would write that installation's entries here.";
        return check;
    }
    check.origin = BackupOrigin::Sealed;
    return check;
}

BackupCheck CheckBackup(const Session& session, const std::string& path)
{
    auto in = session.files().openFile(path, platform::FileStream::Mode::Read);
    if (!in)
        return {};
    std::string bytes(static_cast<size_t>(in->size()), '\0');
    in->read(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    return CheckBackupBytes(bytes, MachineIdentity(session), path);
}

} // namespace tw
