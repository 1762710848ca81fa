#include "app/window_registry.h"

std::map<HWND, qvWin32Dialog*>* WindowRegistry::instance_ = nullptr;

std::map<HWND, qvWin32Dialog*>& WindowRegistry::Instance() {
  if (!instance_) instance_ = new std::map<HWND, qvWin32Dialog*>();
  return *instance_;
}

qvWin32Dialog* WindowRegistry::Lookup(HWND window) {
  auto& map = Instance();
  auto found = map.find(window);
  return found == map.end() ? nullptr : found->second;
}

void WindowRegistry::Set(HWND window, qvWin32Dialog* object) { Instance()[window] = object; }

void WindowRegistry::Remove(HWND window) { Instance().erase(window); }

void WindowRegistry::Release() {
  delete instance_;
  instance_ = nullptr;
}
