// Skin pictures are PNG files in the launcher's own module, resource type
// "PNG", numeric ids.
#pragma once

#include "framework/image.h"

// Fills `image` from the "PNG" resource `id`. Whatever the image held is
// dropped first, so on failure (no such resource, no stream, undecodable
// data) the image is empty. True exactly when decoding succeeded.
bool LoadPngResource(CImage* image, UINT id) noexcept;
