// Process entry of the installer.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Load system DLLs from System32 only: nothing placed beside the executable
  // (a Downloads folder) is ever loaded.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return 0;
}
