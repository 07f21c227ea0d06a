// The Win32 registry, its journal and the .reg editor against the live registry.
#include "platform/win32/Win32Registry.h"

#include "platform/RegFile.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32RegistryEditor.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

// <windows.h> defines the root names as macros.
namespace {
constexpr tw::win::HKEY kCurrentUser = tw::win::HKEY_CURRENT_USER;
constexpr tw::win::HKEY kLocalMachine = tw::win::HKEY_LOCAL_MACHINE;
constexpr tw::win::HKEY kClassesRoot = tw::win::HKEY_CLASSES_ROOT;
} // namespace

#include <windows.h>

namespace {

using namespace std::string_literals;
using tw::platform::KeyHandle;
using tw::platform::RegFileFormat;
using tw::platform::RegistryEditorError;
using tw::win32::toWide;
using tw::win32::Win32Registry;
using tw::win32::Win32RegistryEditor;
using tw::win32::Win32Storage;
namespace win = tw::win;
namespace fs = std::filesystem;

std::string uniqueName()
{
    static int counter = 0;
    return "t" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64()) +
           "-" + std::to_string(++counter);
}

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

/// Stores exactly `bytes`: RegSetValueExW would count a NUL that follows string data.
LONG setRaw(HKEY key, const wchar_t* name, DWORD type, const std::string& bytes)
{
    const std::string guarded = bytes + "\xff\xff\xff";
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                          DWORD(bytes.size()));
}

/// Raw bytes of a value as the W calls store them.
std::string storedBytes(HKEY key, const std::wstring& name, DWORD* type = nullptr)
{
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return "<missing>";
    std::string bytes(size, '\0');
    RegQueryValueExW(key, name.c_str(), nullptr, type, reinterpret_cast<BYTE*>(bytes.data()),
                     &size);
    bytes.resize(size);
    return bytes;
}

class Win32RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_name = uniqueName();
        m_path = "Software\\TidewellTest\\" + m_name;
        ASSERT_EQ(m_registry.createKey(kCurrentUser, m_path, KEY_ALL_ACCESS, m_key.out()),
                  ERROR_SUCCESS);
        ASSERT_EQ(
            RegOpenKeyExW(HKEY_CURRENT_USER, toWide(m_path).c_str(), 0, KEY_ALL_ACCESS, &m_native),
            ERROR_SUCCESS);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_folder = fs::path(temp) / ("tidewell-" + m_name);
        fs::create_directories(m_folder);
    }

    void TearDown() override
    {
        m_key.reset();
        RegCloseKey(m_native);
        RegDeleteTreeW(HKEY_CURRENT_USER, toWide(m_path).c_str());
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    std::string fullPath(const std::string& sub = {}) const
    {
        return "HKEY_CURRENT_USER\\" + m_path + (sub.empty() ? "" : "\\" + sub);
    }

    std::string exported()
    {
        return tw::platform::exportRegFile(m_registry, fullPath(), RegFileFormat::Unicode);
    }

    Win32Registry m_registry;
    KeyHandle m_key{m_registry};
    HKEY m_native = nullptr;
    std::string m_name;
    std::string m_path;
    fs::path m_folder;
};

TEST_F(Win32RegistryTest, everyValueTypeRoundTripsAsTheAnsiCallsWouldGiveIt)
{
    struct Case
    {
        std::string name;
        win::DWORD type;
        std::string data;
        std::string stored; // as UTF-16 or raw bytes
    };
    const std::string dword("\x2a\x00\x00\x80", 4);
    const std::string qword("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    const std::string binary("\x00\xff\x10\x00"s);
    const std::vector<Case> cases = {
        {"plain", REG_SZ, "text\0"s, "t\0e\0x\0t\0\0\0"s},
        {"n\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80", REG_SZ,
         "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\0"s, "\xE9\x00\x2D\x4E\x3D\xD8\x00\xDE\0\0"s},
        {"expand", REG_EXPAND_SZ, "%TEMP%\\x\0"s, "%\0T\0E\0M\0P\0%\0\\\0x\0\0\0"s},
        {"multi", REG_MULTI_SZ, "a\0\xE4\xB8\xAD\0\0"s, "a\0\0\0\x2D\x4E\0\0\0\0"s},
        {"empty string", REG_SZ, "", ""},
        {"no terminator", REG_SZ, "ab", "a\0b\0"s},
        {"binary", REG_BINARY, binary, binary},
        {"dword", REG_DWORD, dword, dword},
        {"qword", REG_QWORD, qword, qword},
        {"none", REG_NONE, "", ""},
        {"", REG_SZ, "default\0"s, "d\0e\0f\0a\0u\0l\0t\0\0\0"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(m_registry.setValue(m_key.get(), c.name, c.type, c.data), ERROR_SUCCESS);
        DWORD storedType = 0;
        EXPECT_EQ(storedBytes(m_native, toWide(c.name), &storedType), c.stored);
        EXPECT_EQ(storedType, c.type);
        win::DWORD type = 0;
        std::string data;
        ASSERT_EQ(m_registry.queryValue(m_key.get(), c.name, &type, &data), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(data, c.data);
    }
    size_t seen = 0;
    for (win::DWORD index = 0;; ++index) {
        std::string name, data;
        win::DWORD type = 0;
        const win::LONG rc = m_registry.enumValue(m_key.get(), index, &name, &type, &data);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        const auto it =
            std::find_if(cases.begin(), cases.end(), [&](const Case& c) { return c.name == name; });
        ASSERT_NE(it, cases.end()) << name;
        EXPECT_EQ(type, it->type) << name;
        EXPECT_EQ(data, it->data) << name;
        ++seen;
    }
    EXPECT_EQ(seen, cases.size());
    EXPECT_EQ(m_registry.queryValue(m_key.get(), "absent", nullptr, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32RegistryTest, oddStoredStringsReadLikeTheWinePlatformReadsThem)
{
    // An odd last byte is dropped; a missing terminator is not added.
    const std::string odd("A\0B"s);
    ASSERT_EQ(setRaw(m_native, L"odd", REG_SZ, odd), ERROR_SUCCESS);
    const std::string unterminated("x\0\xE9\0"s);
    ASSERT_EQ(setRaw(m_native, L"open", REG_MULTI_SZ, unterminated), ERROR_SUCCESS);
    std::string data;
    ASSERT_EQ(m_registry.queryValue(m_key.get(), "odd", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, "A");
    ASSERT_EQ(m_registry.queryValue(m_key.get(), "open", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, "x\xC3\xA9");
}

TEST_F(Win32RegistryTest, subkeysEnumerateInOrderAndKeyInfoCountsUtf16Units)
{
    for (const char* name : {"beta", "Alpha", "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80"}) {
        KeyHandle sub(m_registry);
        ASSERT_EQ(m_registry.createKey(m_key.get(), name, KEY_ALL_ACCESS, sub.out()),
                  ERROR_SUCCESS);
    }
    HKEY withClass = nullptr;
    ASSERT_EQ(RegCreateKeyExW(m_native, L"classy", 0, const_cast<wchar_t*>(L"Kl\u00e4sse"), 0,
                              KEY_ALL_ACCESS, nullptr, &withClass, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(withClass);
    ASSERT_EQ(m_registry.setValue(m_key.get(), "v\xC3\xA9\xC3\xA9", REG_SZ, "abcdef\0"s),
              ERROR_SUCCESS);
    ASSERT_EQ(m_registry.setValue(m_key.get(), "b", REG_BINARY, "123456789"), ERROR_SUCCESS);

    std::vector<std::string> names;
    for (win::DWORD index = 0;; ++index) {
        std::string name;
        const win::LONG rc = m_registry.enumKey(m_key.get(), index, &name);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "classy",
                                               "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80"}));

    tw::platform::KeyInfo info;
    ASSERT_EQ(m_registry.queryInfoKey(m_key.get(), &info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 4u);
    EXPECT_EQ(info.maxSubKeyLen, 6u); // "classy"; the emoji name is 2 + 2 units
    EXPECT_EQ(info.values, 2u);
    EXPECT_EQ(info.maxValueNameLen, 3u);
    EXPECT_EQ(info.maxValueLen, 14u); // "abcdef\0" in UTF-16
    EXPECT_GT(info.lastWriteTime, win::TICKS_1601_TO_1970);

    KeyHandle classy(m_registry);
    ASSERT_EQ(m_registry.openKey(m_key.get(), "classy", KEY_READ, classy.out()), ERROR_SUCCESS);
    ASSERT_EQ(m_registry.queryInfoKey(classy.get(), &info), ERROR_SUCCESS);
    EXPECT_EQ(info.className, "Kl\xC3\xA4sse");
    EXPECT_EQ(info.subKeys, 0u);
}

TEST_F(Win32RegistryTest, deleteKeyRefusesKeysWithSubkeys)
{
    KeyHandle child(m_registry);
    ASSERT_EQ(m_registry.createKey(m_key.get(), "parent\\child", KEY_ALL_ACCESS, child.out()),
              ERROR_SUCCESS);
    child.reset();
    EXPECT_EQ(m_registry.deleteKey(m_key.get(), "parent"), ERROR_ACCESS_DENIED);
    KeyHandle parent(m_registry);
    EXPECT_EQ(m_registry.openKey(m_key.get(), "parent\\child", KEY_READ, parent.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(m_registry.deleteKey(m_key.get(), "parent\\child"), ERROR_SUCCESS);
    EXPECT_EQ(m_registry.deleteKey(m_key.get(), "parent"), ERROR_SUCCESS);
    EXPECT_EQ(m_registry.deleteKey(m_key.get(), "parent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(m_registry.openKey(m_key.get(), "parent", KEY_READ, parent.out()),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32RegistryTest, openLinkOpensTheLinkItselfInsteadOfItsTarget)
{
    const std::wstring target = toWide("Software\\TidewellTest-" + m_name + "-target");
    HKEY targetKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, target.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &targetKey, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(setRaw(targetKey, L"t", REG_SZ, "x\0\0\0"s), ERROR_SUCCESS);
    RegCloseKey(targetKey);
    HKEY link = nullptr;
    ASSERT_EQ(RegCreateKeyExW(m_native, L"link", 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const std::wstring destination = L"\\Registry\\Machine\\" + target;
    ASSERT_EQ(setRaw(link, L"SymbolicLinkValue", REG_LINK,
                     std::string(reinterpret_cast<const char*>(destination.data()),
                                 destination.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(link);

    KeyHandle followed(m_registry);
    ASSERT_EQ(m_registry.openKey(m_key.get(), "link", KEY_READ, followed.out()), ERROR_SUCCESS);
    std::string data;
    EXPECT_EQ(m_registry.queryValue(followed.get(), "t", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, "x"s + '\0');
    KeyHandle itself(m_registry);
    ASSERT_EQ(m_registry.openKey(m_key.get(), "link", KEY_READ, itself.out(), REG_OPTION_OPEN_LINK),
              ERROR_SUCCESS);
    win::DWORD type = 0;
    EXPECT_EQ(m_registry.queryValue(itself.get(), "SymbolicLinkValue", &type, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_LINK);
    EXPECT_EQ(m_registry.queryValue(itself.get(), "t", nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    followed.reset();
    itself.reset();

    // The link itself goes first (deleting it by name would delete its target).
    ASSERT_EQ(RegOpenKeyExW(m_native, L"link", REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &link),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyExW(link, L"", 0, 0), ERROR_SUCCESS);
    RegCloseKey(link);
    EXPECT_EQ(RegDeleteKeyExW(HKEY_LOCAL_MACHINE, target.c_str(), 0, 0), ERROR_SUCCESS);
}

TEST_F(Win32RegistryTest, the32BitViewLivesUnderWow6432NodeAndIsDeletedThere)
{
    const std::string name = "TidewellTest-" + m_name;
    const win::REGSAM wow32 = KEY_WOW64_32KEY, wow64 = KEY_WOW64_64KEY;
    Win32Storage storage(m_registry);
    {
        KeyHandle key(m_registry);
        bool created = false;
        ASSERT_EQ(m_registry.createKey(kLocalMachine, "Software\\" + name, KEY_ALL_ACCESS | wow32,
                                       key.out(), &created),
                  ERROR_SUCCESS);
        EXPECT_TRUE(created);
    }
    KeyHandle probe(m_registry);
    EXPECT_EQ(m_registry.openKey(kLocalMachine, "Software\\Wow6432Node\\" + name, KEY_READ | wow64,
                                 probe.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(m_registry.openKey(kLocalMachine, "Software\\" + name, KEY_READ | wow64, probe.out()),
              ERROR_FILE_NOT_FOUND);
    probe.reset();

    // Rolled back, the journal removes it from the view it was made in.
    storage.rollback();
    EXPECT_EQ(m_registry.openKey(kLocalMachine, "Software\\Wow6432Node\\" + name, KEY_READ | wow64,
                                 probe.out()),
              ERROR_FILE_NOT_FOUND);

    // deleteKey through a 32-bit handle deletes in the 32-bit view.
    {
        KeyHandle key(m_registry);
        ASSERT_EQ(m_registry.createKey(kLocalMachine, "Software\\" + name, KEY_ALL_ACCESS | wow32,
                                       key.out()),
                  ERROR_SUCCESS);
    }
    // The handle of the root itself carries the view; the path below it is not redirected.
    KeyHandle machine(m_registry);
    ASSERT_EQ(m_registry.openKey(kLocalMachine, "", KEY_ALL_ACCESS | wow32, machine.out()),
              ERROR_SUCCESS);
    const win::LONG deleted = m_registry.deleteKey(machine.get(), "Software\\" + name);
    EXPECT_EQ(deleted, ERROR_SUCCESS);
    EXPECT_EQ(m_registry.openKey(kLocalMachine, "Software\\Wow6432Node\\" + name, KEY_READ | wow64,
                                 probe.out()),
              ERROR_FILE_NOT_FOUND);
    if (deleted != ERROR_SUCCESS)
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, toWide("Software\\" + name).c_str(), KEY_WOW64_32KEY,
                        0);
    storage.commit();
}

TEST_F(Win32RegistryTest, rollbackRestoresEveryKindOfChangeAndCommitKeepsThem)
{
    // The state to come back to.
    ASSERT_EQ(m_registry.setValue(m_key.get(), "a", REG_SZ, "one\0"s), ERROR_SUCCESS);
    ASSERT_EQ(m_registry.setValue(m_key.get(), "b", REG_DWORD, "\x07\0\0\0"s), ERROR_SUCCESS);
    ASSERT_EQ(m_registry.setValue(m_key.get(), "c", REG_MULTI_SZ, "x\0y\0\0"s), ERROR_SUCCESS);
    HKEY classy = nullptr;
    ASSERT_EQ(RegCreateKeyExW(m_native, L"gone", 0, const_cast<wchar_t*>(L"Cl\u00e4ss"), 0,
                              KEY_ALL_ACCESS, nullptr, &classy, nullptr),
              ERROR_SUCCESS);
    const std::string odd("Z\0Q"s);
    setRaw(classy, L"odd", REG_SZ, odd);
    RegSetValueExW(classy, L"n", 0, REG_BINARY, reinterpret_cast<const BYTE*>("\1\2"), 2);
    RegCloseKey(classy);
    Win32Storage storage(m_registry);
    storage.commit();
    const std::string before = exported();
    const std::string storedOdd = [&] {
        HKEY gone = nullptr;
        RegOpenKeyExW(m_native, L"gone", 0, KEY_READ, &gone);
        const std::string bytes = storedBytes(gone, L"odd");
        RegCloseKey(gone);
        return bytes;
    }();

    const auto change = [&] {
        ASSERT_EQ(m_registry.setValue(m_key.get(), "a", REG_EXPAND_SZ, "two\0"s), ERROR_SUCCESS);
        ASSERT_EQ(m_registry.setValue(m_key.get(), "new", REG_SZ, "\xE4\xB8\xAD\0"s),
                  ERROR_SUCCESS);
        ASSERT_EQ(m_registry.deleteValue(m_key.get(), "b"), ERROR_SUCCESS);
        KeyHandle deep(m_registry);
        ASSERT_EQ(
            m_registry.createKey(m_key.get(), "made\\deeper\\deepest", KEY_ALL_ACCESS, deep.out()),
            ERROR_SUCCESS);
        ASSERT_EQ(m_registry.setValue(deep.get(), "v", REG_SZ, "w\0"s), ERROR_SUCCESS);
        ASSERT_EQ(m_registry.setValue(m_key.get(), "a", REG_SZ, "three\0"s), ERROR_SUCCESS);
        ASSERT_EQ(m_registry.deleteKey(m_key.get(), "gone"), ERROR_SUCCESS);
        ASSERT_EQ(m_registry.deleteValue(m_key.get(), "new"), ERROR_SUCCESS);
    };
    change();
    ASSERT_NE(exported(), before);
    storage.rollback();
    EXPECT_EQ(exported(), before);
    KeyHandle gone(m_registry);
    ASSERT_EQ(m_registry.openKey(m_key.get(), "gone", KEY_READ, gone.out()), ERROR_SUCCESS);
    tw::platform::KeyInfo info;
    ASSERT_EQ(m_registry.queryInfoKey(gone.get(), &info), ERROR_SUCCESS);
    EXPECT_EQ(info.className, "Cl\xC3\xA4ss");
    HKEY restored = nullptr;
    ASSERT_EQ(RegOpenKeyExW(m_native, L"gone", 0, KEY_READ, &restored), ERROR_SUCCESS);
    EXPECT_EQ(storedBytes(restored, L"odd"), storedOdd);
    RegCloseKey(restored);
    gone.reset();

    change();
    const std::string after = exported();
    storage.commit();
    storage.rollback();
    EXPECT_EQ(exported(), after);
    EXPECT_NE(after, before);
}

TEST_F(Win32RegistryTest, machineKeysNeedNoRefusalWhenTheProcessMayChangeThem)
{
    Win32Storage storage(m_registry);
    EXPECT_EQ(storage.writeRefusal(), "");
    EXPECT_EQ(storage.readOnlyReason(), "");
    EXPECT_EQ(storage.writeRefusalUnder(kCurrentUser), "");
    // Wine gives every process the rights; the probe must see them.
    EXPECT_EQ(storage.writeRefusalUnder(kLocalMachine), "");
    EXPECT_EQ(storage.writeRefusalUnder(kClassesRoot), "");
    EXPECT_FALSE(storage.refresh());
}

class Win32RegistryEditorTest : public Win32RegistryTest
{
protected:
    void fill()
    {
        KeyHandle sub(m_registry);
        ASSERT_EQ(m_registry.createKey(m_key.get(), "sub\\\xE4\xB8\xAD", KEY_ALL_ACCESS, sub.out()),
                  ERROR_SUCCESS);
        ASSERT_EQ(m_registry.setValue(sub.get(), "\xF0\x9F\x98\x80", REG_SZ, "caf\xC3\xA9\0"s),
                  ERROR_SUCCESS);
        ASSERT_EQ(m_registry.setValue(m_key.get(), "m", REG_MULTI_SZ, "a\0b\0\0"s), ERROR_SUCCESS);
        ASSERT_EQ(m_registry.setValue(m_key.get(), "d", REG_DWORD, "\1\0\0\0"s), ERROR_SUCCESS);
        ASSERT_EQ(m_registry.setValue(m_key.get(), "q", REG_QWORD, "12345678"), ERROR_SUCCESS);
        ASSERT_EQ(m_registry.setValue(m_key.get(), "", REG_EXPAND_SZ, "%PATH%\0"s), ERROR_SUCCESS);
    }

    Win32RegistryEditor m_editor{m_registry};
};

TEST_F(Win32RegistryEditorTest, exportThenImportGivesTheSameFile)
{
    fill();
    for (const RegFileFormat format : {RegFileFormat::Unicode, RegFileFormat::Ansi}) {
        const fs::path first = m_folder / "first.reg";
        const fs::path second = m_folder / "second.reg";
        m_editor.exportToFile(first.string(), fullPath(), format);
        const std::string bytes = readBytes(first);
        ASSERT_FALSE(bytes.empty());
        ASSERT_EQ(tw::platform::deleteKeyTree(m_registry, kCurrentUser, m_path + "\\sub"),
                  ERROR_SUCCESS);
        ASSERT_EQ(m_registry.deleteValue(m_key.get(), "m"), ERROR_SUCCESS);
        m_editor.importFile(first.string());
        m_editor.exportToHostFile(second.string(), fullPath(), format);
        EXPECT_EQ(readBytes(second), bytes);
        EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 2);
    }
}

TEST_F(Win32RegistryEditorTest, aDamagedFileChangesNothingAndNamesTheLine)
{
    fill();
    const std::string key = fullPath();
    const fs::path file = m_folder / "damaged.reg";

    // Fails while applying line 9: a lasting key cannot be made below a volatile one.
    HKEY fleeting = nullptr;
    ASSERT_EQ(RegCreateKeyExW(m_native, L"fleeting", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &fleeting, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(fleeting);
    const std::string before = exported();
    writeBytes(file, "REGEDIT4\r\n\r\n[" + key + "]\r\n\"m\"=-\r\n\"new\"=\"text\"\r\n[-" + key +
                         "\\sub\\\xE4\xB8\xAD]\r\n[" + key +
                         "\\fresh\\deep]\r\n@=dword:00000005\r\n[" + key +
                         "\\fleeting\\child]\r\n");
    try {
        m_editor.importFile(file.string());
        FAIL() << "the import was accepted";
    } catch (const RegistryEditorError& e) {
        EXPECT_NE(std::string(e.what()).find("line 9"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("nothing was imported"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(exported(), before);

    // Fails while parsing.
    writeBytes(file, "REGEDIT4\r\n\r\n[" + key + "]\r\n\"d\"=dword:zz\r\n");
    try {
        m_editor.importHostFile(file.string());
        FAIL() << "the import was accepted";
    } catch (const RegistryEditorError& e) {
        EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
    }
    EXPECT_EQ(exported(), before);

    EXPECT_THROW(m_editor.importFile((m_folder / "missing.reg").string()), RegistryEditorError);
    EXPECT_THROW(m_editor.importFile(m_folder.string()), RegistryEditorError);
}

TEST_F(Win32RegistryEditorTest, aFailedExportLeavesNoFileAndKeepsTheOldOne)
{
    const fs::path fresh = m_folder / "fresh.reg";
    EXPECT_THROW(m_editor.exportToFile(fresh.string(), fullPath("missing")), RegistryEditorError);
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_TRUE(fs::is_empty(m_folder));

    const fs::path old = m_folder / "old.reg";
    writeBytes(old, "kept");
    EXPECT_THROW(m_editor.exportToFile(old.string(), fullPath("missing")), RegistryEditorError);
    EXPECT_EQ(readBytes(old), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);

    EXPECT_THROW(
        m_editor.exportToFile((m_folder / "no such folder" / "x.reg").string(), fullPath()),
        RegistryEditorError);
}

} // namespace
