// Where the game window's title-strip buttons sit. Platform-free.
#pragma once

#include "skin/dpi_scale.h"

// The button ids of the title strip.
enum GameButtonId : unsigned {
    kBtnClose = 104,
    kBtnMinimize = 105,
    kBtnMaximize = 106,
    kBtnRestore = 107,
    kBtnToTray = 188,
    kBtnRefresh = 190,
    kBtnBossKey = 192,
    kBtnHome = 194,
    kBtnLink = 196,
};

struct TitleButtonSpec {
    unsigned id;
    unsigned normalPng;
    unsigned hoverPng;
    int offsetFromRight; // x = client right - offset
};

// The nine buttons in the order they are created.
extern const TitleButtonSpec kTitleButtons[9];

// Every button sits this far below the client top at 96 DPI.
constexpr int kTitleButtonTop = 3;
// The window's border around the title strip and the page, at 96 DPI.
constexpr int kGameBorder = 2;

// The left edge of button `id` in a client area `clientWidth` wide at
// `scale`; -1 for an id that is not a title button.
int TitleButtonX(unsigned id, int clientWidth, const DpiScale& scale = DpiScale()) noexcept;

// The game browser's rectangle: the client area less the border, below the
// title strip (when its picture is loaded, `titleHeight` > 0; it is the
// picture's height as loaded, already at `scale`).
struct BrowserRect {
    int left, top, right, bottom;
};
BrowserRect GameBrowserRect(int clientWidth, int clientHeight, int titleHeight,
                            const DpiScale& scale = DpiScale()) noexcept;
