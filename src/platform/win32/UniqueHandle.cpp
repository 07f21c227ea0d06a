#include "UniqueHandle.h"

#include <windows.h>

namespace tw::win32 {

bool closeKernelHandle(void* handle)
{
    return CloseHandle(handle) != FALSE;
}

} // namespace tw::win32
