// The install procedure run by the worker thread.
#include "engine/install_job.h"

void InstallJob::RunInstall() {
  // The update list and its actions are not handled yet: nothing is posted.
}
