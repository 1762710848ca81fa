// Private messages from the install worker to the wizard window, and the
// setup states they carry.
#pragma once

// wParam 0, lParam the percentage of the current step (0 to 100).
constexpr unsigned int WM_SETUP_PROGRESS = 20000;
// wParam 0, lParam the setup state.
constexpr unsigned int WM_SETUP_STATE = 20001;

enum SetupState {
  SETUP_ERROR = 0,
  SETUP_NONE = 1,
  SETUP_READING_CONFIG = 2,
  SETUP_GETTING_VERSION = 3,
  SETUP_DOWNLOADING = 4,
  SETUP_STARTING = 5,
  SETUP_INSTALLING = 6,
  SETUP_DONE = 7,
};
constexpr int kSetupStateCount = 8;

// The status text of each setup state, in GBK.
extern const char* const SetupStatusText[kSetupStateCount];
