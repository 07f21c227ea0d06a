#include "RecordStream.h"

#include "JunkFileTypes.h"

#include <cstdio>
#include <stdexcept>

namespace tw {

TRecordStream::TRecordStream(platform::Files& files, const std::string& path, Mode mode)
{
    m_owned = files.openFile(path, mode == Mode::Read ? platform::FileStream::Mode::Read
                                                      : platform::FileStream::Mode::Create);
    m_stream = m_owned.get();
    if (!m_stream) {
        const std::string reason = files.lastErrorText();
        throw std::runtime_error(
            std::string(mode == Mode::Read ? "Cannot open file \"" : "Cannot create file \"") +
            path + "\"." + (reason.empty() ? "" : " " + reason));
    }
}

TRecordStream::TRecordStream(platform::FileStream& stream) : m_stream(&stream) {}

std::int64_t TRecordStream::GetRecordSize() const
{
    return kJunkRecordSize;
}

std::int64_t TRecordStream::Position() const
{
    return m_stream->seek(0, SEEK_CUR);
}

std::int64_t TRecordStream::Size() const
{
    return m_stream->size();
}

std::int64_t TRecordStream::RecordCount() const
{
    return Size() / GetRecordSize();
}

std::int64_t TRecordStream::CurrentRecord() const
{
    return Position() / GetRecordSize() + 1;
}

void TRecordStream::FirstRecord()
{
    m_stream->seek(0, SEEK_SET);
}

std::int64_t TRecordStream::ReadRecord(void* buffer)
{
    const std::int64_t size = GetRecordSize();
    std::int64_t done = 0;
    while (done < size) {
        const std::int64_t n = m_stream->read(static_cast<char*>(buffer) + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    m_stream->seek(-size, SEEK_CUR);
    return done;
}

void TRecordStream::AppendRecord(const void* buffer)
{
    m_stream->seek(0, SEEK_END);
    m_stream->write(buffer, GetRecordSize());
}

void TRecordStream::NextRecord()
{
    const std::int64_t size = GetRecordSize();
    if ((Position() + size) / size == RecordCount())
        throw std::runtime_error("Cannot read beyond end of file");
    m_stream->seek(size, SEEK_CUR);
}

} // namespace tw
