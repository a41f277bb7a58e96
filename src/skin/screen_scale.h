// The scale every window of the launcher is laid out at: the screen's DPI
// as the system reports it to a DPI-aware program, read once.
#pragma once

#include "skin/dpi_scale.h"

const DpiScale& ScreenScale() noexcept;
