#include "FileText.h"

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

std::string replaceFile(Files& files, std::string_view path, std::string_view bytes)
{
    const std::string temporary = std::string(path) + ".tmp";
    {
        const std::unique_ptr<FileStream> stream =
            files.openFile(temporary, FileStream::Mode::Create);
        if (!stream)
            return "Cannot create " + temporary;
        try {
            stream->write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        } catch (const std::exception& e) {
            files.deleteFile(temporary);
            return "Cannot write " + temporary + ": " + e.what();
        }
    }
    if (!files.moveFile(temporary, path, true)) {
        files.deleteFile(temporary);
        return "Cannot replace " + std::string(path);
    }
    return {};
}

} // namespace tw::platform
