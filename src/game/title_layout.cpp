#include "game/title_layout.h"

// Creation order: minimise, maximise, restore, close, to-tray, boss key,
// refresh, forum, official site. Maximise and restore share one place.
const TitleButtonSpec kTitleButtons[9] = {
    {kBtnMinimize, 161, 160, 95}, {kBtnMaximize, 159, 158, 65}, {kBtnRestore, 163, 162, 65},
    {kBtnClose, 166, 165, 35},    {kBtnToTray, 189, 188, 125},  {kBtnBossKey, 193, 192, 215},
    {kBtnRefresh, 191, 190, 295}, {kBtnLink, 197, 196, 357},    {kBtnHome, 195, 194, 419},
};

int TitleButtonX(unsigned id, int clientWidth, const DpiScale& scale) noexcept
{
    for (const TitleButtonSpec& entry : kTitleButtons) {
        if (entry.id == id)
            return clientWidth - scale.Length(entry.offsetFromRight);
    }
    return -1;
}

BrowserRect GameBrowserRect(int clientWidth, int clientHeight, int titleHeight,
                            const DpiScale& scale) noexcept
{
    const int border = scale.Length(kGameBorder);
    BrowserRect r{border, border, clientWidth - border, clientHeight - border};
    if (titleHeight > 0)
        r.top += titleHeight;
    return r;
}
