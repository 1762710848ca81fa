// Reading back what an installation left in the Wine prefix: special
// folders, links, registry values, and the demo game's traces.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

std::string SpecialFolder(int csidl);

struct LinkInfo {
  std::string target;
  std::string workingDir;
  bool operator==(const LinkInfo& other) const { return target == other.target && workingDir == other.workingDir; }
};
inline void PrintTo(const LinkInfo& link, std::ostream* os) { *os << link.target << " in " << link.workingDir; }
// Target and working directory of a .lnk file, loaded with IShellLinkA.
LinkInfo LinkTarget(const std::string& linkPath);
// The links an installation of `gameName` with the shortcut name "game" makes:
// on the desktop, and the game and uninstall links in its Programs folder.
std::vector<LinkInfo> GameLinks(const std::string& gameName);
// What GameLinks gives after an installation into `installDir` (with its
// trailing backslash).
std::vector<LinkInfo> ExpectedGameLinks(const std::string& installDir);

struct RegistryValue {
  std::string name;
  DWORD type;
  std::string data;  // REG_DWORD values in decimal
  bool operator==(const RegistryValue& other) const {
    return name == other.name && type == other.type && data == other.data;
  }
};
inline void PrintTo(const RegistryValue& v, std::ostream* os) {
  *os << v.name << "(" << v.type << ")=" << v.data;
}
// The values of HKLM\...\Uninstall\<keyName>, sorted by name (Wine
// enumerates values by name, not in the order they were written).
std::vector<RegistryValue> UninstallValues(const std::string& keyName);
// `values` sorted by name, to compare with UninstallValues.
std::vector<RegistryValue> SortedByName(std::vector<RegistryValue> values);

// The seven values an installation into `installDir` (with its trailing
// backslash) registers, uninstall\uninst.exe being the uninstaller.
std::vector<RegistryValue> ExpectedUninstallValues(const std::string& displayName, const std::string& installDir,
                                                   const std::string& publisher, const std::string& contact);
// The "key=value" lines of the [config] section of an uninstall.ini, in order.
std::vector<std::string> UninstallIniConfig(const std::string& iniPath);

// Windows path of the demo game built with the tests (ZV_DEMO_GAME).
std::string DemoGamePath();
// Waits up to 10 s for a line starting with `word` in the game's log.
bool WaitForGameLog(const std::string& logPath, const std::string& word, int count = 1);
// Closes every running demo game window and waits until they are gone.
void CloseDemoGames();
