#include "framework/occ.h"

#include "framework/ole_container.h"
#include "framework/ole_site.h"

#include <ole2.h>

#include <new>

namespace {
COccManager* g_occManager = nullptr;
thread_local bool t_oleInitialized = false;
} // namespace

COleControlContainer* COccManager::CreateContainer(CWnd* wnd)
{
    return new (std::nothrow) COleControlContainer(wnd);
}

COleControlSite* COccManager::CreateSite(COleControlContainer* container)
{
    return new (std::nothrow) COleControlSite(container);
}

void AfxEnableControlContainer(COccManager* manager) noexcept
{
    static COccManager plainManager;
    g_occManager = manager ? manager : &plainManager;
}

COccManager* AfxGetOccManager() noexcept
{
    return g_occManager;
}

bool AfxOleEnsureThreadInitialized() noexcept
{
    if (!t_oleInitialized)
        t_oleInitialized = SUCCEEDED(::OleInitialize(nullptr));
    return t_oleInitialized;
}
