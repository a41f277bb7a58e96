#include "skin/premultiply_image.h"

#include "skin/premultiply.h"

bool PremultiplyAlpha(CImage* image) noexcept
{
    if (!image)
        return false;
    if (image->GetBPP() != 32)
        return true;
    PremultiplyRows(static_cast<std::uint8_t*>(image->GetBits()), image->GetWidth(),
                    image->GetHeight(), image->GetPitch());
    return true;
}
