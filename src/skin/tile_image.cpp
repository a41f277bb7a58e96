#include "skin/tile_image.h"

#include "skin/tile_layout.h"

#include <new>

bool TileImage(const CImage* image, HDC dc, int x, int y, int width, int height) noexcept
{
    if (!image || image->IsNull())
        return false;
    try {
        const std::vector<TileSpan> columns = TileSpans(x, width, image->GetWidth());
        for (const TileSpan& row : TileSpans(y, height, image->GetHeight()))
            for (const TileSpan& column : columns)
                image->Draw(dc, column.start, row.start, column.length, row.length, 0, 0,
                            column.length, row.length);
    } catch (const std::bad_alloc&) {
        // Too many copies to list: nothing is drawn, as for any failed paint.
    }
    return true;
}
