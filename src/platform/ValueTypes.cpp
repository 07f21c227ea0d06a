#include "ValueTypes.h"

#include <cstdio>

namespace tw::platform {

std::string valueTypeName(win::DWORD type)
{
    for (const ValueTypeName& entry : kValueTypes) {
        if (entry.type == type)
            return std::string(entry.name);
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(type));
    return buf;
}

} // namespace tw::platform
