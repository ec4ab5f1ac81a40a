#include "BitmapRegion.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kGrowBy = 100;      // rectangles added to the buffer when it is full
constexpr DWORD kBatchSize = 2000;  // rectangles per region creation call

// Collects row runs and turns them into one region, a batch at a time, so that no single
// region-creation call gets large.
class CRegionBuilder {
 public:
  CRegionBuilder() { Grow(); }

  bool Add(LONG left, LONG top, LONG right, LONG bottom) {
    if (m_nCount == m_nCapacity) Grow();
    Rects()[m_nCount++] = RECT{left, top, right, bottom};
    m_bound.left = std::min(m_bound.left, left);
    m_bound.top = std::min(m_bound.top, top);
    m_bound.right = std::max(m_bound.right, right);
    m_bound.bottom = std::max(m_bound.bottom, bottom);
    return m_nCount < kBatchSize || Flush();
  }

  // The union of every run added; an empty region when there were none.
  CScopedGdiObject Finish() {
    if (m_nCount > 0 && !Flush()) return {};
    if (!m_result) m_result.Reset(::CreateRectRgn(0, 0, 0, 0));
    return std::move(m_result);
  }

 private:
  RECT* Rects() { return reinterpret_cast<RECT*>(m_buffer.data() + sizeof(RGNDATAHEADER)); }

  void Grow() {
    m_nCapacity += kGrowBy;
    m_buffer.resize(sizeof(RGNDATAHEADER) + m_nCapacity * sizeof(RECT));
  }

  bool Flush() {
    auto* header = reinterpret_cast<RGNDATAHEADER*>(m_buffer.data());
    *header = RGNDATAHEADER{sizeof(RGNDATAHEADER), RDH_RECTANGLES, m_nCount, m_nCount * DWORD{sizeof(RECT)},
                            m_bound};
    CScopedGdiObject batch(::ExtCreateRegion(nullptr, sizeof(RGNDATAHEADER) + header->nRgnSize,
                                             reinterpret_cast<const RGNDATA*>(m_buffer.data())));
    m_nCount = 0;
    m_bound = kNoBound;
    if (!batch) return false;
    if (!m_result) {
      m_result = std::move(batch);
      return true;
    }
    const auto result = static_cast<HRGN>(m_result.Get());
    return ::CombineRgn(result, result, static_cast<HRGN>(batch.Get()), RGN_OR) != ERROR;
  }

  static constexpr RECT kNoBound = {LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
  std::vector<BYTE> m_buffer;
  DWORD m_nCapacity = 0;
  DWORD m_nCount = 0;
  RECT m_bound = kNoBound;
  CScopedGdiObject m_result;
};

struct ChannelRange {
  BYTE low;
  BYTE high;
  bool Holds(BYTE value) const { return value >= low && value <= high; }
};

ChannelRange RangeOf(BYTE colour, BYTE tolerance) {
  return {colour, static_cast<BYTE>(std::min(255, colour + tolerance))};
}

}  // namespace

CScopedGdiObject BitmapToRegion(HBITMAP bitmap, COLORREF transparent, COLORREF tolerance) {
  BITMAP info = {};
  if (bitmap == nullptr || ::GetObjectA(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 ||
      info.bmHeight <= 0) {
    return {};
  }
  const LONG width = info.bmWidth;
  const LONG height = info.bmHeight;

  CScopedMemoryDC pixels(::CreateCompatibleDC(nullptr));
  CScopedMemoryDC source(::CreateCompatibleDC(nullptr));
  if (!pixels || !source) return {};
  // Rows bottom-up; at 32 bits every row is already a multiple of 4 bytes.
  BITMAPINFO format = {};
  format.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  CScopedGdiObject section(::CreateDIBSection(pixels.Get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section || bits == nullptr) return {};
  {
    CSelectObject intoPixels(pixels.Get(), section.Get());
    CSelectObject fromSource(source.Get(), bitmap);
    if (!intoPixels.Selected() || !fromSource.Selected() ||
        !::BitBlt(pixels.Get(), 0, 0, width, height, source.Get(), 0, 0, SRCCOPY)) {
      return {};
    }
    ::GdiFlush();
  }

  const ChannelRange red = RangeOf(GetRValue(transparent), GetRValue(tolerance));
  const ChannelRange green = RangeOf(GetGValue(transparent), GetGValue(tolerance));
  const ChannelRange blue = RangeOf(GetBValue(transparent), GetBValue(tolerance));
  const auto isTransparent = [&](const BYTE* pixel) {  // blue, green, red, unused
    return blue.Holds(pixel[0]) && green.Holds(pixel[1]) && red.Holds(pixel[2]);
  };

  CRegionBuilder builder;
  const auto* base = static_cast<const BYTE*>(bits);
  for (LONG y = 0; y < height; ++y) {
    const BYTE* row = base + static_cast<size_t>(height - 1 - y) * width * 4;
    LONG x = 0;
    while (x < width) {
      while (x < width && isTransparent(row + x * 4)) ++x;
      const LONG start = x;
      while (x < width && !isTransparent(row + x * 4)) ++x;
      if (x > start && !builder.Add(start, y, x, y + 1)) return {};
    }
  }
  return builder.Finish();
}
