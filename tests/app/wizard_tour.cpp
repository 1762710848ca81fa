// Walks the installer's wizard from start to finish as a user would, for
// screenshots and the end-to-end demo. At each page it prints
// "PAGE <n> <left> <top> <width> <height>" (the window on the screen) and
// waits for a line on standard input before it goes on.
//   wizard_tour <installer.exe> [install-directory]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "tests/app/wizard_driver.h"

namespace {

void Announce(HWND wizard, int page) {
  RECT r;
  GetWindowRect(wizard, &r);
  printf("PAGE %d %ld %ld %ld %ld\n", page, r.left, r.top, r.right - r.left, r.bottom - r.top);
  fflush(stdout);
  char line[64];
  if (!fgets(line, sizeof line, stdin)) return;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: wizard_tour <installer.exe> [install-directory]\n");
    return 2;
  }
  InstallerProcess installer(argv[1]);
  if (!installer.started()) {
    fprintf(stderr, "wizard_tour: cannot start %s\n", argv[1]);
    return 1;
  }
  HWND wizard = WaitForWizard(60000);
  if (!wizard) {
    fprintf(stderr, "wizard_tour: no wizard window appeared\n");
    return 1;
  }
  Settle(wizard);
  Announce(wizard, 0);
  MouseClick(wizard, 1006);
  if (argc > 2) TypePath(wizard, argv[2]);
  Announce(wizard, 1);
  MouseClick(wizard, 1004);
  // Show the progress page once the package download is under way.
  for (int i = 0; i < 200 && IsWindow(wizard) && SendMessageA(Child(wizard, 1002), PBM_GETPOS, 0, 0) < 20; ++i) {
    Sleep(50);
  }
  if (IsWindow(wizard)) Announce(wizard, 2);
  const int code = installer.Wait(180000);
  printf("EXIT %d\n", code);
  return code == 0 ? 0 : 1;
}
