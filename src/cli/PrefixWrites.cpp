#include "PrefixWrites.h"

#include "CliError.h"
#include "platform/wine/WinePrefix.h"

namespace tw::cli {

void requireWritable(const wine::WinePrefix& prefix)
{
    if (prefix.isReadOnly())
        throw CliError(prefix.readOnlyReason());
}

void saveChanges(wine::WinePrefix& prefix)
{
    try {
        prefix.save();
    } catch (const wine::PrefixError& e) {
        throw CliError(e.what());
    }
}

} // namespace tw::cli
