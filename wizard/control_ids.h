// Control ids of the wizard window's children.
#pragma once

enum ControlId {
  IDC_CANCEL = 1000,
  IDC_CLOSE = 1001,
  IDC_PROGRESS = 1002,
  IDC_MINIMIZE = 1003,
  IDC_INSTALL = 1004,
  IDC_AGREEMENT = 1005,
  IDC_NEXT = 1006,
  IDC_AGREE = 1007,
  IDC_BROWSE = 1008,
  IDC_DEFAULT_DIR = 1009,
  IDC_BACK = 1010,
  IDC_PATH = 1011,
};
