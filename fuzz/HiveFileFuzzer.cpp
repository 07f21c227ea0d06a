// libFuzzer target: a hive text that reads writes out as text that reads to the same tree.
#include "platform/wine/HiveFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace tw::win;

namespace {

using namespace tw::wine;

/// readHiveFile takes a path: the input goes to one memory file, named through /proc.
class MemoryFile
{
public:
    MemoryFile()
        : m_fd(::memfd_create("hive", MFD_CLOEXEC)), m_path("/proc/self/fd/" + std::to_string(m_fd))
    {
        if (m_fd < 0)
            std::abort();
    }
    ~MemoryFile() { ::close(m_fd); }

    const std::string& hold(const char* data, size_t size)
    {
        if (::ftruncate(m_fd, 0) != 0)
            std::abort();
        for (size_t done = 0; done < size;) {
            const ssize_t n = ::pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                std::abort();
            done += static_cast<size_t>(n);
        }
        return m_path;
    }

private:
    int m_fd;
    std::string m_path;
};

struct Loaded
{
    std::unique_ptr<HiveKey> root = HiveKey::create(u"REGISTRY");
    HiveKey* base = nullptr;
    HiveHeader header;
};

std::optional<Loaded> load(MemoryFile& file, const char* data, size_t size)
{
    Loaded loaded;
    try {
        loaded.header = readHiveFile(file.hold(data, size), [&](const HiveHeader&) {
            loaded.base = loaded.root->addSubkey(u"Base");
            return loaded.base;
        });
    } catch (const HiveFormatError&) {
        return std::nullopt;
    }
    return loaded;
}

std::string save(const Loaded& loaded)
{
    std::string out;
    writeHive(*loaded.base, loaded.header.prologue, [&](std::string_view piece) { out += piece; });
    return out;
}

std::string show(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text) {
        if (c >= 32 && c < 127) {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

[[noreturn]] void mismatch(const HiveKey& key, const std::string& what)
{
    std::fprintf(stderr, "round trip changed key \"%s\": %s\n", show(key.path()).c_str(),
                 what.c_str());
    std::abort();
}

/// Whether the writer gives the key its own section (else only its subkeys' paths name it,
/// as in Wine, and its time is not kept).
bool hasSection(const HiveKey& key)
{
    return !key.values().empty() || key.subkeys().empty() || key.className() || key.isLink();
}

void compare(const HiveKey& a, const HiveKey& b)
{
    if (a.name() != b.name())
        mismatch(a, "name became \"" + show(b.name().toUtf16()) + "\"");
    if (hasSection(a) && a.modified() != b.modified())
        mismatch(a, "time " + std::to_string(a.modified()) + " became " +
                        std::to_string(b.modified()));
    if (!a.className() != !b.className() || (a.className() && *a.className() != *b.className()))
        mismatch(a, "class changed");
    if (a.isLink() != b.isLink())
        mismatch(a, "link flag changed");
    if (a.values().size() != b.values().size())
        mismatch(a, std::to_string(a.values().size()) + " values became " +
                        std::to_string(b.values().size()));
    for (size_t i = 0; i < a.values().size(); ++i) {
        const HiveValue& va = a.values()[i];
        const HiveValue& vb = b.values()[i];
        if (va.name() != vb.name() || va.type() != vb.type() || va.data() != vb.data())
            mismatch(a, "value \"" + show(va.name().toUtf16()) + "\" (type " +
                            std::to_string(va.type()) + ", " + std::to_string(va.data().size()) +
                            " bytes) became \"" + show(vb.name().toUtf16()) + "\" (type " +
                            std::to_string(vb.type()) + ", " + std::to_string(vb.data().size()) +
                            " bytes)");
    }
    if (a.subkeys().size() != b.subkeys().size())
        mismatch(a, std::to_string(a.subkeys().size()) + " subkeys became " +
                        std::to_string(b.subkeys().size()));
    for (size_t i = 0; i < a.subkeys().size(); ++i)
        compare(*a.subkeys()[i], *b.subkeys()[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static MemoryFile file;
    const std::optional<Loaded> first = load(file, reinterpret_cast<const char*>(data), size);
    if (!first)
        return 0;
    const std::string written = save(*first);
    const std::optional<Loaded> second = load(file, written.data(), written.size());
    if (!second) {
        std::fprintf(stderr, "the written hive does not read:\n%s\n", written.c_str());
        std::abort();
    }
    if (first->header.prologue != second->header.prologue ||
        first->header.relativeTo != second->header.relativeTo ||
        first->header.arch != second->header.arch) {
        std::fprintf(stderr, "round trip changed the header\n");
        std::abort();
    }
    compare(*first->base, *second->base);
    if (save(*second) != written) {
        std::fprintf(stderr, "writing the hive again gave other text\n");
        std::abort();
    }
    return 0;
}
