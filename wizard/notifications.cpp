// The wizard's side of the worker's notifications, and its completion report.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "app/qv_win32_dialog.h"
#include "engine/server_address.h"
#include "wizard/setup_messages.h"
#include "wizard/wizard_timers.h"

LRESULT qvWin32Dialog::OnSetupProgress(int percent) {
  progress = percent;
  InvalidateRect(hwnd, &percentRect, TRUE);
  PostMessageA(progressBar, PBM_SETPOS, (WPARAM)percent, 0);
  return 0;
}

LRESULT qvWin32Dialog::OnSetupState(int newState) {
  if (newState < 0 || newState >= kSetupStateCount) return 0;
  state = newState;
  statusText = SetupStatusText[newState];
  InvalidateRect(hwnd, &statusRect, TRUE);
  if (newState == SETUP_ERROR) {
    PostQuitMessage(0);
  } else if (newState == SETUP_DONE) {
    SendCompletionReport();
    PostQuitMessage(0);
  } else if (newState == SETUP_INSTALLING) {
    // A list entry without a command ends the worker on this state: once the
    // worker is gone with nothing more to say, the wizard closes by itself.
    SetTimer(hwnd, kWorkerWatchTimer, kWorkerWatchMs, nullptr);
  }
  return 0;
}

void qvWin32Dialog::SendCompletionReport() {
  char url[260];
  snprintf(url, sizeof url, "%s/Game/GameUninstall.aspx?params=%d&action=%d", kWebSite, 1, 1);
  char trace[260];
  snprintf(trace, sizeof trace, "online_log open  %s", url);
  OutputDebugStringA(trace);
  SendGetRequest(url);
}

int qvWin32Dialog::OnTimer(UINT timerId) {
  if (timerId != kWorkerWatchTimer) return 0;
  if (state != SETUP_INSTALLING) {
    KillTimer(hwnd, kWorkerWatchTimer);
  } else if (job.thread && WaitForSingleObject(job.thread, 0) == WAIT_OBJECT_0) {
    KillTimer(hwnd, kWorkerWatchTimer);
    PostQuitMessage(0);
  }
  return 0;
}
