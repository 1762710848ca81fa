// Private messages from the install worker to the wizard window.
#pragma once

// wParam 0, lParam the percentage of the current step.
constexpr unsigned int WM_SETUP_PROGRESS = 20000;
// wParam the setup state.
constexpr unsigned int WM_SETUP_STATE = 20001;
