// The live Windows registry through the W calls, with a journal of the changes made since the
// last commit so that they can be undone.
#pragma once

#include "platform/Registry.h"
#include "platform/Storage.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tw::win32 {

class Win32Registry : public platform::Registry
{
public:
    Win32Registry();
    ~Win32Registry() override;
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;

    win::LONG openKey(win::HKEY key, std::string_view subKey, win::REGSAM access, win::HKEY* result,
                      win::DWORD options = 0) override;
    win::LONG createKey(win::HKEY key, std::string_view subKey, win::REGSAM access,
                        win::HKEY* result, bool* created = nullptr) override;
    win::LONG closeKey(win::HKEY key) override;
    win::LONG flushKey(win::HKEY key) override;
    win::LONG queryInfoKey(win::HKEY key, platform::KeyInfo* info) override;
    win::LONG enumKey(win::HKEY key, win::DWORD index, std::string* name) override;
    win::LONG enumValue(win::HKEY key, win::DWORD index, std::string* name, win::DWORD* type,
                        std::string* data) override;
    win::LONG queryValue(win::HKEY key, std::string_view name, win::DWORD* type,
                         std::string* data) override;
    win::LONG setValue(win::HKEY key, std::string_view name, win::DWORD type,
                       std::string_view data) override;
    win::LONG deleteValue(win::HKEY key, std::string_view name) override;
    win::LONG deleteKey(win::HKEY key, std::string_view subKey) override;

    /// How many changes the journal holds; a mark for rollbackTo().
    size_t journalSize() const { return m_journal.size(); }
    /// Undoes the journalled changes after `mark`, newest first. False when one could not be
    /// undone (the rest still are).
    bool rollbackTo(size_t mark);
    /// Flushes the root keys that were changed and forgets the journal. Returns the first
    /// failure's Win32 code, or ERROR_SUCCESS.
    win::LONG commit();

    /// A registry value as the W calls store it (string data UTF-16LE).
    struct StoredValue
    {
        std::wstring name;
        unsigned long type = 0;
        std::string bytes;
    };

private:
    /// Where an open handle points: its root, path below it and registry view.
    struct KeyPlace
    {
        win::HKEY root = 0;
        std::wstring path;
        win::REGSAM view = 0;
    };
    /// A root opened again with a view: Windows hands back the predefined handle, so the view
    /// is kept under a handle value of our own (odd, which real handles never are).
    struct ViewedRoot
    {
        win::HKEY root = 0;
        win::REGSAM view = 0;
    };
    struct Change
    {
        enum class Kind
        {
            Value,      ///< restore `value` (or delete it when `existed` is false)
            CreatedKey, ///< delete the key again
            DeletedKey, ///< create the key with `className` and `values`
        };
        Kind kind = Kind::Value;
        KeyPlace place;
        bool existed = false;
        StoredValue value;
        std::wstring className;
        std::vector<StoredValue> values;
        /// A deleted value's successors, written again after it to restore the order.
        std::vector<std::wstring> followers;
    };

    std::optional<KeyPlace> placeOf(win::HKEY key) const;
    /// The handle the W calls take for `key`.
    void* native(win::HKEY key) const;
    win::HKEY remember(void* native, KeyPlace place);
    bool undo(const Change& change);

    std::map<win::HKEY, KeyPlace> m_open;
    std::map<win::HKEY, ViewedRoot> m_viewedRoots;
    win::HKEY m_nextViewedRoot = 1;
    std::vector<Change> m_journal;
};

/// Changes are made at once; commit() keeps them, rollback() undoes them from the journal.
/// Why keys under `root` cannot be changed by this process (HKEY_LOCAL_MACHINE, HKEY_USERS and
/// HKEY_CLASSES_ROOT need administrator rights); empty when they can. Asks the system once.
std::string administratorRefusalUnder(win::HKEY root);

class Win32Storage : public platform::Storage
{
public:
    explicit Win32Storage(Win32Registry& registry);

    std::string writeRefusal() override { return {}; }
    std::string writeRefusalUnder(win::HKEY root) override;
    void commit() override;
    void rollback() override;
    std::string readOnlyReason() override { return {}; }
    bool refresh() override { return false; }

private:
    Win32Registry& m_registry;
};

} // namespace tw::win32
