// Stands in for the control's hidden notification window: its handle goes to -w, and it records
// every WM_SETUP_STATUS and WM_SETUP_CLOSED it receives, in order.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ReceivedNotification {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD lParamWindowPid;  // the process owning lParam as a window at receipt, 0 if none
};

class CNotifyWindowStandIn {
 public:
  CNotifyWindowStandIn();
  ~CNotifyWindowStandIn();
  CNotifyWindowStandIn(const CNotifyWindowStandIn&) = delete;
  CNotifyWindowStandIn& operator=(const CNotifyWindowStandIn&) = delete;

  HWND Handle() const { return m_hWnd; }
  // The handle as the control writes it on the command line ("%u").
  std::string HandleArgument() const;

  const std::vector<ReceivedNotification>& Received() const { return m_received; }
  // The received messages as "20", "21", ..., "closed", for readable comparisons.
  std::vector<std::string> Sequence() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
  std::vector<ReceivedNotification> m_received;
};
