// TRecordStream: a file read and written in records of one fixed size.
#pragma once

#include "platform/Files.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tw {

class TRecordStream
{
public:
    enum class Mode
    {
        /// An existing file, read only.
        Read,
        /// The file is created, or emptied when it exists.
        Create
    };

    /// Opens `path` through `files`; throws std::runtime_error naming the file and giving
    /// the system's reason when it cannot be opened or created.
    TRecordStream(platform::Files& files, const std::string& path, Mode mode);
    /// Works on a file opened elsewhere (such as a platform::TempFile), which must outlive it.
    explicit TRecordStream(platform::FileStream& stream);
    virtual ~TRecordStream() = default;
    TRecordStream(const TRecordStream&) = delete;
    TRecordStream& operator=(const TRecordStream&) = delete;

    /// The size of one record in bytes: 203, the size of a junk file-type record.
    virtual std::int64_t GetRecordSize() const;
    /// File size div record size: a partial record at the end does not count.
    std::int64_t RecordCount() const;
    /// Position div record size + 1 (1-based).
    std::int64_t CurrentRecord() const;
    /// Position := 0.
    void FirstRecord();
    /// Reads one record at the position into `buffer`, then moves the position back by the
    /// record size; returns the number of bytes read.
    std::int64_t ReadRecord(void* buffer);
    /// Writes one record from `buffer` at the end of the file.
    void AppendRecord(const void* buffer);
    /// Moves to the next record; throws std::runtime_error "Cannot read beyond end of file"
    /// on the last one.
    void NextRecord();

    std::int64_t Position() const;
    std::int64_t Size() const;

private:
    std::unique_ptr<platform::FileStream> m_owned;
    platform::FileStream* m_stream = nullptr;
};

} // namespace tw
