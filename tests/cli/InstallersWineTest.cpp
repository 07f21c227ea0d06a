// Real 32-bit and 64-bit NSIS installers in one 64-bit prefix, run the way users run them
// (winemenubuilder on): nothing is found while they are installed; once their folders are
// gone, every entry that names them is found in its own registry view; after a repair of
// everything, nothing is left to find.
#include "support/RealWinePrefix.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace tw::test {
namespace {

/// One installer: $BITS, $TARGET, $PROGRAMS, $VIEW and $CLSID are filled in per build.
const char* kInstallerTemplate = R"nsis(
Unicode true
Target $TARGET
Name "Tide$BITS"
OutFile "setup$BITS.exe"
InstallDir "$PROGRAMS\Tide$BITS"
RequestExecutionLevel admin
!define Uninst "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tide$BITS"
!define AppPath "Software\Microsoft\Windows\CurrentVersion\App Paths\tide$BITS.exe"
Section
  $VIEW
  SetOutPath "$INSTDIR"
  File /oname=tide$BITS.exe "payload.bin"
  File /oname=tide$BITS.dll "payload.bin"
  File /oname=tide$BITS.hlp "payload.bin"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${Uninst}" "DisplayName" "Tide$BITS"
  WriteRegStr HKLM "${Uninst}" "UninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${Uninst}" "DisplayIcon" "$INSTDIR\tide$BITS.exe"
  WriteRegStr HKLM "${AppPath}" "" "$INSTDIR\tide$BITS.exe"
  WriteRegStr HKLM "${AppPath}" "Path" "$INSTDIR"
  WriteRegDWORD HKLM "Software\Microsoft\Windows\CurrentVersion\SharedDLLs" "$INSTDIR\tide$BITS.dll" 1
  WriteRegStr HKLM "Software\Microsoft\Windows\Help" "tide$BITS.hlp" "$INSTDIR"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "Tide$BITS" '"$INSTDIR\tide$BITS.exe" /min'
  WriteRegStr HKCR ".tide$BITS" "" "Tide$BITS.Document"
  WriteRegStr HKCR "Tide$BITS.Document\shell\open\command" "" '"$INSTDIR\tide$BITS.exe" "%1"'
  WriteRegStr HKCR "CLSID\$CLSID\InprocServer32" "" "$INSTDIR\tide$BITS.dll"
  CreateDirectory "$SMPROGRAMS\Tide$BITS"
  CreateShortCut "$SMPROGRAMS\Tide$BITS\Tide$BITS.lnk" "$INSTDIR\tide$BITS.exe"
SectionEnd
Section "Uninstall"
  DeleteRegKey HKLM "${Uninst}"
SectionEnd
)nsis";

std::string replaced(std::string text, const std::map<std::string, std::string>& fields)
{
    for (const auto& [name, value] : fields) {
        for (size_t at = text.find(name); at != std::string::npos;
             at = text.find(name, at + value.size()))
            text.replace(at, name.size(), value);
    }
    return text;
}

/// The finding lines of a plain scan ("  [x] key | item | name | data").
std::vector<std::string> findings(const std::string& scan)
{
    std::vector<std::string> lines;
    std::istringstream in(scan);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  [x] ", 0) == 0)
            lines.push_back(line.substr(6));
    }
    return lines;
}

class InstallersWine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!wineInstalled())
            GTEST_SKIP() << "wine is not installed";
        if (!wineRuns32Bit())
            GTEST_SKIP() << "wine32 is not installed: 32-bit installers cannot run";
        if (runProcess({"sh", "-c", "command -v makensis"}).exitCode != 0)
            GTEST_SKIP() << "makensis (Debian's nsis) is not installed";
        ASSERT_EQ(copyBootedPrefix(prefix), "");
        writeFile(dir.path() / "payload.bin", "payload");
    }

    /// Builds and runs the installer of `bits` silently, winemenubuilder on.
    void install(const std::string& bits)
    {
        const bool native = bits == "64";
        const std::string script =
            replaced(kInstallerTemplate,
                     {{"$BITS", bits},
                      {"$TARGET", native ? "amd64-unicode" : "x86-unicode"},
                      {"$PROGRAMS", native ? "$PROGRAMFILES64" : "$PROGRAMFILES"},
                      {"$VIEW", native ? "SetRegView 64" : ""},
                      {"$CLSID", "{6F3D3A52-1C1E-4E53-9A43-" + bits + "B17E0000" + bits + "}"}});
        const fs::path nsi = dir.path() / ("setup" + bits + ".nsi");
        writeFile(nsi, script);
        const ProcessResult built = runProcess({"makensis", "-V2", nsi.string()});
        ASSERT_EQ(built.exitCode, 0) << built.out << built.err;
        const ProcessResult ran =
            runProcess({"wine", (dir.path() / ("setup" + bits + ".exe")).string(), "/S"}, env);
        runProcess({"wineserver", "-w"}, env);
        ASSERT_EQ(ran.exitCode, 0) << ran.err;
    }

    ProcessResult cli(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {cliPath(), "--prefix", prefix.string()});
        return runProcess(args, env);
    }

    TempDir dir;
    const fs::path prefix = dir.path() / "prefix";
    const fs::path home = dir.path() / "home";
    const WineStopper stop{prefix};
    // winemenubuilder on: the shortcuts become menu entries in a home of the test's own.
    const std::map<std::string, std::string> env = wineEnvironment(prefix, home);
};

TEST_F(InstallersWine, InstalledNothingFoundFoldersGoneFoundInTheirViewsRepairedNothingLeft)
{
    install("32");
    install("64");
    ASSERT_TRUE(fs::exists(home / ".local/share/applications/wine/Programs/Tide32/Tide32.desktop"))
        << "winemenubuilder made the menu entry";

    const ProcessResult clean = cli({"scan"});
    ASSERT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(findings(clean.out), std::vector<std::string>()) << clean.out;
    const std::string programs = cli({"programs", "list"}).out;
    EXPECT_NE(programs.find("Tide32 (32-bit)\n"), std::string::npos) << programs;
    EXPECT_NE(programs.find("Tide64\n"), std::string::npos) << programs;
    const std::string startup = cli({"startup", "list"}).out;
    EXPECT_NE(startup.find("Tide32 (32-bit)"), std::string::npos) << startup;
    EXPECT_NE(startup.find("Tide64"), std::string::npos) << startup;

    fs::remove_all(prefix / "drive_c/Program Files (x86)/Tide32");
    fs::remove_all(prefix / "drive_c/Program Files/Tide64");
    const std::vector<std::string> found = findings(cli({"scan"}).out);
    // Each entry that names a removed file, with the key it is in.
    const std::vector<std::pair<std::string, std::string>> expected{
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\Help |", "tide32.hlp"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help |", "tide64.hlp"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
         "SharedDlls |",
         "Tide32\\tide32.dll"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls |",
         "Tide64\\tide64.dll"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
         "Uninstall\\Tide32 |",
         "uninstall.exe"},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tide64 |",
         "uninstall.exe"},
        {"App Paths\\tide32.exe |", "Tide32\\tide32.exe"},
        {"App Paths\\tide64.exe |", "Tide64\\tide64.exe"},
        {"\\Software\\Classes\\Tide32.Document\\shell\\open\\command |", "tide32.exe"},
        {"\\Software\\Classes\\Tide64.Document\\shell\\open\\command |", "tide64.exe"},
        {"Start Menu\\Programs\\Tide32\\Tide32.lnk |", "Tide32\\tide32.exe"},
        {"Start Menu\\Programs\\Tide64\\Tide64.lnk |", "Tide64\\tide64.exe"},
    };
    for (const auto& [key, data] : expected) {
        EXPECT_EQ(std::count_if(found.begin(), found.end(),
                                [&](const std::string& line) {
                                    return line.find(key) != std::string::npos &&
                                           line.find(data) != std::string::npos;
                                }),
                  1)
            << key << " ... " << data;
    }
    EXPECT_EQ(found.size(), expected.size());

    // The Windows build finds the same, shortcuts read through the shell's own link object.
    const ProcessResult windows =
        runProcess({wineLoader64(), TIDEWELL_WINDOWS_CLI_PATH, "scan", "--json"}, env);
    runProcess({"wineserver", "-w"}, env);
    ASSERT_EQ(windows.exitCode, 0) << windows.err;
    nlohmann::json windowsScan = nlohmann::json::parse(windows.out);
    nlohmann::json linuxScan = nlohmann::json::parse(cli({"scan", "--json"}).out);
    windowsScan.erase("prefix");
    linuxScan.erase("prefix");
    EXPECT_EQ(windowsScan, linuxScan);

    const ProcessResult repaired = cli({"repair"});
    ASSERT_EQ(repaired.exitCode, 0) << repaired.out << repaired.err;
    EXPECT_NE(repaired.out.find("Repair Completed!"), std::string::npos) << repaired.out;
    const ProcessResult after = cli({"scan"});
    EXPECT_EQ(findings(after.out), std::vector<std::string>())
        << "winemenubuilder's records of the removed shortcuts are Wine's own";
    EXPECT_EQ(cli({"programs", "list"}).out, "No uninstall entries.\n") << "both entries went";
}

} // namespace
} // namespace tw::test
