#include "PrefixWrites.h"

#include "CliError.h"
#include "platform/Storage.h"
#include "registry/Session.h"

namespace tw::cli {

void requireWritable(const Session& session)
{
    if (std::string reason = session.storage().readOnlyReason(); !reason.empty())
        throw CliError(reason);
}

void saveChanges(const Session& session)
{
    try {
        session.storage().commit();
    } catch (const platform::StorageError& e) {
        throw CliError(e.what());
    }
}

} // namespace tw::cli
