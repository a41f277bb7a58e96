#include "skin/button_faces.h"

#include "framework/image.h"
#include "skin/gt_button.h"
#include "skin/png_resource.h"

#include <memory>

namespace {
// A picture from the resources, or null when it is missing or undecodable.
std::unique_ptr<CImage> LoadFace(UINT id)
{
    if (id == 0)
        return nullptr;
    auto image = std::make_unique<CImage>();
    if (!LoadPngResource(image.get(), id) || image->IsNull())
        return nullptr;
    return image;
}
} // namespace

bool SetButtonFaces(GTButton& button, UINT normalId, UINT hoverId, UINT pressedId)
{
    std::unique_ptr<CImage> normal = LoadFace(normalId);
    if (!normal)
        return false;
    std::unique_ptr<CImage> hover = LoadFace(hoverId);
    std::unique_ptr<CImage> pressed = LoadFace(pressedId);
    button.m_bOwnImages = 1;
    if (!button.SetImages(normal.get(), hover.get(), pressed.get(), nullptr))
        return false;
    // The button owns them now.
    normal.release();
    hover.release();
    pressed.release();
    return true;
}
