#include "engine/message_box.h"

namespace {
MessageBoxHook g_hook = nullptr;
}

int ShowEngineMessage(HWND owner, const char* text, const char* caption, UINT type) {
  if (g_hook) return g_hook(owner, text, caption, type);
  return MessageBoxA(owner, text, caption, type);
}

void SetMessageBoxHook(MessageBoxHook hook) { g_hook = hook; }
