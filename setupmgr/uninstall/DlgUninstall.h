// The uninstall dialog: lists the recorded items with their state and version, lets the user
// check the ones to remove and removes them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ModelessDialog.h"
#include "RunLock.h"
#include "WinHandles.h"

class CDlgUninstall : public CModelessDialog {
 public:
  // Creates the hidden modeless window from its template; false when it cannot be created.
  bool Create(HWND owner);

  // True when every file recorded for the item exists (also for an item without files).
  static bool GetItemStatus(const char* itemName);
  // True when the file recorded under `fileKeyName` of the item key can be opened for reading.
  static bool CheckInstalledFile(const std::string& itemKey, const char* fileKeyName);
  // The version of the item's main file as "%d.%d.%d.%d"; false when there is none.
  static bool GetItemVersion(const char* itemName, std::string& version);

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnInitDialog();
  void OnDialogStart();
  void OnCancel();
  void OnSelectAll();
  // Flips the row's check instead of letting a click or a key select it; true refuses the change.
  bool OnItemChanging(const NMLISTVIEW& change);

  // The removal of the checked items, then the end of the program (the "삭제" button).
  void UninstallSelectedItems();
  // Removes the whole uninstall entry and schedules the program's own file for deletion at the
  // next start.
  static void RemoveSelf();

  HWND List() const;
  void AddRow(const char* itemName);
  void EndDialog();

  int m_bAllChecked = 0;
  bool m_bRemoving = false;  // set for good by the removal, which ends the program
  CRunLock m_runLock;
  CScopedHandle m_hStopWaiting;  // signalled by "취소" while the dialog waits for the lock
};
