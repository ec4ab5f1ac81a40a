#include "Screenshot.h"

#include "SetupRun.h"

CImage Grab(HDC source, POINT origin, int width, int height) {
  return Grab(source, origin, width, height, [](HDC, DWORD*) {});
}

CImage GrabWindow(HWND hwnd) {
  RECT rect = {};
  if (!::GetWindowRect(hwnd, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) return CImage{};
  CWindowDC screen(nullptr);
  return Grab(screen.Get(), POINT{rect.left, rect.top}, rect.right - rect.left, rect.bottom - rect.top);
}

bool SaveBmp(const CImage& image, const std::string& path) {
  if (image.pixels.empty()) return false;
  const int stride = (image.width * 3 + 3) / 4 * 4;
  const DWORD dataSize = static_cast<DWORD>(stride * image.height);
  constexpr DWORD kHeaders = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  BITMAPFILEHEADER file = {0x4D42, kHeaders + dataSize, 0, 0, kHeaders};
  BITMAPINFOHEADER info = {sizeof info, image.width, image.height, 1, 24, BI_RGB, dataSize, 2835, 2835, 0, 0};
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
  for (int y = image.height - 1; y >= 0; --y) {
    std::string row(stride, '\0');
    for (int x = 0; x < image.width; ++x) {
      const COLORREF c = image.At(x, y);
      row[3 * x] = static_cast<char>(GetBValue(c));
      row[3 * x + 1] = static_cast<char>(GetGValue(c));
      row[3 * x + 2] = static_cast<char>(GetRValue(c));
    }
    bytes += row;
  }
  return WriteFileBytes(path, bytes);
}

bool SaveWindowImage(HWND hwnd, const std::string& path) { return SaveBmp(GrabWindow(hwnd), path); }

std::string ArtifactPath(const std::string& name) {
  std::string path = TestBinaryFolder() + "\\..\\artifacts";
  ::CreateDirectoryA(path.c_str(), nullptr);
  for (size_t begin = 0;;) {
    const size_t separator = name.find('\\', begin);
    if (separator == std::string::npos) return path + "\\" + name.substr(begin);
    path += "\\" + name.substr(begin, separator - begin);
    ::CreateDirectoryA(path.c_str(), nullptr);
    begin = separator + 1;
  }
}
