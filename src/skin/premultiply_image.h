// Premultiplies a decoded picture in place, once, before it is blended.
#pragma once

#include "framework/image.h"

// 32-bit images become premultiplied (see skin/premultiply.h); images of any
// other depth, and empty images, are left as they are and give true. False
// only for a null pointer.
bool PremultiplyAlpha(CImage* image) noexcept;
