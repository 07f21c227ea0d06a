#include "FileText.h"

#include "TempFile.h"

#include <exception>

namespace tw::platform {

std::optional<std::string> readWholeFile(Files& files, std::string_view path, std::size_t maxBytes)
{
    const std::unique_ptr<FileStream> stream = files.openFile(path, FileStream::Mode::Read);
    if (!stream || stream->size() < 0 || static_cast<std::size_t>(stream->size()) > maxBytes)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(stream->size()), '\0');
    std::int64_t done = 0;
    while (done < static_cast<std::int64_t>(bytes.size())) {
        std::int64_t got = 0;
        try {
            got = stream->read(bytes.data() + done, static_cast<std::int64_t>(bytes.size()) - done);
        } catch (const std::exception&) {
            return std::nullopt;
        }
        if (got <= 0)
            break;
        done += got;
    }
    bytes.resize(static_cast<std::size_t>(done));
    return bytes;
}

std::string replaceFile(Files& files, Processes& processes, std::string_view path,
                        std::string_view bytes)
{
    try {
        TempFile temporary(files, processes, path);
        temporary.stream().write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        if (!temporary.moveTo(path, true)) {
            const std::string reason = files.lastErrorText();
            return "Cannot replace " + std::string(path) + (reason.empty() ? "" : ": " + reason);
        }
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

} // namespace tw::platform
