// Message boxes shown by the install engine. The product shows them with
// MessageBoxA; tests install a hook that records them instead of blocking.
#pragma once

#include <windows.h>

using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT type);

int ShowEngineMessage(HWND owner, const char* text, const char* caption, UINT type);

// Null restores MessageBoxA.
void SetMessageBoxHook(MessageBoxHook hook);
