#include "ProgressFace.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "resource.h"

namespace face {

CScopedGdiObject StatusFont(HDC dc) {
  LOGFONTW font = {};
  font.lfHeight = -::MulDiv(9, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
  font.lfCharSet = DEFAULT_CHARSET;
  std::wcscpy(font.lfFaceName, L"굴림");
  return CScopedGdiObject(::CreateFontIndirectW(&font));
}

CImage Expected(HMODULE resources, const wchar_t* text) {
  CScopedGdiObject bitmap(::LoadBitmapA(resources, MAKEINTRESOURCEA(IDB_SKIN_BACKGROUND)));
  CScopedMemoryDC faceDc(::CreateCompatibleDC(nullptr));
  if (!bitmap || !faceDc) return CImage{};
  CSelectObject selectFace(faceDc.Get(), bitmap.Get());
  const COLORREF background = ::GetSysColor(COLOR_BTNFACE);
  // The section holds BGR: the colours are swapped to compare with it.
  const auto bgr = [](COLORREF c) {
    return static_cast<DWORD>(RGB(GetBValue(c), GetGValue(c), GetRValue(c)));
  };
  return Grab(faceDc.Get(), POINT{0, 0}, kWidth, kHeight, [&](HDC dc, DWORD* bits) {
    ::GdiFlush();
    for (int i = 0; i < kWidth * kHeight; ++i) {
      if ((bits[i] & 0xFFFFFF) == bgr(kColourKey)) bits[i] = bgr(background);
    }
    CScopedGdiObject font = StatusFont(dc);
    CSelectObject selectFont(dc, font.Get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kTextColour);
    RECT rect = kStatusRect;
    ::DrawTextW(dc, text, -1, &rect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
  });
}

RECT ChildRect(HWND dialog, int id) {
  RECT rect = {};
  ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
  RECT window = {};
  ::GetWindowRect(dialog, &window);
  ::OffsetRect(&rect, -window.left, -window.top);
  return rect;
}

std::vector<std::string> Mismatches(HWND dialog, HRGN region, const CImage& shot, const CImage& expected) {
  std::vector<std::string> lines;
  if (shot.width < kWidth || shot.height < kHeight || expected.width < kWidth || expected.height < kHeight) {
    lines.push_back("no image of the face");
    return lines;
  }
  const RECT controls[] = {ChildRect(dialog, IDCANCEL), ChildRect(dialog, IDC_PROGRESS)};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const POINT p = {x, y};
      if (::PtInRect(&controls[0], p) || ::PtInRect(&controls[1], p) || !::PtInRegion(region, x, y) ||
          shot.At(x, y) == expected.At(x, y)) {
        continue;
      }
      char line[96];
      std::snprintf(line, sizeof line, "%d,%d: shown %06lx, expected %06lx", x, y, shot.At(x, y),
                    expected.At(x, y));
      lines.push_back(line);
    }
  }
  return lines;
}

StatusInk StatusLine(const CImage& shot, const CImage& plainFace) {
  StatusInk ink;
  if (shot.width < kWidth || shot.height < kHeight) return ink;
  for (int y = kStatusRect.top; y < kStatusRect.bottom; ++y) {
    for (int x = kStatusRect.left; x < kStatusRect.right; ++x) {
      if (shot.At(x, y) == plainFace.At(x, y)) continue;
      ++ink.pixels;
      ink.rightmost = std::max(ink.rightmost, x);
      ink.textColour = ink.textColour || shot.At(x, y) == kTextColour;
    }
  }
  return ink;
}

}  // namespace face
