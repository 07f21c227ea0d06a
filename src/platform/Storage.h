// Where the registry's changes become lasting, and the check made before changing anything.
#pragma once

#include "WinTypes.h"

#include <stdexcept>
#include <string>

namespace tw::platform {

/// A change that could not be made lasting; the message says why.
class StorageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class Storage
{
public:
    virtual ~Storage() = default;
    /// Why changes made now could not be saved (the registry is read-only, a file may not be
    /// written, another program changed it meanwhile); empty when they can be.
    virtual std::string writeRefusal() = 0;
    /// Why changes under the root key `root` could not be made now; empty when they can.
    virtual std::string writeRefusalUnder(win::HKEY root)
    {
        (void)root;
        return {};
    }
    /// Saves every change made so far. Throws StorageError; then nothing was saved and the
    /// changes are still pending.
    virtual void commit() = 0;
    /// Forgets every change not saved; the registry reads as it was last saved.
    virtual void rollback() = 0;
    /// Why the registry is read-only now (Wine holds it, the files may not be written);
    /// empty when changes can be made.
    virtual std::string readOnlyReason() = 0;
    /// Once Wine, which held the registry, has ended (or another program rewrote the files
    /// while nothing was pending here): reads the registry again, so that what the Windows
    /// programs changed is seen, and lifts the read-only state Wine caused. Does nothing
    /// while keys are open (call it between actions). True when the registry was read again
    /// or its state changed. Throws StorageError when the files cannot be read; then the
    /// registry stays read-only.
    virtual bool refresh() = 0;
};

} // namespace tw::platform
