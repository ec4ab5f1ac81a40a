// What the screen shows: pixels of an area, saved as BMP files among the test artefacts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "WinHandles.h"

// Pixels of an area, top row first.
struct CImage {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Copies an area of `source` through a 32-bit section; `draw(dc, bits)` may paint on the copy
// first. Empty when the copy cannot be made.
template <typename Draw>
CImage Grab(HDC source, POINT origin, int width, int height, Draw draw) {
  CImage image{width, height, {}};
  CScopedMemoryDC memory(::CreateCompatibleDC(source));
  BITMAPINFO format = {};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  CScopedGdiObject section(::CreateDIBSection(memory.Get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !section) return CImage{};
  {
    CSelectObject select(memory.Get(), section.Get());
    ::BitBlt(memory.Get(), 0, 0, width, height, source, origin.x, origin.y, SRCCOPY);
    draw(memory.Get(), static_cast<DWORD*>(bits));
    ::GdiFlush();
  }
  const auto* bytes = static_cast<const BYTE*>(bits);
  image.pixels.reserve(static_cast<size_t>(width) * height);
  for (int i = 0; i < width * height; ++i) {
    image.pixels.push_back(RGB(bytes[4 * i + 2], bytes[4 * i + 1], bytes[4 * i]));
  }
  return image;
}

CImage Grab(HDC source, POINT origin, int width, int height);
// What the screen shows of the window now; empty when the window has no area.
CImage GrabWindow(HWND hwnd);

// As a 24-bit BMP file; false when it cannot be written.
bool SaveBmp(const CImage& image, const std::string& path);
bool SaveWindowImage(HWND hwnd, const std::string& path);

// `name` in the build tree's artifacts folder (subfolders made as needed).
std::string ArtifactPath(const std::string& name);
