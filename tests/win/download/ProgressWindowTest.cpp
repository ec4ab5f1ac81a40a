// The real download dialog on the display: its size and shape, and what a person sees of it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "DlgDownload.h"
#include "Pump.h"
#include "SetupRun.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

constexpr COLORREF kColourKey = RGB(51, 51, 255);
constexpr COLORREF kTextColour = RGB(107, 50, 0);
constexpr RECT kStatusRect = {115, 35, 235, 49};
constexpr int kFaceWidth = 247;
constexpr int kFaceHeight = 86;
constexpr int kWindowHeight = 116;
constexpr POINT kShownAt = {40, 40};

struct StatusStep {
  UINT id;
  const wchar_t* text;
  const char* artifact;
};

// In the order a run shows them; the second must fully replace the first.
const StatusStep kSteps[] = {
    {IDS_DOWNLOADING, L"파일 다운로드 중", "progress-window-downloading.bmp"},
    {IDS_EXTRACTING, L"압축파일을 푸는 중", "progress-window-extracting.bmp"},
};

// Pixels of an area, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Copies an area of `source` through a 32-bit section; `draw` may paint on the copy first.
template <typename Draw>
Image Grab(HDC source, POINT origin, int width, int height, Draw draw) {
  Image image{width, height, {}};
  CScopedMemoryDC memory(::CreateCompatibleDC(source));
  BITMAPINFO format = {};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  CScopedGdiObject section(::CreateDIBSection(memory.Get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !section) return image;
  {
    CSelectObject select(memory.Get(), section.Get());
    ::BitBlt(memory.Get(), 0, 0, width, height, source, origin.x, origin.y, SRCCOPY);
    draw(memory.Get(), static_cast<DWORD*>(bits));
    ::GdiFlush();
  }
  const auto* bytes = static_cast<const BYTE*>(bits);
  for (int i = 0; i < width * height; ++i)
    image.pixels.push_back(RGB(bytes[4 * i + 2], bytes[4 * i + 1], bytes[4 * i]));
  return image;
}

Image Grab(HDC source, POINT origin, int width, int height) {
  return Grab(source, origin, width, height, [](HDC, DWORD*) {});
}

void SaveBmp(const Image& image, const std::string& path) {
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
  EXPECT_TRUE(WriteFileBytes(path, bytes)) << path;
}

std::string ArtifactPath(const char* name) {
  const std::string folder = TestBinaryFolder() + "\\..\\artifacts";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\" + name;
}

CScopedGdiObject StatusFont(HDC dc) {
  LOGFONTW font = {};
  font.lfHeight = -::MulDiv(9, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
  font.lfCharSet = DEFAULT_CHARSET;
  wcscpy(font.lfFaceName, L"굴림");
  return CScopedGdiObject(::CreateFontIndirectW(&font));
}

// The face as it must look with `text` as its status line: colour-keyed pixels show the dialog's
// own background, the text is right-aligned and vertically centred in the status rectangle.
Image ExpectedFace(const wchar_t* text) {
  CScopedGdiObject face(::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_SKIN_BACKGROUND)));
  CScopedMemoryDC faceDc(::CreateCompatibleDC(nullptr));
  CSelectObject selectFace(faceDc.Get(), face.Get());
  const COLORREF dialogBackground = ::GetSysColor(COLOR_BTNFACE);
  return Grab(faceDc.Get(), POINT{0, 0}, kFaceWidth, kFaceHeight, [&](HDC dc, DWORD* bits) {
    ::GdiFlush();
    for (int i = 0; i < kFaceWidth * kFaceHeight; ++i) {
      if ((bits[i] & 0xFFFFFF) == RGB(GetBValue(kColourKey), GetGValue(kColourKey), GetRValue(kColourKey))) {
        bits[i] = RGB(GetBValue(dialogBackground), GetGValue(dialogBackground), GetRValue(dialogBackground));
      }
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
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Boxes instead of Korean letters would pass the screenshot comparison; missing glyphs would not.
TEST(ProgressWindowTest, StatusFontHasKoreanGlyphs) {
  CWindowDC screen(nullptr);
  CScopedGdiObject font = StatusFont(screen.Get());
  CSelectObject select(screen.Get(), font.Get());
  for (const StatusStep& step : kSteps) {
    std::vector<WORD> glyphs(wcslen(step.text));
    ASSERT_NE(::GetGlyphIndicesW(screen.Get(), step.text, static_cast<int>(glyphs.size()), glyphs.data(),
                                 GGI_MARK_NONEXISTING_GLYPHS),
              GDI_ERROR);
    for (size_t i = 0; i < glyphs.size(); ++i)
      EXPECT_NE(glyphs[i], 0xFFFF) << "character " << i << " has no glyph";
  }
}

TEST(ProgressWindowTest, SkinnedWindowAsShown) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  CDlgDownload dialog;
  ASSERT_TRUE(dialog.Create(nullptr));
  const HWND hWnd = dialog.GetSafeHwnd();
  struct Destroy {
    HWND hWnd;
    ~Destroy() { ::DestroyWindow(hWnd); }
  } destroy{hWnd};

  RECT window = {};
  ASSERT_TRUE(::GetWindowRect(hWnd, &window));
  EXPECT_EQ(window.left, 0);
  EXPECT_EQ(window.top, 0);
  EXPECT_EQ(window.right - window.left, kFaceWidth);
  EXPECT_EQ(window.bottom - window.top, kWindowHeight);

  CScopedGdiObject regionOwner(::CreateRectRgn(0, 0, 0, 0));
  const auto region = static_cast<HRGN>(regionOwner.Get());
  const int kind = ::GetWindowRgn(hWnd, region);
  ASSERT_TRUE(kind == SIMPLEREGION || kind == COMPLEXREGION) << kind;
  RECT box = {};
  ::GetRgnBox(region, &box);
  EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= kFaceWidth && box.bottom <= kFaceHeight)
      << box.left << "," << box.top << "-" << box.right << "," << box.bottom;
  EXPECT_FALSE(::PtInRegion(region, 0, 0)) << "rounded corner";
  EXPECT_TRUE(::PtInRegion(region, kFaceWidth / 2, kFaceHeight / 2));

  // The template's controls sit inside the shape, on the colour-keyed tray, clear of the status line.
  const Image plainFace = ExpectedFace(L"");
  const COLORREF dialogBackground = ::GetSysColor(COLOR_BTNFACE);
  std::vector<RECT> children;
  for (const int id : {IDCANCEL, IDC_PROGRESS}) {
    const RECT child = ChildRect(hWnd, id);
    children.push_back(child);
    RECT overlap = {};
    EXPECT_FALSE(::IntersectRect(&overlap, &child, &kStatusRect)) << "control " << id;
    for (const POINT corner :
         {POINT{child.left, child.top}, POINT{child.right - 1, child.top},
          POINT{child.left, child.bottom - 1}, POINT{child.right - 1, child.bottom - 1}}) {
      ASSERT_TRUE(::PtInRegion(region, corner.x, corner.y))
          << "control " << id << " at " << corner.x << "," << corner.y;
      EXPECT_EQ(plainFace.At(corner.x, corner.y), dialogBackground) << "control " << id << " off the tray";
    }
  }

  ::SetWindowPos(hWnd, HWND_TOP, kShownAt.x, kShownAt.y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  for (const StatusStep& step : kSteps) {
    SCOPED_TRACE(step.artifact);
    dialog.SetStatusText(step.id);
    const Image expected = ExpectedFace(step.text);
    // Every visible face pixel outside the controls must match; the display shows the window
    // a moment after it painted.
    Image shot;
    std::vector<std::string> mismatches;
    for (int attempt = 0; attempt < 50; ++attempt) {
      PumpMessagesFor(100);
      CWindowDC screen(nullptr);
      shot = Grab(screen.Get(), kShownAt, kFaceWidth, kWindowHeight);
      mismatches.clear();
      for (int y = 0; y < kFaceHeight; ++y) {
        for (int x = 0; x < kFaceWidth; ++x) {
          const POINT p = {x, y};
          bool onControl = false;
          for (const RECT& child : children) onControl = onControl || ::PtInRect(&child, p);
          if (onControl || !::PtInRegion(region, x, y) || shot.At(x, y) == expected.At(x, y)) continue;
          char line[96];
          std::snprintf(line, sizeof line, "%d,%d: shown %06lx, expected %06lx", x, y, shot.At(x, y),
                        expected.At(x, y));
          mismatches.push_back(line);
        }
      }
      if (mismatches.empty()) break;
    }
    SaveBmp(shot, ArtifactPath(step.artifact));
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " pixels differ, first " << mismatches.front();

    // The status line is really there: its text colour, ending at the rectangle's right edge.
    int textPixels = 0;
    int rightmost = -1;
    bool fullColour = false;
    for (int y = kStatusRect.top; y < kStatusRect.bottom; ++y) {
      for (int x = kStatusRect.left; x < kStatusRect.right; ++x) {
        if (shot.At(x, y) == plainFace.At(x, y)) continue;
        ++textPixels;
        rightmost = std::max(rightmost, x);
        fullColour = fullColour || shot.At(x, y) == kTextColour;
      }
    }
    EXPECT_GT(textPixels, 40);
    EXPECT_TRUE(fullColour);
    EXPECT_GE(rightmost, kStatusRect.right - 6);
  }
}

}  // namespace
