// The look of the download dialog: a face bitmap on a window cut to the shape bitmap, and one
// line of status text painted in a fixed place.
#pragma once

#include <windows.h>

#include "WinHandles.h"

class CDownloadSkin {
 public:
  CDownloadSkin() = default;
  CDownloadSkin(const CDownloadSkin&) = delete;
  CDownloadSkin& operator=(const CDownloadSkin&) = delete;

  // At window creation: loads the bitmaps, sizes the window to the face and 30 rows more at 0,0,
  // cuts it to the shape (rectangular when the shape yields no visible region) and creates the
  // status font. Missing pieces are logged and leave the window as it was in that respect.
  void Apply(HWND hWnd);

  // The WM_PAINT handler: the face where it is not the colour key, then the status text.
  void Paint(HWND hWnd, const char* statusText) const;

  // Repaints the status text alone, without erasing: the face under it is drawn again anyway.
  static void InvalidateStatus(HWND hWnd);

 private:
  CScopedGdiObject m_bmpBackground;
  CScopedGdiObject m_bmpShape;
  CScopedGdiObject m_font;
};
