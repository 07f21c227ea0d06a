// A handle of the Windows API that its owner closes when it goes.
#pragma once

#include <cstdint>
#include <utility>

namespace tw::win32 {

/// Owns a handle that `Close` closes; null and INVALID_HANDLE_VALUE hold none.
template <typename H, auto Close> class UniqueHandle
{
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H handle) : m_handle(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr))
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    H get() const { return m_handle; }
    bool valid() const
    {
        // INVALID_HANDLE_VALUE, without windows.h (which must follow the platform's headers).
        return m_handle && m_handle != reinterpret_cast<H>(static_cast<std::intptr_t>(-1));
    }
    explicit operator bool() const { return valid(); }
    /// Where a call that opens one writes the handle; the one held before is closed.
    H* out()
    {
        reset();
        return &m_handle;
    }
    void reset(H handle = nullptr)
    {
        if (valid())
            Close(m_handle);
        m_handle = handle;
    }
    /// Closes the handle now; false when the system reports that closing failed.
    bool close()
    {
        const bool closed = !valid() || Close(m_handle);
        m_handle = nullptr;
        return closed;
    }

private:
    H m_handle = nullptr;
};

/// CloseHandle.
bool closeKernelHandle(void* handle);
/// A kernel object: a file, process, pipe, token or snapshot.
using KernelHandle = UniqueHandle<void*, &closeKernelHandle>;

} // namespace tw::win32
