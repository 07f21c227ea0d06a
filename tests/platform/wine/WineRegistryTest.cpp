// The Win32-shaped registry functions over a prefix's hives.
#include "platform/wine/WineRegistry.h"

#include "platform/TextCodec.h"
#include "platform/wine/WinePrefix.h"
#include "support/TestSupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace tw::wine {

using namespace tw::win;
namespace {

using platform::KeyHandle;
using test::PrefixBuilder;
using test::TempDir;

class WineRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PrefixBuilder(dir.path()).fixtureHives("wine-8.0/varied");
        prefix = std::make_unique<WinePrefix>(dir.str());
    }
    WineRegistry& reg() { return prefix->registry(); }

    std::vector<std::string> subkeys(HKEY key)
    {
        std::vector<std::string> names;
        std::string name;
        for (DWORD i = 0; reg().enumKey(key, i, &name) == ERROR_SUCCESS; ++i)
            names.push_back(name);
        return names;
    }

    TempDir dir;
    std::unique_ptr<WinePrefix> prefix;
};

TEST_F(WineRegistryTest, RootsMapToTheHives)
{
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\TidewellFixture", KEY_READ, key.out()),
              ERROR_SUCCESS);
    KeyHandle viaUsers(reg());
    EXPECT_EQ(reg().openKey(HKEY_USERS, "S-1-5-21-0-0-0-1000\\Software\\TidewellFixture", KEY_READ,
                            viaUsers.out()),
              ERROR_SUCCESS);
    KeyHandle defaultUser(reg());
    EXPECT_EQ(reg().openKey(
                  HKEY_USERS,
                  ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  KEY_READ, defaultUser.out()),
              ERROR_SUCCESS);
    // HKEY_CLASSES_ROOT is HKLM\Software\Classes.
    KeyHandle txt(reg());
    ASSERT_EQ(reg().openKey(HKEY_CLASSES_ROOT, ".ini", KEY_READ, txt.out()), ERROR_SUCCESS);
    KeyHandle txtMachine(reg());
    EXPECT_EQ(
        reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.ini", KEY_READ, txtMachine.out()),
        ERROR_SUCCESS);
    EXPECT_EQ(subkeys(HKEY_USERS), (std::vector<std::string>{".Default", "S-1-5-21-0-0-0-1000"}));
}

TEST_F(WineRegistryTest, ClassesRootIsTheClassesKeyOfTheMomentAfterItIsDeletedAndMadeAgain)
{
    KeyHandle ini(reg());
    ASSERT_EQ(reg().openKey(HKEY_CLASSES_ROOT, ".ini", KEY_READ, ini.out()), ERROR_SUCCESS);

    // Removes a key with everything below it, leaves first; a link only as itself.
    const std::function<void(const std::string&)> removeTree = [&](const std::string& path) {
        KeyHandle key(reg());
        ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, key.out(),
                                REG_OPTION_OPEN_LINK),
                  ERROR_SUCCESS);
        DWORD type = 0;
        std::vector<std::string> names;
        if (reg().queryValue(key.get(), "SymbolicLinkValue", &type, nullptr) == ERROR_SUCCESS) {
            ASSERT_EQ(reg().deleteKey(HKEY_LOCAL_MACHINE, path), ERROR_SUCCESS) << path;
            return;
        }
        std::string name;
        for (DWORD i = 0; reg().enumKey(key.get(), i, &name) == ERROR_SUCCESS; ++i)
            names.push_back(name);
        for (const std::string& subkey : names)
            removeTree(path + "\\" + subkey);
        ASSERT_EQ(reg().deleteKey(HKEY_LOCAL_MACHINE, path), ERROR_SUCCESS) << path;
    };
    removeTree("Software\\Classes");
    KeyHandle gone(reg());
    EXPECT_EQ(reg().openKey(HKEY_CLASSES_ROOT, ".ini", KEY_READ, gone.out()), ERROR_FILE_NOT_FOUND);

    KeyHandle made(reg());
    ASSERT_EQ(reg().createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.fresh", KEY_ALL_ACCESS,
                              made.out()),
              ERROR_SUCCESS);
    KeyHandle fresh(reg());
    EXPECT_EQ(reg().openKey(HKEY_CLASSES_ROOT, ".fresh", KEY_READ, fresh.out()), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(HKEY_CLASSES_ROOT), std::vector<std::string>{".fresh"});
}

TEST_F(WineRegistryTest, NamesAreCaseInsensitiveAndCasePreserving)
{
    KeyHandle key(reg());
    ASSERT_EQ(
        reg().openKey(HKEY_CURRENT_USER, "SOFTWARE\\tidewellfixture", KEY_ALL_ACCESS, key.out()),
        ERROR_SUCCESS);
    DWORD type = 0;
    std::string data;
    ASSERT_EQ(reg().queryValue(key.get(), "SZ", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("plain text\0", 11));
    ASSERT_EQ(reg().setValue(key.get(), "sz", REG_SZ, std::string("new\0", 4)), ERROR_SUCCESS);
    std::string name;
    bool found = false;
    for (DWORD i = 0; reg().enumValue(key.get(), i, &name, nullptr, nullptr) == ERROR_SUCCESS; ++i)
        found = found || name == "Sz";
    EXPECT_TRUE(found) << "the first spelling of a value's name stays";
}

TEST_F(WineRegistryTest, EnumeratesInWineOrder)
{
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\TidewellFixture", KEY_READ, key.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys(key.get()),
              (std::vector<std::string>{"10", "9", "_under", "Deep", "Empty Key", "lower",
                                        "Sub\xc3\xa9\xe6\x97\xa5", "Upper"}));
    std::string name;
    ASSERT_EQ(reg().enumValue(key.get(), 0, &name, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(name, "") << "the unnamed value sorts first";
    EXPECT_EQ(reg().enumKey(key.get(), 8, &name), ERROR_NO_MORE_ITEMS);
}

TEST_F(WineRegistryTest, StringDataCrossesAsUtf8WithNuls)
{
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\TidewellFixture", KEY_READ, key.out()),
              ERROR_SUCCESS);
    DWORD type = 0;
    std::string data;
    ASSERT_EQ(reg().queryValue(key.get(), "Multi", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(data, std::string("one\0two\0\0", 9));
    ASSERT_EQ(reg().queryValue(key.get(), "Expand", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(data, std::string("%SystemRoot%\\system32\\x.dll\0", 28));
    ASSERT_EQ(reg().queryValue(key.get(), "Qword", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("\x88\x77\x66\x55\x44\x33\x22\x11", 8));
    EXPECT_EQ(reg().queryValue(key.get(), "Missing", &type, &data), ERROR_FILE_NOT_FOUND);
}

TEST_F(WineRegistryTest, StringDataOfAnyCharactersCrossesAsUtf8AndSurvivesASave)
{
    const std::vector<std::string> texts = {std::string("plain ascii\0", 12),
                                            std::string("caf\xc3\xa9\0", 6),
                                            std::string("\xc2\x80\xc3\xbf\0", 5),
                                            std::string("\xe6\x97\xa5\xe6\x9c\xac\0", 7),
                                            std::string("\xf0\x9f\x8c\x8e and more\0", 14),
                                            std::string("a\0b\0\0", 5)};
    {
        KeyHandle key(reg());
        ASSERT_EQ(reg().createKey(HKEY_CURRENT_USER, "Software\\Texts", KEY_ALL_ACCESS, key.out()),
                  ERROR_SUCCESS);
        for (size_t i = 0; i < texts.size(); ++i)
            ASSERT_EQ(reg().setValue(key.get(), "t" + std::to_string(i),
                                     i + 1 == texts.size() ? REG_MULTI_SZ : REG_SZ, texts[i]),
                      ERROR_SUCCESS);
    }
    const auto check = [&](const char* when) {
        KeyHandle key(reg());
        ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\Texts", KEY_READ, key.out()),
                  ERROR_SUCCESS);
        for (size_t i = 0; i < texts.size(); ++i) {
            std::string data;
            ASSERT_EQ(reg().queryValue(key.get(), "t" + std::to_string(i), nullptr, &data),
                      ERROR_SUCCESS);
            EXPECT_EQ(data, texts[i]) << "value " << i << " " << when;
            std::string name;
            ASSERT_EQ(reg().enumValue(key.get(), DWORD(i), &name, nullptr, &data), ERROR_SUCCESS);
            EXPECT_EQ(data, texts[i]) << "value " << i << " " << when;
        }
        platform::KeyInfo info;
        ASSERT_EQ(reg().queryInfoKey(key.get(), &info), ERROR_SUCCESS);
        EXPECT_EQ(info.maxValueLen, 2u * 12u) << when; // UTF-16 with its NUL
    };
    check("as set");
    prefix->save();
    prefix = std::make_unique<WinePrefix>(dir.str());
    check("read back");
}

TEST_F(WineRegistryTest, FollowsRegistryLinks)
{
    // Software\Wow6432Node\Classes links to Software\Classes\Wow6432Node, whose AppId links
    // to Software\Classes\AppId.
    KeyHandle linked(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Classes\\AppId\\BITS",
                            KEY_READ, linked.out()),
              ERROR_SUCCESS);
    DWORD type = 0;
    std::string data;
    ASSERT_EQ(reg().queryValue(linked.get(), "AppID", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("{69AD4AEE-51BE-439B-A92C-86AE490E8B30}\0", 39));
    ASSERT_EQ(reg().setValue(linked.get(), "ViaLink", REG_SZ, std::string("1\0", 2)),
              ERROR_ACCESS_DENIED)
        << "a handle opened for reading refuses writes";

    KeyHandle writable(reg());
    ASSERT_EQ(reg().createKey(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Classes\\AppId\\BITS",
                              KEY_ALL_ACCESS, writable.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(reg().setValue(writable.get(), "ViaLink", REG_SZ, std::string("1\0", 2)),
              ERROR_SUCCESS);
    KeyHandle target(reg());
    ASSERT_EQ(
        reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\AppId\\BITS", KEY_READ, target.out()),
        ERROR_SUCCESS);
    EXPECT_EQ(reg().queryValue(target.get(), "ViaLink", nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(WineRegistryTest, OpensALinkItselfWhenAskedTo)
{
    const char* link = "Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones";
    KeyHandle followed(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, link, KEY_READ, followed.out()), ERROR_SUCCESS);
    EXPECT_GT(subkeys(followed.get()).size(), 100u);

    KeyHandle itself(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, link, KEY_READ, itself.out(), REG_OPTION_OPEN_LINK),
              ERROR_SUCCESS);
    EXPECT_TRUE(subkeys(itself.get()).empty());
    DWORD type = 0;
    std::string data;
    ASSERT_EQ(reg().queryValue(itself.get(), "SymbolicLinkValue", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_LINK);

    // Links on the way are followed; only the last key is opened as it is.
    KeyHandle viaLink(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Classes\\AppId", KEY_READ,
                            viaLink.out(), REG_OPTION_OPEN_LINK),
              ERROR_SUCCESS);
    EXPECT_TRUE(subkeys(viaLink.get()).empty());
    EXPECT_EQ(reg().queryValue(viaLink.get(), "SymbolicLinkValue", &type, nullptr), ERROR_SUCCESS);
    // A key that is no link opens as usual.
    KeyHandle plain(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\AppId", KEY_READ, plain.out(),
                            REG_OPTION_OPEN_LINK),
              ERROR_SUCCESS);
    EXPECT_FALSE(subkeys(plain.get()).empty());
}

TEST_F(WineRegistryTest, ALinkOpenedItselfNamesItsTarget)
{
    // Software\Wow6432Node\Classes is a link; below it, AppId is another one.
    KeyHandle link(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Classes\\AppId", KEY_READ,
                            link.out(), REG_OPTION_OPEN_LINK),
              ERROR_SUCCESS);
    DWORD type = 0;
    std::string target;
    ASSERT_EQ(reg().queryValue(link.get(), "SymbolicLinkValue", &type, &target), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_LINK);
    EXPECT_EQ(platform::utf16ToUtf8(platform::bytesToUtf16(target)),
              "\\Registry\\Machine\\Software\\Classes\\AppId");
    EXPECT_TRUE(subkeys(link.get()).empty()) << "a link has no subkeys of its own";

    KeyHandle followed(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Classes\\AppId", KEY_READ,
                            followed.out(), 0),
              ERROR_SUCCESS);
    EXPECT_EQ(reg().queryValue(followed.get(), "SymbolicLinkValue", nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(subkeys(followed.get()).empty());

    KeyHandle plain(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Classes", KEY_READ, plain.out(),
                            REG_OPTION_OPEN_LINK),
              ERROR_SUCCESS);
    EXPECT_EQ(reg().queryValue(plain.get(), "SymbolicLinkValue", nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Missing", KEY_READ, plain.out(),
                            REG_OPTION_OPEN_LINK),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(WineRegistryTest, CreatesEveryMissingKeyAndTellsWhetherItWasNew)
{
    KeyHandle key(reg());
    bool created = false;
    ASSERT_EQ(reg().createKey(HKEY_CURRENT_USER, "Software\\A\\B\\C", KEY_ALL_ACCESS, key.out(),
                              &created),
              ERROR_SUCCESS);
    EXPECT_TRUE(created);
    KeyHandle again(reg());
    ASSERT_EQ(reg().createKey(HKEY_CURRENT_USER, "software\\a\\b\\c", KEY_ALL_ACCESS, again.out(),
                              &created),
              ERROR_SUCCESS);
    EXPECT_FALSE(created);
    KeyHandle middle(reg());
    EXPECT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\A\\B", KEY_READ, middle.out()),
              ERROR_SUCCESS);
    EXPECT_TRUE(prefix->hasUnsavedChanges());
}

TEST_F(WineRegistryTest, DeleteKeyRefusesKeysWithSubkeys)
{
    EXPECT_EQ(reg().deleteKey(HKEY_CURRENT_USER, "Software\\TidewellFixture\\Deep"),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(
        reg().deleteKey(HKEY_CURRENT_USER, "Software\\TidewellFixture\\Deep\\Deeper\\Deepest [x]"),
        ERROR_SUCCESS);
    EXPECT_EQ(
        reg().deleteKey(HKEY_CURRENT_USER, "Software\\TidewellFixture\\Deep\\Deeper\\Deepest [x]"),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg().deleteKey(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
}

TEST_F(WineRegistryTest, HandlesOfDeletedKeysReportTheDeletion)
{
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\TidewellFixture\\Empty Key",
                            KEY_ALL_ACCESS, key.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(reg().deleteKey(HKEY_CURRENT_USER, "Software\\TidewellFixture\\Empty Key"),
              ERROR_SUCCESS);
    EXPECT_EQ(reg().setValue(key.get(), "x", REG_SZ, std::string("\0", 1)), ERROR_KEY_DELETED);
    EXPECT_EQ(reg().closeKey(key.get()), ERROR_SUCCESS);
    *key.out() = 0;
    EXPECT_EQ(reg().closeKey(0x12345), ERROR_INVALID_HANDLE);
}

TEST_F(WineRegistryTest, AClosedHandleNeverNamesAKeyOpenedAfterIt)
{
    HKEY first = 0;
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software", KEY_READ, &first), ERROR_SUCCESS);
    ASSERT_EQ(reg().closeKey(first), ERROR_SUCCESS);
    HKEY second = 0;
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, &second),
              ERROR_SUCCESS);
    EXPECT_NE(second, first);
    platform::KeyInfo info;
    EXPECT_EQ(reg().queryInfoKey(first, &info), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg().setValue(first, "x", REG_SZ, std::string("y\0", 2)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg().closeKey(first), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg().openHandleCount(), 1u);
    // Many handles later, none is ever a predefined key.
    std::vector<HKEY> handles;
    for (int i = 0; i < 3000; ++i) {
        HKEY key = 0;
        ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software", KEY_READ, &key), ERROR_SUCCESS);
        EXPECT_FALSE(key >= HKEY_CLASSES_ROOT && key <= HKEY_CURRENT_CONFIG + 1);
        if (i % 3 == 0)
            handles.push_back(key);
        else
            EXPECT_EQ(reg().closeKey(key), ERROR_SUCCESS);
    }
    for (HKEY key : handles)
        EXPECT_EQ(reg().closeKey(key), ERROR_SUCCESS);
    EXPECT_EQ(reg().closeKey(second), ERROR_SUCCESS);
    EXPECT_EQ(reg().openHandleCount(), 0u);
}

TEST_F(WineRegistryTest, ADeletedKeyAHandleHeldOutlivesReadingTheHivesAgain)
{
    const std::string path = "Software\\TidewellFixture\\Deep\\Deeper\\Deepest [x]";
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, path, KEY_ALL_ACCESS, key.out()), ERROR_SUCCESS);
    ASSERT_EQ(reg().deleteKey(HKEY_CURRENT_USER, path), ERROR_SUCCESS);
    // The tree the deleted key came from is freed; the key is still held.
    prefix->revert();
    EXPECT_EQ(reg().queryValue(key.get(), "Leaf", nullptr, nullptr), ERROR_INVALID_HANDLE);
    *key.out() = 0;
    KeyHandle again(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, path, KEY_READ, again.out()), ERROR_SUCCESS);
    std::string data;
    ASSERT_EQ(reg().queryValue(again.get(), "Leaf", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("leaf\0", 5));
}

TEST_F(WineRegistryTest, RepeatedPathWalksSeeDeletedAndNewKeys)
{
    KeyHandle key(reg());
    ASSERT_EQ(
        reg().createKey(HKEY_CURRENT_USER, "Software\\Walk\\Child", KEY_ALL_ACCESS, key.out()),
        ERROR_SUCCESS);
    ASSERT_EQ(reg().setValue(key.get(), "v", REG_SZ, std::string("old\0", 4)), ERROR_SUCCESS);
    KeyHandle deeper(reg());
    EXPECT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\Walk\\Child", KEY_READ, deeper.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(reg().deleteKey(HKEY_CURRENT_USER, "Software\\Walk\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\Walk\\Child", KEY_READ, deeper.out()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        reg().openKey(HKEY_CURRENT_USER, "Software\\Walk\\Child\\Below", KEY_READ, deeper.out()),
        ERROR_FILE_NOT_FOUND);
    KeyHandle again(reg());
    ASSERT_EQ(
        reg().createKey(HKEY_CURRENT_USER, "Software\\Walk\\Child", KEY_ALL_ACCESS, again.out()),
        ERROR_SUCCESS);
    ASSERT_EQ(reg().setValue(again.get(), "v", REG_SZ, std::string("new\0", 4)), ERROR_SUCCESS);
    std::string data;
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\Walk\\Child", KEY_READ, deeper.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(reg().queryValue(deeper.get(), "v", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("new\0", 4));
    // The same path from another root is another key.
    EXPECT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, "Software\\Walk\\Child", KEY_READ, deeper.out()),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(WineRegistryTest, ASubkeyOpenedByTheNameEnumerationGaveIsThatKeyEvenAfterChanges)
{
    KeyHandle parent(reg());
    ASSERT_EQ(reg().createKey(HKEY_CURRENT_USER, "Software\\Enum", KEY_ALL_ACCESS, parent.out()),
              ERROR_SUCCESS);
    const auto mark = [&](const std::string& name) {
        KeyHandle key(reg());
        ASSERT_EQ(reg().createKey(parent.get(), name, KEY_ALL_ACCESS, key.out()), ERROR_SUCCESS);
        ASSERT_EQ(reg().setValue(key.get(), "", REG_SZ, name + '\0'), ERROR_SUCCESS);
    };
    const auto opensAs = [&](const std::string& name) {
        KeyHandle key(reg());
        if (reg().openKey(parent.get(), name, KEY_READ, key.out()) != ERROR_SUCCESS)
            return std::string("(not found)");
        std::string data;
        reg().queryValue(key.get(), "", nullptr, &data);
        return data.empty() ? data : data.substr(0, data.size() - 1);
    };
    mark("Beta");
    mark("Delta");
    std::string name;
    ASSERT_EQ(reg().enumKey(parent.get(), 0, &name), ERROR_SUCCESS);
    ASSERT_EQ(name, "Beta");
    EXPECT_EQ(opensAs("Beta"), "Beta");
    EXPECT_EQ(opensAs("BETA"), "Beta");
    EXPECT_EQ(opensAs("Delta"), "Delta");
    // A key added in front moves the others along; the names still decide.
    ASSERT_EQ(reg().enumKey(parent.get(), 1, &name), ERROR_SUCCESS);
    ASSERT_EQ(name, "Delta");
    mark("Alpha");
    EXPECT_EQ(opensAs("Delta"), "Delta");
    EXPECT_EQ(opensAs("Beta"), "Beta");
    ASSERT_EQ(reg().enumKey(parent.get(), 0, &name), ERROR_SUCCESS);
    ASSERT_EQ(reg().deleteKey(parent.get(), "Alpha"), ERROR_SUCCESS);
    EXPECT_EQ(opensAs("Alpha"), "(not found)");
    EXPECT_EQ(opensAs("Beta"), "Beta");
    // The same name below another key is that key's subkey.
    KeyHandle other(reg());
    ASSERT_EQ(
        reg().createKey(HKEY_CURRENT_USER, "Software\\Other\\Beta", KEY_ALL_ACCESS, other.out()),
        ERROR_SUCCESS);
    ASSERT_EQ(reg().enumKey(parent.get(), 0, &name), ERROR_SUCCESS);
    KeyHandle otherParent(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\Other", KEY_READ, otherParent.out()),
              ERROR_SUCCESS);
    KeyHandle below(reg());
    ASSERT_EQ(reg().openKey(otherParent.get(), "Beta", KEY_READ, below.out()), ERROR_SUCCESS);
    EXPECT_EQ(reg().queryValue(below.get(), "", nullptr, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(WineRegistryTest, RepeatedPathWalksFollowALinkWhereItPointsNow)
{
    // Software\Wow6432Node\Classes links to Software\Classes\Wow6432Node.
    const std::string viaLink = "Software\\Wow6432Node\\Classes";
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, viaLink + "\\AppId\\BITS", KEY_READ, key.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(
        reg().createKey(HKEY_LOCAL_MACHINE, "Software\\Walk\\Only", KEY_ALL_ACCESS, key.out()),
        ERROR_SUCCESS);
    // A sibling of the key the last walk passed through the link to.
    EXPECT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, viaLink + "\\Only", KEY_READ, key.out()),
              ERROR_FILE_NOT_FOUND);

    KeyHandle link(reg());
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, viaLink, KEY_ALL_ACCESS, link.out(),
                            REG_OPTION_OPEN_LINK),
              ERROR_SUCCESS);
    ASSERT_EQ(reg().queryValue(link.get(), "SymbolicLinkValue", nullptr, nullptr), ERROR_SUCCESS)
        << "the link itself, not the key the walk before reached through it";
    ASSERT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, viaLink + "\\AppId", KEY_READ, key.out()),
              ERROR_SUCCESS);
    ASSERT_EQ(reg().setValue(link.get(), "SymbolicLinkValue", REG_LINK,
                             platform::utf16ToBytes(u"\\Registry\\Machine\\Software\\Walk")),
              ERROR_SUCCESS);
    EXPECT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, viaLink + "\\Only", KEY_READ, key.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, viaLink + "\\AppId\\BITS", KEY_READ, key.out()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg().openKey(HKEY_LOCAL_MACHINE, viaLink + "\\\\Only\\", KEY_READ, key.out()),
              ERROR_SUCCESS)
        << "empty parts and a trailing backslash are passed over";
}

TEST_F(WineRegistryTest, RejectsPathsThatStartWithABackslash)
{
    KeyHandle key(reg());
    EXPECT_EQ(reg().openKey(HKEY_CURRENT_USER, "\\Software", KEY_READ, key.out()),
              ERROR_BAD_PATHNAME);
}

TEST_F(WineRegistryTest, RefusesNamesAndKeysNoHiveCanKeepAsWindowsDoes)
{
    const std::string longKey = "Software\\" + std::string(255, 'k');
    const std::string x("x\0", 2);
    // Non-ASCII names count in UTF-16 units, as Windows counts them.
    std::string wide;
    for (int i = 0; i < 16383; ++i)
        wide += "\xC3\xA9";
    {
        KeyHandle key(reg());
        ASSERT_EQ(reg().createKey(HKEY_CURRENT_USER, longKey, KEY_ALL_ACCESS, key.out()),
                  ERROR_SUCCESS);
        EXPECT_EQ(reg().setValue(key.get(), std::string(16383, 'v'), REG_SZ, x), ERROR_SUCCESS);
        EXPECT_EQ(reg().setValue(key.get(), std::string(16384, 'v'), REG_SZ, x),
                  ERROR_INVALID_PARAMETER);
        EXPECT_EQ(reg().setValue(key.get(), wide, REG_SZ, x), ERROR_SUCCESS);
        EXPECT_EQ(reg().setValue(key.get(), wide + "\xC3\xA9", REG_SZ, x), ERROR_INVALID_PARAMETER);

        KeyHandle other(reg());
        EXPECT_EQ(reg().createKey(HKEY_CURRENT_USER, "Software\\" + std::string(256, 'k'),
                                  KEY_ALL_ACCESS, other.out()),
                  ERROR_INVALID_PARAMETER);
        // Another user's keys lie in no hive file of the prefix: Wine would never keep them.
        EXPECT_EQ(reg().createKey(HKEY_USERS, "S-1-5-21-1-2-3-1001\\Software", KEY_ALL_ACCESS,
                                  other.out()),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(reg().setValue(HKEY_USERS, "Loose", REG_SZ, x), ERROR_ACCESS_DENIED);
        EXPECT_EQ(subkeys(HKEY_USERS),
                  (std::vector<std::string>{".Default", "S-1-5-21-0-0-0-1000"}));
        EXPECT_EQ(reg().createKey(HKEY_USERS, ".Default\\Software\\Tidewell", KEY_ALL_ACCESS,
                                  other.out()),
                  ERROR_SUCCESS);
    }
    prefix->save();

    prefix = std::make_unique<WinePrefix>(dir.str());
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, longKey, KEY_READ, key.out()), ERROR_SUCCESS);
    EXPECT_EQ(reg().queryValue(key.get(), std::string(16383, 'v'), nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(reg().queryValue(key.get(), wide, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(WineRegistryTest, QueryInfoCountsSubkeysAndValues)
{
    KeyHandle key(reg());
    ASSERT_EQ(reg().openKey(HKEY_CURRENT_USER, "Software\\TidewellFixture", KEY_READ, key.out()),
              ERROR_SUCCESS);
    platform::KeyInfo info;
    ASSERT_EQ(reg().queryInfoKey(key.get(), &info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 8u);
    EXPECT_EQ(info.values, 16u);
    EXPECT_EQ(info.className, "FixtureClass");
    EXPECT_EQ(info.maxValueLen, 200u);
    EXPECT_EQ(info.lastWriteTime, 0x1dd8799d9cec3d4ULL);
}

} // namespace
} // namespace tw::wine
