// Where the page panel puts its two lines and its Retry button, in pixels
// from the panel's top-left corner: a block centred in the panel, the
// cause, the countdown below it, the button below that. Platform-free.
#pragma once

#include "skin/dpi_scale.h"

struct PanelBox {
    int left, top, right, bottom;
};

struct PagePanelLayout {
    PanelBox cause;
    PanelBox countdown;
    PanelBox retry;
};

// For a panel of `width` x `height` and a Retry face of `buttonWidth` x
// `buttonHeight`, all already at `scale`; the gaps and line heights scale.
PagePanelLayout LayOutPagePanel(int width, int height, int buttonWidth, int buttonHeight,
                                const DpiScale& scale) noexcept;
