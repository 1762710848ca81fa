// Drives the installer's wizard from outside, as a user would: finds the
// window by its class name and its children by id, clicks, types, reads.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class InstallerProcess {
 public:
  explicit InstallerProcess(const std::string& exe);
  ~InstallerProcess();
  bool started() const { return started_; }
  // The exit code, or -1 when the process has not ended within `ms`.
  int Wait(DWORD ms);
  // Ends the process at once, as the task manager does, and waits for it.
  void Kill();
  DWORD id() const { return info_.dwProcessId; }

 private:
  bool started_ = false;
  PROCESS_INFORMATION info_ = {};
};

// The wizard window (class and title "Zuvuva在线安装"), waited for up to `ms`.
HWND WaitForWizard(DWORD ms);
// A top-level window of `className` and `title`, waited for up to `ms`.
HWND WaitForWindow(const char* className, const char* title, DWORD ms);
// The text of a message box's static control.
std::string BoxText(HWND box);

// Child `id` of the wizard: visible, enabled, and its rectangle in the
// wizard's client coordinates.
HWND Child(HWND wizard, int id);
bool Visible(HWND wizard, int id);
RECT ChildRect(HWND wizard, int id);
// Clicks a child by posting BM_CLICK (it does not wait for modal boxes).
void Click(HWND wizard, int id);
// Clicks with the mouse at the middle of child `id`, as a user does: a
// disabled or hidden child does not get the click.
void MouseClick(HWND wizard, int id);
// The text of child `id` (WM_GETTEXT, which works across processes).
std::string ChildText(HWND wizard, int id);
// Replaces the path field's text by typing `text`, so that the field reports
// its edits as a user's would.
void TypePath(HWND wizard, const std::string& text);
// The ids of the wizard's visible children.
std::vector<int> VisibleChildren(HWND wizard);
// Lets the wizard handle what was posted to it.
void Settle(HWND wizard);
// From the welcome page: Next, `folder` typed into the path field, Install.
void InstallInto(HWND wizard, const std::string& folder);

// How many completion reports an nginx access log holds.
int ReportsReceived(const std::string& accessLogPath);
