// CWnd's ActiveX control members: creating a control, calling it, and the
// links between a window, the controls it hosts and a control's wrapper.
#include "framework/wnd.h"

#include "framework/dispatch.h"
#include "framework/occ.h"
#include "framework/ole_container.h"
#include "framework/ole_site.h"

BOOL CWnd::CreateControl(REFCLSID clsid, LPCWSTR windowName, DWORD style, const RECT& rect,
                         CWnd* parent, UINT id)
{
    if (m_hWnd || !parent || !parent->m_hWnd)
        return FALSE;
    COleControlContainer* const container = parent->InitControlContainer();
    if (!container || !container->CreateControl(this, clsid, style, rect, id))
        return FALSE;
    if (windowName && *windowName)
        ::SetWindowTextW(m_hWnd, windowName);
    return TRUE;
}

void CWnd::InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                        std::initializer_list<CDispArg> args) const
{
    if (!m_pCtrlSite)
        throw COleDispatchException(OLE_E_NOTRUNNING);
    m_pCtrlSite->InvokeHelper(dispid, flags, vtRet, pvRet, args);
}

IUnknown* CWnd::GetControlUnknown() const noexcept
{
    return m_pCtrlSite ? m_pCtrlSite->GetControlUnknown() : nullptr;
}

COleControlContainer* CWnd::InitControlContainer()
{
    if (!m_pCtrlCont && m_hWnd) {
        if (COccManager* const manager = AfxGetOccManager())
            m_pCtrlCont.reset(manager->CreateContainer(this));
    }
    return m_pCtrlCont.get();
}

const EventSinkEntry* CWnd::GetEventSinkMap() const
{
    return nullptr;
}

void CWnd::AttachControlSite() noexcept
{
    if (m_pCtrlSite)
        return;
    // A control made from a dialog template has a site but no wrapper until
    // the dialog's data exchange binds one.
    CWnd* const parent = FromHandlePermanent(::GetParent(m_hWnd));
    COleControlContainer* const container = parent ? parent->GetControlContainer() : nullptr;
    COleControlSite* const site = container ? container->FindSite(m_hWnd) : nullptr;
    if (site && !site->GetWrapper())
        site->AttachWindow(this);
}

void CWnd::ContainerDeleter::operator()(COleControlContainer* container) const noexcept
{
    delete container;
}

void CWnd::DestroyControlContainer() noexcept
{
    m_pCtrlCont.reset();
}

void CWnd::ReleaseControlSite() noexcept
{
    if (COleControlSite* const site = m_pCtrlSite) {
        // Unbound first, so the closing control's messages do not reach an
        // object that is being destroyed.
        UnsubclassWindow();
        site->DestroyControl();
    }
}
