// Timers of the wizard window.
#pragma once

// Watches for a worker that ended on SETUP_INSTALLING without a final state.
constexpr unsigned int kWorkerWatchTimer = 1;
constexpr unsigned int kWorkerWatchMs = 250;
