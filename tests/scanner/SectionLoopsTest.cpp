// The section loops: the walk's order, yields and abort, and trees of any depth.
#include "scanner/sections/SectionLoops.h"

#include "ScannerTestSupport.h"
#include "scanner/sections/SectionText.h"

namespace tw {
namespace {

const char* kTree = R"hive(
[Software\\A\\x] 1

[Software\\A\\y] 1
"one"="1"
"two"="2"

[Software\\A\\y\\below y] 1

[Software\\B] 1
"v"="1"

[Software\\Skip\\inner] 1
)hive";

class SectionLoopsTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override { builder.userHive(kTree); }

    /// Walks HKEY_CURRENT_USER\Software; "Skip" is passed over and nothing below a "y" is
    /// entered.
    void walkSoftware(const std::function<void(const std::string&)>& onVisit = {})
    {
        view.onYield = [this] { events.push_back("yield"); };
        grid.rows.assign(1, OutcomeRow{});
        ScanContext context(*session, grid, view, 0);
        sections::KeyWalk walk;
        walk.enters = [](const std::string& path) { return path.find("\\y") == std::string::npos; };
        walk.opened = [this](const std::string& path, const platform::KeyInfo& info) {
            events.push_back("open " + path + " " + std::to_string(info.values));
        };
        walk.visit = [&](const std::string& name, const std::string& path, win::HKEY key) {
            // The key handed over is the one the path names.
            platform::KeyInfo info;
            const bool open = session->registry().queryInfoKey(key, &info) == win::ERROR_SUCCESS;
            events.push_back("visit " + path +
                             (open ? " " + std::to_string(info.values) : " (not open)"));
            if (onVisit)
                onVisit(path);
            return name == "Skip" ? sections::Descent::PassOver : sections::Descent::Into;
        };
        sections::walkKeyTree(context, win::HKEY_CURRENT_USER, "Software", walk);
    }

    std::vector<std::string> events;
};

TEST_F(SectionLoopsTest, WalkGoesDepthFirstAndYieldsAfterEachSubtree)
{
    walkSoftware();
    EXPECT_EQ(events, (std::vector<std::string>{
                          "open Software 0",
                          "visit Software\\A 0",
                          "open Software\\A 0",
                          "visit Software\\A\\x 0",
                          "open Software\\A\\x 0",
                          "yield",
                          "visit Software\\A\\y 2",
                          "yield",
                          "yield",
                          "visit Software\\B 1",
                          "open Software\\B 1",
                          "yield",
                          "visit Software\\Skip 0",
                      }));
}

TEST_F(SectionLoopsTest, AnAbortLeavesEveryLevelAtItsNextTest)
{
    walkSoftware([this](const std::string& path) {
        if (path == "Software\\A\\x")
            session->OperationState = kOperationAbortScan;
    });
    EXPECT_EQ(events, (std::vector<std::string>{
                          "open Software 0",
                          "visit Software\\A 0",
                          "open Software\\A 0",
                          "visit Software\\A\\x 0",
                          "open Software\\A\\x 0",
                          "yield",
                          "yield",
                      }));
}

TEST_F(SectionLoopsTest, LoopMomentsAroundEachItem)
{
    grid.rows.assign(1, OutcomeRow{});
    ScanContext context(*session, grid, view, 0);
    std::vector<std::string> seen;
    view.onYield = [&] { seen.push_back("yield"); };
    const std::vector<std::string> items = {"a", "quiet", "b", "stop", "c"};
    sections::forEachItem(
        context, items, sections::kEachItem, [](const std::string& item) { return "at " + item; },
        [&](const std::string& item) {
            seen.push_back(item);
            if (item == "quiet")
                return sections::Next::GoQuietly;
            return item == "stop" ? sections::Next::Stop : sections::Next::Go;
        });
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "yield", "quiet", "b", "yield", "stop"}));
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"at a", "at quiet", "at b", "at stop"}));

    // Yield first, then the abort test: an abort met there ends the loop before the item.
    seen.clear();
    view.onYield = [&] {
        seen.push_back("yield");
        if (seen.size() == 3)
            session->OperationState = kOperationAbortScan;
    };
    sections::forEachItem(context, items, {true, sections::YieldAt::BeforeAbortTest}, {},
                          [&](const std::string& item) {
                              seen.push_back(item);
                              return sections::Next::Go;
                          });
    EXPECT_EQ(seen, (std::vector<std::string>{"yield", "a", "yield"}));
}

TEST(SectionText, ContainsNoCaseTriesEveryCandidateInEitherCase)
{
    EXPECT_TRUE(sections::containsNoCase("CurrentControlSet\\sSsYsTeM", "SYSTEM"));
    EXPECT_TRUE(sections::containsNoCase("ssssssX", "SSX"));
    EXPECT_TRUE(sections::containsNoCase("Software\\Microsoft\\x", "SOFTWARE\\MICROSOFT"));
    EXPECT_TRUE(sections::containsNoCase("anything", ""));
    EXPECT_FALSE(sections::containsNoCase("Sys", "SYSTEM"));
    EXPECT_FALSE(sections::containsNoCase("S-1-5-21\\Software\\Winlogo", "WINLOGON"));
    EXPECT_FALSE(sections::containsNoCase("C:\\H\u00e9\\x", "H\u00c9"))
        << "only ASCII letters are compared without regard to case";
}

TEST(SectionText, ContainsNoCaseFindsPartsWithCaselessBytesAnywhere)
{
    EXPECT_TRUE(sections::containsNoCase("a:\\setup.exe", "A:"));
    EXPECT_TRUE(sections::containsNoCase(":x:A:", "A:"));
    EXPECT_FALSE(sections::containsNoCase("C:\\Program Files\\Acme\\data.dat", "A:"));
    EXPECT_FALSE(sections::containsNoCase(":A", "A:"));
    EXPECT_TRUE(sections::containsNoCase("%programfiles%\\App", "%ProgramFiles%"));
    EXPECT_FALSE(sections::containsNoCase("%programfile%\\%App", "%ProgramFiles%"));
    EXPECT_TRUE(sections::containsNoCase("C:\\windows\\x.Sys", ".SYS"));
    EXPECT_FALSE(sections::containsNoCase("C:\\windows\\x.Sy", ".SYS"));
    EXPECT_FALSE(sections::containsNoCase(".SY", ".SYS"));
    EXPECT_TRUE(sections::containsNoCase("HKLM\\wow6432node\\x", "Wow6432Node"));
    EXPECT_TRUE(sections::containsNoCase("Software\\Microsoft", "SOFTWARE\\MICROSOFT"));
}

TEST(SectionText, AWalkPathHoldsAPartWhereverTheKeyAddsIt)
{
    // The part may span the separator before the key's own name, or lie in that name.
    EXPECT_TRUE(sections::walkPathHolds("Software\\Microsoft", "", "SOFTWARE\\MICROSOFT"));
    EXPECT_TRUE(sections::walkPathHolds("A\\Software\\Microsoft", "A", "SOFTWARE\\MICROSOFT"));
    EXPECT_TRUE(sections::walkPathHolds("A\\Sys\\tem", "A", "S\\TEM"));
    EXPECT_TRUE(sections::walkPathHolds("A\\B\\WinLogon", "A", "WINLOGON"));
    EXPECT_FALSE(sections::walkPathHolds("A\\Software\\Micro", "A", "SOFTWARE\\MICROSOFT"));
    // The start key is searched whole: no parent was asked before it.
    EXPECT_TRUE(sections::walkPathHolds("System\\Setup", "System\\Setup", "SYSTEM"));
    // Below the start, what the parent's path holds alone is the parent's answer.
    EXPECT_FALSE(sections::walkPathHolds("System\\Setup\\Keys", "System\\Setup", "SYSTEM"));
}

TEST(SectionText, SeveralWalkPathPartsAnswerAsEachPartAlone)
{
    const sections::WalkPathParts parts(
        {"SYSTEM", "winlogon", "SOFTWARE\\MICROSOFT", "SOFTWARE\\WOW6432NODE\\MICROSOFT"});
    const std::string longName(600, 'x');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Software\\Microsoft", ""},
        {"A\\Software\\Microsoft", "A"},
        {"A\\Software\\Wow6432Node\\Microsoft", "A"},
        {"A\\Software\\Wow6432Node\\Micro", "A"},
        {"A\\B\\WinLogon", "A"},
        {"A\\B\\WinLogo", "A"},
        {"System\\Setup", "System\\Setup"},
        {"System\\Setup\\Keys", "System\\Setup"},
        {"System\\Setup\\Keys\\subsystem", "System\\Setup"},
        {"Software\\Wow6432Node\\Microsoft\\Windows\\Deep\\Key", "Software\\Wow6432Node"},
        {"A\\" + longName + "system", "A"},
        {"A\\" + longName, "A"},
        {"A\\" + longName + "\\Software\\microsoft", "A"},
        {"Top", ""},
    };
    for (const auto& [path, start] : cases) {
        const bool each = sections::walkPathHolds(path, start, "SYSTEM") ||
                          sections::walkPathHolds(path, start, "WINLOGON") ||
                          sections::walkPathHolds(path, start, "SOFTWARE\\MICROSOFT") ||
                          sections::walkPathHolds(path, start, "SOFTWARE\\WOW6432NODE\\MICROSOFT");
        EXPECT_EQ(parts.heldBy(path, start), each) << path.substr(0, 80);
    }
    EXPECT_TRUE(parts.heldBy("A\\B\\Winlogon", "A"));
    EXPECT_FALSE(parts.heldBy("System\\Setup\\Keys", "System\\Setup"));
}

// A type library registered in a fresh 64-bit Wine prefix, where Wine links
// Classes\Wow6432Node\TypeLib and Wow6432Node\Classes to the keys above.
const char* kTypeLibrary = R"hive(
[Software\\Classes\\TypeLib\\{5A4E0001-0000-4000-8000-000000000001}\\1.0\\HELPDIR] 1
@=""

[Software\\Classes\\TypeLib\\{5A4E0001-0000-4000-8000-000000000001}\\1.0\\0\\win32] 1
@="C:\\Vendor\\gone.tlb"
)hive";

class RegistryLinksTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        builder.fixtureHives("wine-8.0/fresh");
        const std::filesystem::path system = builder.dir() / "system.reg";
        test::writeFile(system, test::readFile(system) + kTypeLibrary);
    }
    std::vector<std::string> libraryRecords(int section)
    {
        scanSection(section);
        std::vector<std::string> found;
        const TRegistryContents& contents = session->SectionContents[static_cast<size_t>(section)];
        for (int i = 0; i < contents.Count(); ++i) {
            const std::string& keyPath = contents.Items(i).Content.KeyPath;
            if (keyPath.find("{5A4E0001") != std::string::npos)
                found.push_back(keyPath);
        }
        return found;
    }
};

TEST_F(RegistryLinksTest, WalksReportEachKeyOnceByItsOwnName)
{
    EXPECT_EQ(libraryRecords(2),
              (std::vector<std::string>{"HKEY_CLASSES_ROOT\\Typelib\\{5A4E0001-0000-4000-8000-"
                                        "000000000001}\\1.0\\HELPDIR"}));
    EXPECT_EQ(libraryRecords(4),
              (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\Software\\Classes\\Typelib\\{5A4E0001-"
                                        "0000-4000-8000-000000000001}\\1.0\\0\\win32"}));
    // Below the links, nothing is visited: the status texts never name a path through one.
    for (const std::string& status : view.statuses)
        EXPECT_EQ(status.find("Wow6432Node\\Classes"), std::string::npos) << status;
}

TEST_F(RegistryLinksTest, LinkKeysAreNeitherVisitedNorEntered)
{
    grid.rows.assign(1, OutcomeRow());
    ScanContext context(*session, grid, view, 0);
    sections::KeyWalk walk;
    std::vector<std::string> visited;
    walk.visit = [&](const std::string&, const std::string& path, win::HKEY) {
        visited.push_back(path);
        return sections::Descent::Into;
    };
    sections::walkKeyTree(context, win::HKEY_LOCAL_MACHINE, "Software", walk);
    const auto seen = [&](const std::string& path) {
        return std::find(visited.begin(), visited.end(), path) != visited.end();
    };
    // Wine's links hold nothing but their target's name (a value of 17 letters).
    EXPECT_TRUE(seen("Software\\Wow6432Node"));
    EXPECT_TRUE(seen("Software\\Classes\\Wow6432Node"));
    EXPECT_FALSE(seen("Software\\Wow6432Node\\Classes"));
    EXPECT_FALSE(seen("Software\\Classes\\Wow6432Node\\TypeLib"));
    EXPECT_TRUE(seen("Software\\Classes\\Typelib\\{5A4E0001-0000-4000-8000-000000000001}"));
}

/// A key chain far deeper than a recursion of walk calls could follow on the stack: `top`,
/// then `depth` keys "k", then `leaf` with `values`.
std::string deepChain(const std::string& top, int depth, const std::string& leaf,
                      const std::string& values)
{
    std::string path = top;
    path.reserve(top.size() + static_cast<size_t>(depth) * 3 + leaf.size() + 2);
    for (int i = 0; i < depth; ++i)
        path += "\\\\k";
    path += "\\\\" + leaf;
    return "\n[" + path + "] 1\n" + values + "\n";
}

// As deep as a hive may hold: 512 levels below its root key, four of them taken by the
// longest chain's start and its leaf.
constexpr int kDepth = 508;

class DeepTreeTest : public test::ScannerTest
{
protected:
    void build(test::PrefixBuilder& builder) override
    {
        const std::string gone = "\"Dir\"=\"C:\\\\Gone\"";
        builder
            .systemHive(deepChain("Software\\\\Vendor", kDepth, "Leaf", gone) +
                        deepChain("Software\\\\Classes\\\\Deep", kDepth, "InprocServer32", ""))
            .userHive(deepChain("Software\\\\Vendor", kDepth, "Leaf", gone) +
                      deepChain("Software\\\\Empty", kDepth, "Leaf", ""));
    }
};

TEST_F(DeepTreeTest, DeepWalksReachTheBottomOfAnyTree)
{
    const std::string chain = [] {
        std::string path;
        for (int i = 0; i < kDepth; ++i)
            path += "\\k";
        return path + "\\Leaf";
    }();
    scanSection(3);
    ASSERT_EQ(session->SectionContents[3].Count(), 1);
    EXPECT_EQ(session->SectionContents[3].Items(0).Content.KeyPath,
              "HKEY_CURRENT_USER\\Software\\Vendor" + chain);

    scanSection(4);
    ASSERT_GE(session->SectionContents[4].Count(), 1);
    EXPECT_EQ(session->SectionContents[4].Items(0).Content.KeyPath,
              "HKEY_LOCAL_MACHINE\\Software\\Vendor" + chain);

    scanSection(13);
    ASSERT_EQ(session->SectionContents[13].Count(), 1);
    EXPECT_EQ(session->SectionContents[13].Items(0).Content.KeyPath,
              "HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Empty" + chain);

    scanSection(2);
    ASSERT_EQ(session->SectionContents[2].Count(), 1);
    const std::string classChain = chain.substr(0, chain.size() - 4) + "InprocServer32";
    EXPECT_EQ(session->SectionContents[2].Items(0).Content.KeyPath,
              "HKEY_CLASSES_ROOT\\Deep" + classChain);
}

} // namespace
} // namespace tw
