// The progress window as a person must see it: the face of bitmap 133 with its colour-keyed tray
// showing the dialog's own background, the status line in its font and colour, and the dialog's
// controls on the tray. Shared by the dialog's own test and the real runs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Screenshot.h"
#include "WinHandles.h"

namespace face {

constexpr COLORREF kColourKey = RGB(51, 51, 255);
constexpr COLORREF kTextColour = RGB(107, 50, 0);
constexpr RECT kStatusRect = {115, 35, 235, 49};
constexpr int kWidth = 247;
constexpr int kHeight = 86;
constexpr int kWindowHeight = 116;

// "굴림" 9 pt for `dc`.
CScopedGdiObject StatusFont(HDC dc);

// The face with `text` as its status line, drawn from bitmap 133 of `resources`: colour-keyed
// pixels show the dialog's background, the text is right-aligned and centred in its rectangle.
CImage Expected(HMODULE resources, const wchar_t* text);

// A control's rectangle in the dialog's window coordinates.
RECT ChildRect(HWND dialog, int id);

// The pixels of `shot` (the window from its top left corner) inside `region` and off the
// dialog's progress bar and Cancel button that differ from `expected`, one line each.
std::vector<std::string> Mismatches(HWND dialog, HRGN region, const CImage& shot, const CImage& expected);

// What is written in the status rectangle of `shot` over the face without text.
struct StatusInk {
  int pixels = 0;           // pixels that differ from the plain face
  int rightmost = -1;       // the rightmost of them
  bool textColour = false;  // one of them in the full text colour
};
StatusInk StatusLine(const CImage& shot, const CImage& plainFace);

}  // namespace face
