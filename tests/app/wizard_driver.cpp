#include "tests/app/wizard_driver.h"

#include <algorithm>

#include "tests/support/test_files.h"

InstallerProcess::InstallerProcess(const std::string& exe) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string command = "\"" + exe + "\"";
  started_ = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_);
}

InstallerProcess::~InstallerProcess() {
  if (!started_) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
}

int InstallerProcess::Wait(DWORD ms) {
  if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return (int)code;
}

void InstallerProcess::Kill() {
  if (!started_) return;
  TerminateProcess(info_.hProcess, 99);
  WaitForSingleObject(info_.hProcess, 10000);
}

HWND WaitForWindow(const char* className, const char* title, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 50) {
    if (HWND window = FindWindowA(className, title)) return window;
    Sleep(50);
  }
  return nullptr;
}

HWND WaitForWizard(DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 50) {
    HWND wizard = FindWindowA("Zuvuva在线安装", "Zuvuva在线安装");
    if (wizard && IsWindowVisible(wizard)) return wizard;
    Sleep(50);
  }
  return nullptr;
}

std::string BoxText(HWND box) {
  std::string text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM found) -> BOOL {
        char className[32], buffer[512];
        GetClassNameA(child, className, sizeof className);
        if (_stricmp(className, "Static") == 0 && GetWindowTextA(child, buffer, sizeof buffer) > 0) {
          *reinterpret_cast<std::string*>(found) = buffer;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

HWND Child(HWND wizard, int id) { return GetDlgItem(wizard, id); }

bool Visible(HWND wizard, int id) { return IsWindowVisible(Child(wizard, id)) != FALSE; }

RECT ChildRect(HWND wizard, int id) {
  RECT r;
  GetWindowRect(Child(wizard, id), &r);
  MapWindowPoints(HWND_DESKTOP, wizard, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Settle(HWND wizard) {
  // A message sent after the posted ones returns once they are handled.
  DWORD_PTR ignored;
  SendMessageTimeoutA(wizard, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  Sleep(100);
  SendMessageTimeoutA(wizard, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

void Click(HWND wizard, int id) {
  PostMessageA(Child(wizard, id), BM_CLICK, 0, 0);
  Settle(wizard);
}

void MouseClick(HWND wizard, int id) {
  SetForegroundWindow(wizard);
  RECT r;
  GetWindowRect(Child(wizard, id), &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, clicks, sizeof(INPUT));
  Sleep(200);
  Settle(wizard);
}

std::string ChildText(HWND wizard, int id) {
  char text[1024] = {0};
  SendMessageA(Child(wizard, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

void TypePath(HWND wizard, const std::string& text) {
  HWND field = Child(wizard, 1011);
  SendMessageA(field, EM_SETSEL, 0, -1);
  SendMessageA(field, WM_CHAR, VK_BACK, 0);
  for (unsigned char c : text) SendMessageA(field, WM_CHAR, c, 0);
  Settle(wizard);
}

std::vector<int> VisibleChildren(HWND wizard) {
  std::vector<int> ids;
  for (int id = 1000; id <= 1011; ++id) {
    if (Visible(wizard, id)) ids.push_back(id);
  }
  return ids;
}

void InstallInto(HWND wizard, const std::string& folder) {
  MouseClick(wizard, 1006);
  TypePath(wizard, folder);
  MouseClick(wizard, 1004);
}

int ReportsReceived(const std::string& accessLogPath) {
  std::string log;
  ReadTestFile(accessLogPath, &log);
  int count = 0;
  for (const std::string& line : SplitLines(log)) {
    if (line.find("\"GET /Game/GameUninstall.aspx?params=1&action=1 ") != std::string::npos) ++count;
  }
  return count;
}
