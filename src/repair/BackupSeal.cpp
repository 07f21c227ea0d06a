#include "BackupSeal.h"

#include "platform/TextCodec.h"
#include "registry/Session.h"
#include "registry/TRegistry.h"

#include <array>
#include <openssl/evp.h>

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

std::string bytesOf(const std::string& text, bool unicode)
{
    if (!unicode)
        return text;
    return std::string("\xFF\xFE", 2) + platform::utf16ToBytes(platform::utf8ToUtf16(text));
}

std::string sha256Hex(std::string_view text)
{
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    EVP_Digest(text.data(), text.size(), digest.data(), &size, EVP_sha256(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < size; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
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
