// Skin pictures are PNG files in the launcher's own module, resource type
// "PNG", numeric ids.
#pragma once

#include "framework/image.h"
#include "skin/scale_image.h"

// Fills `image` from the "PNG" resource `id`, at the screen's scale (see
// skin/screen_scale.h). Whatever the image held is dropped first, so on
// failure (no such resource, no stream, undecodable data, no memory for the
// scaled picture) the image is empty. True exactly when it holds the picture.
bool LoadPngResource(CImage* image, UINT id, PictureAlpha alpha = PictureAlpha::kStraight) noexcept;
