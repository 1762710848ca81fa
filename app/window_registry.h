// The process-wide map from a window handle to its window object. Used only
// on the main thread.
#pragma once

#include <windows.h>

#include <map>

class qvWin32Dialog;

class WindowRegistry {
 public:
  // The object of `window`, or null.
  static qvWin32Dialog* Lookup(HWND window);
  // Enters or replaces the object of `window`.
  static void Set(HWND window, qvWin32Dialog* object);
  // Removes `window`; nothing happens when it is absent.
  static void Remove(HWND window);
  // Empties and frees the registry; a later use starts a fresh one.
  static void Release();

 private:
  static std::map<HWND, qvWin32Dialog*>& Instance();
  static std::map<HWND, qvWin32Dialog*>* instance_;
};
