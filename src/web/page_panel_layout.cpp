#include "web/page_panel_layout.h"

namespace {
// The block's lengths at 96 DPI: the two lines' heights, the gap between them
// and the one above the button, the margin on either side.
constexpr struct {
    int cause = 24;
    int countdown = 20;
    int lineGap = 6;
    int buttonGap = 18;
    int margin = 24;
} kBlock;
} // namespace

PagePanelLayout LayOutPagePanel(int width, int height, int buttonWidth, int buttonHeight,
                                const DpiScale& scale) noexcept
{
    const int cause = scale.Length(kBlock.cause);
    const int countdown = scale.Length(kBlock.countdown);
    const int lineGap = scale.Length(kBlock.lineGap);
    const int buttonGap = scale.Length(kBlock.buttonGap);
    const int margin = scale.Length(kBlock.margin);
    const int block = cause + lineGap + countdown + buttonGap + buttonHeight;

    PagePanelLayout layout{};
    // A panel smaller than the block keeps the block's top on the panel.
    const int top = height > block ? (height - block) / 2 : 0;
    layout.cause = {margin, top, width - margin, top + cause};
    const int countdownTop = layout.cause.bottom + lineGap;
    layout.countdown = {margin, countdownTop, width - margin, countdownTop + countdown};
    const int buttonTop = layout.countdown.bottom + buttonGap;
    const int buttonLeft = (width - buttonWidth) / 2;
    layout.retry = {buttonLeft, buttonTop, buttonLeft + buttonWidth, buttonTop + buttonHeight};
    return layout;
}
