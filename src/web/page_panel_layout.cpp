#include "web/page_panel_layout.h"

namespace {
// At 96 DPI.
constexpr int kCauseHeight = 24;
constexpr int kCountdownHeight = 20;
constexpr int kLineGap = 6;
constexpr int kButtonGap = 18;
constexpr int kSideMargin = 24;
} // namespace

PagePanelLayout LayOutPagePanel(int width, int height, int buttonWidth, int buttonHeight,
                                const DpiScale& scale) noexcept
{
    const int cause = scale.Length(kCauseHeight);
    const int countdown = scale.Length(kCountdownHeight);
    const int lineGap = scale.Length(kLineGap);
    const int buttonGap = scale.Length(kButtonGap);
    const int margin = scale.Length(kSideMargin);
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
