#include "skin/screen_scale.h"

#include "framework/handles.h"

namespace {
int ReadScreenDpi() noexcept
{
    const WindowDC screen(nullptr);
    return screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : DpiScale::kBaseDpi;
}
} // namespace

const DpiScale& ScreenScale() noexcept
{
    // The launcher is system-DPI-aware: the system DPI is fixed for the
    // life of the process.
    static const DpiScale scale(ReadScreenDpi());
    return scale;
}
