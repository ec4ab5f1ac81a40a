// The real download dialog on the display: its size and shape, and what a person sees of it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DlgDownload.h"
#include "ProgressFace.h"
#include "Pump.h"
#include "Screenshot.h"
#include "WinHandles.h"
#include "resource.h"

namespace {

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

// Boxes instead of Korean letters would pass the screenshot comparison; missing glyphs would not.
TEST(ProgressWindowTest, StatusFontHasKoreanGlyphs) {
  CWindowDC screen(nullptr);
  CScopedGdiObject font = face::StatusFont(screen.Get());
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
  EXPECT_EQ(window.right - window.left, face::kWidth);
  EXPECT_EQ(window.bottom - window.top, face::kWindowHeight);

  CScopedGdiObject regionOwner(::CreateRectRgn(0, 0, 0, 0));
  const auto region = static_cast<HRGN>(regionOwner.Get());
  const int kind = ::GetWindowRgn(hWnd, region);
  ASSERT_TRUE(kind == SIMPLEREGION || kind == COMPLEXREGION) << kind;
  RECT box = {};
  ::GetRgnBox(region, &box);
  EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= face::kWidth && box.bottom <= face::kHeight)
      << box.left << "," << box.top << "-" << box.right << "," << box.bottom;
  EXPECT_FALSE(::PtInRegion(region, 0, 0)) << "rounded corner";
  EXPECT_TRUE(::PtInRegion(region, face::kWidth / 2, face::kHeight / 2));

  // The template's controls sit inside the shape, on the colour-keyed tray, clear of the status line.
  const HMODULE resources = ::GetModuleHandleA(nullptr);
  const CImage plainFace = face::Expected(resources, L"");
  const COLORREF dialogBackground = ::GetSysColor(COLOR_BTNFACE);
  for (const int id : {IDCANCEL, IDC_PROGRESS}) {
    const RECT child = face::ChildRect(hWnd, id);
    RECT overlap = {};
    EXPECT_FALSE(::IntersectRect(&overlap, &child, &face::kStatusRect)) << "control " << id;
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
    const CImage expected = face::Expected(resources, step.text);
    // The display shows the window a moment after it painted.
    CImage shot;
    std::vector<std::string> mismatches;
    for (int attempt = 0; attempt < 50; ++attempt) {
      PumpMessagesFor(100);
      shot = GrabWindow(hWnd);
      mismatches = face::Mismatches(hWnd, region, shot, expected);
      if (mismatches.empty()) break;
    }
    EXPECT_TRUE(SaveBmp(shot, ArtifactPath(step.artifact)));
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " pixels differ, first " << mismatches.front();

    // The status line is really there: its text colour, ending at the rectangle's right edge.
    const face::StatusInk ink = face::StatusLine(shot, plainFace);
    EXPECT_GT(ink.pixels, 40);
    EXPECT_TRUE(ink.textColour);
    EXPECT_GE(ink.rightmost, face::kStatusRect.right - 6);
  }
}

}  // namespace
