// The ActiveX controls hosted by one window: created through the installed
// manager's sites, their events routed to the window's event-sink table, and
// all of them taken down when the window goes.
#pragma once

#include "framework/handles.h"

#include <oaidl.h>

#include <vector>

class CWnd;
class COleControlSite;

class COleControlContainer {
public:
    explicit COleControlContainer(CWnd* wnd) noexcept : m_pWnd(wnd) {}
    COleControlContainer(const COleControlContainer&) = delete;
    COleControlContainer& operator=(const COleControlContainer&) = delete;
    // Destroys every control still hosted.
    virtual ~COleControlContainer();

    // Creates a control as a child of the window; `wrapper`, when given, is
    // bound to the control's window. The new site, or null.
    COleControlSite* CreateControl(CWnd* wrapper, REFCLSID clsid, DWORD style, const RECT& rect,
                                   UINT id);

    CWnd* GetWindow() const noexcept { return m_pWnd; }
    COleControlSite* FindSite(HWND controlWindow) const noexcept;
    COleControlSite* FindSite(UINT controlId) const noexcept;
    std::size_t GetSiteCount() const noexcept { return m_sites.size(); }

    // A site leaves when its control is destroyed.
    void RemoveSite(COleControlSite* site) noexcept;
    // An event fired by the control of `site`.
    HRESULT OnEvent(COleControlSite& site, DISPID dispid, DISPPARAMS* params);

private:
    CWnd* const m_pWnd;
    std::vector<ComPtr<COleControlSite>> m_sites;
};
