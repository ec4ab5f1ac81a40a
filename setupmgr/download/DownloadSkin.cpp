#include "DownloadSkin.h"

#include <algorithm>
#include <iterator>

#include "BitmapRegion.h"
#include "SetupLog.h"
#include "resource.h"

namespace {

constexpr COLORREF kColourKey = RGB(51, 51, 255);
constexpr COLORREF kShapeTransparent = RGB(0, 0, 0);
constexpr COLORREF kShapeTolerance = RGB(16, 16, 16);
constexpr int kExtraRows = 30;  // part of the window, outside the shape
constexpr COLORREF kStatusColour = RGB(107, 50, 0);
constexpr RECT kStatusRect = {115, 35, 235, 49};
constexpr int kStatusPointTenths = 90;
constexpr wchar_t kStatusFace[] = L"굴림";

bool SizeOf(HGDIOBJ bitmap, SIZE& size) {
  BITMAP info = {};
  if (bitmap == nullptr || ::GetObjectA(bitmap, sizeof info, &info) == 0) return false;
  size = {info.bmWidth, info.bmHeight};
  return true;
}

HGDIOBJ LoadSkinBitmap(UINT id) {
  const HBITMAP bitmap = ::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
  if (bitmap == nullptr)
    LogWrite(1, "[ApplySkin] LoadBitmap(%u) Failed, Error Code = %d", id, static_cast<int>(::GetLastError()));
  return bitmap;
}

}  // namespace

void CDownloadSkin::Apply(HWND hWnd) {
  m_bmpBackground.Reset(LoadSkinBitmap(IDB_SKIN_BACKGROUND));
  SIZE face = {};
  if (SizeOf(m_bmpBackground.Get(), face)) {
    ::SetWindowPos(hWnd, nullptr, 0, 0, face.cx, face.cy + kExtraRows, SWP_NOZORDER);
  }

  m_bmpShape.Reset(LoadSkinBitmap(IDB_SKIN_SHAPE));
  CScopedGdiObject region =
      BitmapToRegion(static_cast<HBITMAP>(m_bmpShape.Get()), kShapeTransparent, kShapeTolerance);
  RECT box = {};
  // An empty shape would leave a window nobody can see or cancel.
  if (region && ::GetRgnBox(static_cast<HRGN>(region.Get()), &box) != NULLREGION) {
    // The system owns the region once it is set.
    if (::SetWindowRgn(hWnd, static_cast<HRGN>(region.Get()), TRUE)) (void)region.Release();
  } else if (m_bmpShape) {
    LogWrite(1, "[ApplySkin] No window shape from bitmap %u", IDB_SKIN_SHAPE);
  }

  CWindowDC screen(hWnd);
  LOGFONTW font = {};
  font.lfHeight = -::MulDiv(kStatusPointTenths, ::GetDeviceCaps(screen.Get(), LOGPIXELSY), 720);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  std::copy(std::begin(kStatusFace), std::end(kStatusFace), font.lfFaceName);
  m_font.Reset(::CreateFontIndirectW(&font));
}

void CDownloadSkin::Paint(HWND hWnd, const char* statusText) const {
  CPaintScope paint(hWnd);
  const HDC dc = paint.Get();
  RECT client = {};
  SIZE face = {};
  if (dc == nullptr || !::GetClientRect(hWnd, &client) || !SizeOf(m_bmpBackground.Get(), face)) return;
  // Rows and columns beyond the face are outside the shape and never seen.
  const int width = std::min<int>(client.right, face.cx);
  const int height = std::min<int>(client.bottom, face.cy);

  CScopedMemoryDC background(::CreateCompatibleDC(dc));
  CScopedMemoryDC mask(::CreateCompatibleDC(dc));
  CScopedGdiObject maskBitmap(::CreateBitmap(width, height, 1, 1, nullptr));
  if (background && mask && maskBitmap) {
    CSelectObject selectBackground(background.Get(), m_bmpBackground.Get());
    CSelectObject selectMask(mask.Get(), maskBitmap.Get());
    // Copying colour to monochrome: pixels of the source's background colour become white.
    const COLORREF oldKey = ::SetBkColor(background.Get(), kColourKey);
    ::BitBlt(mask.Get(), 0, 0, width, height, background.Get(), 0, 0, SRCCOPY);
    ::SetBkColor(background.Get(), oldKey);
    // Copying monochrome to colour: white takes the target's background colour, black its text
    // colour; the and-step needs them white and black.
    const COLORREF oldBack = ::SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF oldText = ::SetTextColor(dc, RGB(0, 0, 0));
    // Where the mask is white the window keeps what it had; elsewhere it shows the face.
    ::BitBlt(dc, 0, 0, width, height, background.Get(), 0, 0, SRCINVERT);
    ::BitBlt(dc, 0, 0, width, height, mask.Get(), 0, 0, SRCAND);
    ::BitBlt(dc, 0, 0, width, height, background.Get(), 0, 0, SRCINVERT);
    ::SetTextColor(dc, oldText);
    ::SetBkColor(dc, oldBack);
  }

  if (statusText == nullptr || *statusText == '\0') return;
  CSelectObject selectFont(dc, m_font.Get());
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = ::SetTextColor(dc, kStatusColour);
  RECT text = kStatusRect;
  ::DrawTextA(dc, statusText, -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
  ::SetTextColor(dc, oldColour);
  ::SetBkMode(dc, oldMode);
}

void CDownloadSkin::InvalidateStatus(HWND hWnd) { ::InvalidateRect(hWnd, &kStatusRect, FALSE); }
