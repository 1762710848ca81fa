// A publisher's download server checked the way the installer uses it: the
// setup descriptor, the update list, the package and resumed downloads.
#pragma once

#include <functional>
#include <string>

#include "http_client.h"

enum class CheckLevel { kOk, kWarning, kFailure };

struct CheckLine {
  CheckLevel level = CheckLevel::kOk;
  const char* topic = "";  // "descriptor", "update list", "package" or "resume"
  std::string text;        // one plain sentence; text from the server is made printable
};

struct ServerCheckTotals {
  int failures = 0;  // findings that would make an installation fail
  int warnings = 0;  // findings worth a look that the installer gets past
};

// True for "http://" or "https://" followed by a host (and port) and nothing
// else: no path, no trailing slash.
bool IsServerAddress(const std::string& address);

// Asks the server at `address` every request the installer makes, in the same
// order, and reports each finding to `report` as soon as it is made.
ServerCheckTotals CheckServer(const std::string& address, HttpClient& client,
                              const std::function<void(const CheckLine&)>& report);
