// Resamples a decoded picture to the size the screen's scale gives it.
#pragma once

#include "framework/image.h"
#include "skin/dpi_scale.h"

// How a 32-bit picture's colour bytes relate to its alpha.
enum class PictureAlpha {
    kStraight,      // as decoded; premultiplied later, once
    kPremultiplied, // drawn premultiplied by the skin generator
};

// Scales `image` (top-down, 24 or 32 bits) to `scale`'s lengths of its
// width and height with WIC's Fant filter. A 32-bit picture is filtered
// premultiplied, so colours of transparent pixels never bleed into the
// edges, and comes back in the form it had. At 96 DPI nothing is touched.
// False when it cannot be scaled: the picture is then unchanged, or empty
// when not even the scaled picture's bitmap could be made.
bool ScaleImage(CImage* image, const DpiScale& scale, PictureAlpha alpha) noexcept;
