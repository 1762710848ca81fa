// The publisher's addresses this installer was built for: scheme and host (and
// port), without a trailing slash. Each installer executable links one
// definition of them, generated from server_address.cpp.in at configure time.
#pragma once

extern const char kDownloadServer[];
extern const char kWebSite[];
