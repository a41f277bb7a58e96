#include "framework/ole_container.h"

#include "framework/event_map.h"
#include "framework/occ.h"
#include "framework/ole_site.h"

#include <algorithm>

COleControlContainer::~COleControlContainer()
{
    // Each site removes itself; take them from the back so nothing shifts.
    while (!m_sites.empty()) {
        ComPtr<COleControlSite> site(m_sites.back().get());
        site->DestroyControl();
        if (!m_sites.empty() && m_sites.back().get() == site.get())
            m_sites.pop_back(); // a site that had already left
    }
}

COleControlSite* COleControlContainer::CreateControl(CWnd* wrapper, REFCLSID clsid, DWORD style,
                                                     const RECT& rect, UINT id)
{
    COccManager* const manager = AfxGetOccManager();
    if (!manager)
        return nullptr;
    ComPtr<COleControlSite> site;
    site.attach(manager->CreateSite(this));
    if (!site)
        return nullptr;
    m_sites.emplace_back(site.get());
    // On failure the site has destroyed what it made and left the container.
    if (FAILED(site->CreateControl(wrapper, clsid, style, rect, id)))
        return nullptr;
    return site.get();
}

COleControlSite* COleControlContainer::FindSite(HWND controlWindow) const noexcept
{
    for (const auto& site : m_sites)
        if (controlWindow && site->GetControlWindow() == controlWindow)
            return site.get();
    return nullptr;
}

COleControlSite* COleControlContainer::FindSite(UINT controlId) const noexcept
{
    for (const auto& site : m_sites)
        if (site->GetControlId() == controlId)
            return site.get();
    return nullptr;
}

void COleControlContainer::RemoveSite(COleControlSite* site) noexcept
{
    const auto found = std::find_if(m_sites.begin(), m_sites.end(),
                                    [site](const auto& held) { return held.get() == site; });
    if (found != m_sites.end())
        m_sites.erase(found);
}

HRESULT COleControlContainer::OnEvent(COleControlSite& site, DISPID dispid, DISPPARAMS* params)
{
    return AfxRouteControlEvent(m_pWnd, site.GetControlId(), dispid, params);
}
