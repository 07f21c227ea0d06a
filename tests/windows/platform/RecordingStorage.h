// A registry store for the start tests: counts saves and re-reads, and can refuse to save.
#pragma once

#include "platform/Storage.h"

namespace tw::win32::test {

class RecordingStorage final : public platform::Storage
{
public:
    std::string writeRefusal() override { return {}; }
    void commit() override
    {
        if (!m_commitFailure.empty())
            throw platform::StorageError(m_commitFailure);
        ++m_commits;
    }
    void rollback() override {}
    std::string readOnlyReason() override { return {}; }
    bool refresh() override
    {
        ++m_refreshes;
        return true;
    }

    std::string m_commitFailure;
    int m_commits = 0;
    int m_refreshes = 0;
};

} // namespace tw::win32::test
