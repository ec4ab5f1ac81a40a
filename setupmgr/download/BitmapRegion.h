// Window shapes cut out of bitmaps.
#pragma once

#include <windows.h>

#include "WinHandles.h"

// The region of every pixel of `bitmap` that is not transparent, as row runs. A pixel is
// transparent when each of its red, green and blue lies in [channel of `transparent`, that plus
// the channel of `tolerance`], capped at 255. A bitmap without such a pixel gives an empty region;
// none comes back only when the bitmap cannot be read or a drawing resource cannot be made.
CScopedGdiObject BitmapToRegion(HBITMAP bitmap, COLORREF transparent, COLORREF tolerance);
