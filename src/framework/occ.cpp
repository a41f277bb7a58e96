#include "framework/occ.h"

namespace {
COccManager* g_occManager = nullptr;
}

void AfxEnableControlContainer(COccManager* manager) noexcept
{
    g_occManager = manager;
}

COccManager* AfxGetOccManager() noexcept
{
    return g_occManager;
}
