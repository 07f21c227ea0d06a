// One hive file of a Wine prefix and what is known of it since it was read.
#pragma once

#include "WinePlatformOnly.h"

#include "FileIdentity.h"
#include "HiveFile.h"

#include <string>

namespace tw::wine {

class Hive
{
public:
    Hive(std::string fileName, std::string hostPath)
        : m_fileName(std::move(fileName)), m_hostPath(std::move(hostPath))
    {
    }

    const std::string& fileName() const { return m_fileName; }
    const std::string& hostPath() const { return m_hostPath; }

    HiveHeader& header() { return m_header; }
    const HiveHeader& header() const { return m_header; }
    HiveKey* base() const { return m_base; }
    void setBase(HiveKey* base) { m_base = base; }

    bool isDirty() const { return m_dirty; }
    void setDirty(bool dirty) { m_dirty = dirty; }

    const FileIdentity& identity() const { return m_identity; }
    void setIdentity(const FileIdentity& identity) { m_identity = identity; }

private:
    std::string m_fileName;
    std::string m_hostPath;
    HiveHeader m_header;
    HiveKey* m_base = nullptr;
    bool m_dirty = false;
    FileIdentity m_identity;
};

} // namespace tw::wine
