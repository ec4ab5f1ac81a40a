// What the setup manager tells the control's window: message numbers and status codes.
// Shared by both deliverables; the values are fixed because the two may be of different builds.
#pragma once

#define WM_SETUP_STATUS (0x0400 + 2)  // wParam: status code, lParam: depends on the code
#define WM_SETUP_CLOSED (0x0400 + 3)  // the download dialog was destroyed

enum SetupStatus {
  SETUP_STATUS_STARTED = 20,  // lParam: the setup manager's main frame window
  SETUP_STATUS_GET_MANIFEST = 21,
  SETUP_STATUS_BUILD_LIST = 22,
  SETUP_STATUS_PROGRESS = 30,  // lParam: percent 0..100
  SETUP_STATUS_INSTALLING = 40,
  SETUP_STATUS_REBOOT_DECLINED = 90,
  SETUP_STATUS_REBOOT_ACCEPTED = 91,
  SETUP_STATUS_SUCCEEDED = 100,
  SETUP_STATUS_FAILED = 101,
  SETUP_STATUS_NO_DIALOG = 106,
};

// The setup manager's process exit code in update mode: the run's final status (90, 91, 100, 101
// or 106), so that a script that starts it without a control window learns the outcome; a run
// that ended without one of them failed.
inline int RunExitCode(int lastStatus) {
  switch (lastStatus) {
    case SETUP_STATUS_REBOOT_DECLINED:
    case SETUP_STATUS_REBOOT_ACCEPTED:
    case SETUP_STATUS_SUCCEEDED:
    case SETUP_STATUS_FAILED:
    case SETUP_STATUS_NO_DIALOG:
      return lastStatus;
    default:
      return SETUP_STATUS_FAILED;
  }
}
