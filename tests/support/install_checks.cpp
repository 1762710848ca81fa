#include "tests/support/install_checks.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "tests/support/test_files.h"

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = {0};
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

LinkInfo LinkTarget(const std::string& linkPath) {
  LinkInfo info;
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
      if (SUCCEEDED(file->Load(wide, STGM_READ))) {
        char buffer[MAX_PATH] = {0};
        if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) info.target = buffer;
        buffer[0] = '\0';
        if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) info.workingDir = buffer;
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return info;
}

std::vector<RegistryValue> UninstallValues(const std::string& keyName) {
  std::vector<RegistryValue> values;
  std::string path = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  if (!keyName.empty()) path += "\\" + keyName;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameLength = sizeof name;
    BYTE data[2048];
    DWORD dataLength = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    RegistryValue value{name, type, ""};
    if (type == REG_DWORD) {
      value.data = std::to_string(*reinterpret_cast<DWORD*>(data));
    } else {
      value.data.assign(reinterpret_cast<char*>(data), dataLength);
      // Stored with the terminating NUL counted in the length.
      if (!value.data.empty() && value.data.back() == '\0') value.data.pop_back();
      else value.data += "<no NUL stored>";
    }
    values.push_back(value);
  }
  RegCloseKey(key);
  return SortedByName(values);
}

std::vector<RegistryValue> SortedByName(std::vector<RegistryValue> values) {
  std::sort(values.begin(), values.end(),
            [](const RegistryValue& a, const RegistryValue& b) { return _stricmp(a.name.c_str(), b.name.c_str()) < 0; });
  return values;
}

std::vector<LinkInfo> GameLinks(const std::string& gameName) {
  const std::string programs = SpecialFolder(CSIDL_PROGRAMS) + "\\" + gameName;
  return {LinkTarget(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\game.lnk"), LinkTarget(programs + "\\game.lnk"),
          LinkTarget(programs + "\\game卸载.lnk")};
}

std::vector<LinkInfo> ExpectedGameLinks(const std::string& installDir) {
  const std::string folder = installDir.substr(0, installDir.size() - 1);
  return {{installDir + "game.exe", folder}, {installDir + "game.exe", folder},
          {installDir + "uninstall\\uninst.exe", folder + "\\uninstall"}};
}

std::vector<RegistryValue> ExpectedUninstallValues(const std::string& displayName, const std::string& installDir,
                                                   const std::string& publisher, const std::string& contact) {
  const std::string uninstaller = installDir + "uninstall\\uninst.exe";
  const std::string iniPath = installDir + "uninstall\\uninstall.ini";
  return SortedByName({
      {"DisplayName", REG_SZ, displayName},
      {"NoModify", REG_DWORD, "1"},
      {"NoRepair", REG_DWORD, "1"},
      {"UninstallString", REG_SZ, "\"" + uninstaller + "\" \"/U:" + iniPath + "\""},
      {"Publisher", REG_SZ, publisher},
      {"Contact", REG_SZ, contact},
      {"DisplayIcon", REG_SZ, "\"" + uninstaller + "\""},
  });
}

std::vector<std::string> UninstallIniConfig(const std::string& iniPath) {
  char section[2048];
  const DWORD length = GetPrivateProfileSectionA("config", section, sizeof section, iniPath.c_str());
  std::vector<std::string> keys;
  for (const char* p = section; p < section + length && *p; p += strlen(p) + 1) keys.push_back(p);
  return keys;
}

std::string DemoGamePath() { return HostPathFromEnvironment("ZV_DEMO_GAME"); }

bool WaitForGameLog(const std::string& logPath, const std::string& word, int count) {
  for (int i = 0; i < 200; ++i) {
    std::string text;
    if (ReadTestFile(logPath, &text)) {
      int seen = 0;
      for (const std::string& line : SplitLines(text)) {
        if (line.compare(0, word.size(), word) == 0) ++seen;
      }
      if (seen >= count) return true;
    }
    Sleep(50);
  }
  return false;
}

void CloseDemoGames() {
  for (int i = 0; i < 200; ++i) {
    HWND game = FindWindowA(nullptr, "Zuvuva Demo Game");
    if (!game) return;
    PostMessageA(game, WM_CLOSE, 0, 0);
    Sleep(50);
  }
}
