// The update splash's pictures, one for each state a player sees: the check
// ("Checking for updates..."), the download with its bar, amount and the way
// to skip it, the start of the new version, and the wait for a file another
// program holds. Each is a premultiplied 32-bit picture of the same size,
// shown whole through the layered window.
#pragma once

#include "framework/image.h"
#include "skin/dpi_scale.h"

#include <cstdint>
#include <string>

class SplashPicture {
public:
    // The scale the states are drawn at: the splash's, taken when it is made.
    void ScaleTo(const DpiScale& scale) noexcept { m_scale = scale; }

    // The download state: caption, bar and amount drawn on the scroll's base
    // picture. Null when a picture it is made of cannot be loaded.
    const CImage* Downloading(const std::string& version, std::int64_t received,
                              std::int64_t total);
    // "Starting the new version...", during the swap and the hand-over.
    const CImage* Starting();
    // "Waiting for another program to release the file...", while the swap
    // waits for a file another program holds.
    const CImage* Waiting();

private:
    bool LoadDownloadPictures();
    // Copies the scroll without caption into `canvas`, made on first use.
    bool CopyBase(CImage& canvas);

    DpiScale m_scale;
    CImage m_base;   // the scroll without caption
    CImage m_trough; // the bar's groove
    CImage m_fill;   // the bar's filling
    CImage m_canvas; // the download state as last drawn
    CImage m_starting;
    CImage m_waiting;
};
