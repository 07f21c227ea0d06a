// Shared test helpers: temporary folders, prefixes built from hive text, real processes.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tw::test {

namespace fs = std::filesystem;

/// A temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }

private:
    fs::path m_path;
};

/// tests/data.
fs::path testDataDir();
/// A fixture file below tests/data.
fs::path fixture(const std::string& relative);

std::string readFile(const fs::path& path);
/// Empty when the texts are equal; otherwise where they first differ, with some context.
std::string firstDifference(const std::string& actual, const std::string& expected);
void writeFile(const fs::path& path, const std::string& content);
/// Every entry below `dir` by its relative path: a file's content, where a link leads
/// ("-> target", never followed), "/" for a folder. Empty when `dir` does not exist.
std::map<std::string, std::string> treeContents(const fs::path& dir);

/// Builds a Wine prefix in a folder: hive files from text, drive_c, drive links.
class PrefixBuilder
{
public:
    explicit PrefixBuilder(fs::path dir);

    /// A hive with Wine's header and the given key sections (text after the header).
    PrefixBuilder& systemHive(const std::string& sections, const std::string& arch = "win64");
    PrefixBuilder& userHive(const std::string& sections, const std::string& arch = "win64");
    PrefixBuilder& userdefHive(const std::string& sections, const std::string& arch = "win64");
    /// Copies the hives of a fixture prefix (such as "wine-8.0/varied").
    PrefixBuilder& fixtureHives(const std::string& fixturePrefix);
    /// A file below drive_c ("windows/win.ini").
    PrefixBuilder& file(const std::string& relative, const std::string& content = "x");
    PrefixBuilder& folder(const std::string& relative);
    /// dosdevices/<letter>: pointing at `target`.
    PrefixBuilder& drive(char letter, const fs::path& target);

    const fs::path& dir() const { return m_dir; }
    std::string str() const { return m_dir.string(); }

private:
    fs::path m_dir;
};

/// The standard Wine header of a hive relative to `relativeTo` (escaped as Wine writes it).
std::string hiveText(const std::string& relativeTo, const std::string& sections,
                     const std::string& arch = "win64");

/// A hive section (as hiveText takes them) that makes `key` a registry link to `target`,
/// such as "\\Registry\\Machine\\Software\\Microsoft"; `key` is escaped as in the hive.
std::string linkSection(const std::string& key, const std::string& target);

struct ProcessResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// In a forked child: adds `env` to the environment and becomes `argv` (exit 127 when it
/// cannot).
[[noreturn]] void execInChild(const std::vector<std::string>& argv,
                              const std::map<std::string, std::string>& env);
/// Runs a program and waits for it; `env` entries are added to the environment.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env = {});

/// The path of tidewell-cli in the build tree.
std::string cliPath();

} // namespace tw::test
