#include "engine/internet_session.h"

#include <mmsystem.h>

#include <cstdio>

HINTERNET OpenInstallerSession() {
  DWORD flags = 0;
  InternetGetConnectedState(&flags, 0);
  char agent[64];
  snprintf(agent, sizeof agent, "Agent%ld", (long)timeGetTime());
  const DWORD access = (flags & INTERNET_CONNECTION_PROXY) ? INTERNET_OPEN_TYPE_PRECONFIG
                                                           : INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
  return InternetOpenA(agent, access, nullptr, nullptr, 0);
}
