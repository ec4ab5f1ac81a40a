#include "BitmapRegion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

using PixelFn = std::function<COLORREF(int x, int y)>;
using KeptFn = std::function<bool(int x, int y)>;

struct RegionCase {
  const char* name;
  int width;
  int height;
  PixelFn pixel;
  COLORREF transparent;
  COLORREF tolerance;
  KeptFn kept;     // pixels the region must cover, by construction of the image
  int rectangles;  // row runs expected in the region's data; 0 for an empty region
};

COLORREF Black(int, int) { return RGB(0, 0, 0); }
bool Checker(int x, int y) { return (x + y) % 2 == 0; }

// One row probing the tolerance per channel: 16 is cut, 17 on any channel is kept.
COLORREF ToleranceRow(int x, int) {
  static const COLORREF row[] = {RGB(16, 16, 16), RGB(17, 0, 0),      RGB(0, 17, 0), RGB(0, 0, 17),
                                 RGB(16, 16, 16), RGB(255, 255, 255), RGB(0, 0, 0)};
  return row[x];
}

const RegionCase kCases[] = {
    {"ToleranceSixteenCutSeventeenKept", 7, 1, ToleranceRow, RGB(0, 0, 0), RGB(16, 16, 16),
     [](int x, int) { return (x >= 1 && x <= 3) || x == 5; }, 2},
    {"AllBlackGivesEmptyRegion", 40, 30, Black, RGB(0, 0, 0), RGB(16, 16, 16), [](int, int) { return false; },
     0},
    {"TopRowIsRowZero", 9, 5, [](int, int y) { return y == 0 ? RGB(255, 255, 255) : RGB(0, 0, 0); },
     RGB(0, 0, 0), RGB(16, 16, 16), [](int, int y) { return y == 0; }, 1},
    {"RangeCappedAt255", 4, 2,
     [](int x, int) { return x % 2 == 0 ? RGB(255, 255, 255) : RGB(249, 250, 250); }, RGB(250, 250, 250),
     RGB(16, 16, 16), [](int x, int) { return x % 2 == 1; }, 2},
    // 200 x 41 cells alternate: 4,100 runs, two batches and a remainder.
    {"CheckerboardBeyondOneBatch", 200, 41,
     [](int x, int y) { return Checker(x, y) ? RGB(255, 255, 255) : RGB(0, 0, 0); }, RGB(0, 0, 0),
     RGB(16, 16, 16), Checker, 4100},
};

// A 32-bit bitmap painted pixel by pixel.
CScopedGdiObject MakeBitmap(const RegionCase& c) {
  BITMAPINFO format = {};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), c.width, -c.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  CScopedGdiObject bitmap(::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return bitmap;
  auto* pixels = static_cast<DWORD*>(bits);
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      const COLORREF colour = c.pixel(x, y);
      pixels[y * c.width + x] = RGB(GetBValue(colour), GetGValue(colour), GetRValue(colour));
    }
  }
  return bitmap;
}

TEST(BitmapRegionTest, Table) {
  for (const RegionCase& c : kCases) {
    SCOPED_TRACE(c.name);
    CScopedGdiObject bitmap = MakeBitmap(c);
    ASSERT_TRUE(bitmap);
    CScopedGdiObject region = BitmapToRegion(static_cast<HBITMAP>(bitmap.Get()), c.transparent, c.tolerance);
    ASSERT_TRUE(region);
    const auto rgn = static_cast<HRGN>(region.Get());

    RECT expectedBox = {c.width, c.height, 0, 0};
    int mismatches = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const bool kept = c.kept(x, y);
        if (kept) {
          expectedBox = {std::min<LONG>(expectedBox.left, x), std::min<LONG>(expectedBox.top, y),
                         std::max<LONG>(expectedBox.right, x + 1), std::max<LONG>(expectedBox.bottom, y + 1)};
        }
        if ((::PtInRegion(rgn, x, y) != FALSE) != kept && ++mismatches <= 5) {
          ADD_FAILURE() << "pixel " << x << "," << y << (kept ? " missing" : " covered");
        }
      }
    }
    EXPECT_EQ(mismatches, 0);

    RECT box = {};
    const int kind = ::GetRgnBox(rgn, &box);
    const DWORD size = ::GetRegionData(rgn, 0, nullptr);
    std::vector<BYTE> data(size);
    ASSERT_EQ(::GetRegionData(rgn, size, reinterpret_cast<RGNDATA*>(data.data())), size);
    EXPECT_EQ(reinterpret_cast<const RGNDATAHEADER*>(data.data())->nCount, static_cast<DWORD>(c.rectangles));
    if (c.rectangles == 0) {
      EXPECT_EQ(kind, NULLREGION);
    } else {
      EXPECT_TRUE(::EqualRect(&box, &expectedBox))
          << box.left << "," << box.top << "-" << box.right << "," << box.bottom;
    }
  }
}

TEST(BitmapRegionTest, NoBitmapGivesNoRegion) {
  EXPECT_FALSE(BitmapToRegion(nullptr, RGB(0, 0, 0), RGB(16, 16, 16)));
}

}  // namespace
