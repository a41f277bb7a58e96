#include "framework/ole_site.h"

#include "framework/dispatch.h"
#include "framework/occ.h"
#include "framework/ole_container.h"
#include "framework/wnd.h"

#include <utility>

namespace {

// Interfaces a control asks for that this site does not offer show up in a
// debugger's output (under Wine 8: WINEDEBUG=warn+seh).
void TraceMissingInterface(REFIID iid) noexcept
{
    wchar_t text[64] = {};
    if (::StringFromGUID2(iid, text, 64) > 0) {
        wchar_t line[96] = {}; // 31 characters of text, 38 of GUID and the newline
        ::wsprintfW(line, L"COleControlSite: no interface %s\n", text);
        ::OutputDebugStringW(line);
    }
}

void SetAmbientBool(VARIANT* result, bool value) noexcept
{
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

} // namespace

COleControlSite::COleControlSite(COleControlContainer* container) noexcept
    : m_pCtrlCont(container), m_xOleInPlaceFrame(this)
{
}

COleControlSite::~COleControlSite() = default;

HWND COleControlSite::ContainerWindow() const noexcept
{
    return m_pCtrlCont && m_pCtrlCont->GetWindow() ? m_pCtrlCont->GetWindow()->m_hWnd : nullptr;
}

HRESULT COleControlSite::CreateControl(CWnd* wrapper, REFCLSID clsid, DWORD style, const RECT& rect,
                                       UINT id)
{
    const HRESULT hr = CreateAndActivate(clsid, style, rect, id);
    if (SUCCEEDED(hr) && (!wrapper || AttachWindow(wrapper)))
        return S_OK;
    DestroyControl();
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT COleControlSite::CreateAndActivate(REFCLSID clsid, DWORD style, const RECT& rect, UINT id)
{
    const HWND parent = ContainerWindow();
    if (!parent || m_pObject)
        return E_UNEXPECTED;
    if (!AfxOleEnsureThreadInitialized())
        return CO_E_NOTINITIALIZED;
    m_nID = id;
    m_rect = rect;

    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    reinterpret_cast<void**>(m_pObject.put()));
    if (FAILED(hr))
        return hr;

    IOleClientSite* const self = this;
    DWORD misc = 0;
    m_pObject->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst)
        hr = m_pObject->SetClientSite(self);
    // No persisted state: the control starts from its defaults.
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(hr) && SUCCEEDED(m_pObject.query(IID_IPersistStreamInit, persist)))
        hr = persist->InitNew();
    if (SUCCEEDED(hr) && !siteFirst)
        hr = m_pObject->SetClientSite(self);
    if (SUCCEEDED(hr))
        hr = m_events.Connect(m_pObject.get(), this);
    if (SUCCEEDED(hr))
        hr = m_pObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, self, 0, parent, &m_rect);
    if (SUCCEEDED(hr))
        hr = m_pObject.query(IID_IOleInPlaceObject, m_pInPlaceObject);
    if (SUCCEEDED(hr))
        hr = m_pInPlaceObject->GetWindow(&m_hWnd);
    if (FAILED(hr))
        return hr;
    if (!m_hWnd)
        return E_NOTIMPL; // windowless controls are not hosted

    // The dialog manager's view of a control: its id and style bits.
    ::SetWindowLongPtrW(m_hWnd, GWLP_ID, static_cast<LONG_PTR>(id));
    constexpr DWORD kStyleBits = WS_TABSTOP | WS_GROUP | WS_DISABLED;
    const auto current = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE,
                        static_cast<LONG_PTR>((current & ~kStyleBits) | (style & kStyleBits)));
    ::ShowWindow(m_hWnd, (style & WS_VISIBLE) ? SW_SHOWNA : SW_HIDE);
    return S_OK;
}

void COleControlSite::DestroyControl() noexcept
{
    AddRef(); // leaving the container may drop the last other reference
    m_events.Disconnect();
    DetachWindow();
    if (m_pInPlaceObject && m_bInPlaceActive)
        m_pInPlaceObject->InPlaceDeactivate();
    m_pInPlaceObject.reset();
    if (m_pObject) {
        m_pObject->Close(OLECLOSE_NOSAVE);
        // Close may keep the site for a later DoVerb; let go of it for good.
        m_pObject->SetClientSite(nullptr);
        m_pObject.reset();
    }
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd); // a control that left its window behind
    m_hWnd = nullptr;
    if (COleControlContainer* container = std::exchange(m_pCtrlCont, nullptr))
        container->RemoveSite(this);
    Release();
}

BOOL COleControlSite::AttachWindow(CWnd* wrapper)
{
    if (!wrapper || !m_hWnd || m_pWndCtrl)
        return FALSE;
    m_pWndCtrl = wrapper;
    wrapper->m_pCtrlSite = this;
    if (wrapper->m_hWnd == m_hWnd || wrapper->SubclassWindow(m_hWnd))
        return TRUE;
    m_pWndCtrl = nullptr;
    wrapper->m_pCtrlSite = nullptr;
    return FALSE;
}

void COleControlSite::DetachWindow() noexcept
{
    if (CWnd* const wrapper = std::exchange(m_pWndCtrl, nullptr))
        wrapper->m_pCtrlSite = nullptr;
}

BOOL COleControlSite::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy,
                                   UINT flags) noexcept
{
    if (!m_hWnd)
        return FALSE;
    RECT wanted = m_rect;
    if (!(flags & SWP_NOMOVE))
        ::OffsetRect(&wanted, x - wanted.left, y - wanted.top);
    if (!(flags & SWP_NOSIZE)) {
        wanted.right = wanted.left + cx;
        wanted.bottom = wanted.top + cy;
    }
    if (!::EqualRect(&wanted, &m_rect) && m_pInPlaceObject) {
        m_rect = wanted;
        m_pInPlaceObject->SetObjectRects(&m_rect, &m_rect);
    }
    // Z-order, activation and showing are the window's own business.
    return ::SetWindowPos(m_hWnd, insertAfter, m_rect.left, m_rect.top, m_rect.right - m_rect.left,
                          m_rect.bottom - m_rect.top, flags);
}

void COleControlSite::InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                                   std::initializer_list<CDispArg> args) const
{
    ComPtr<IDispatch> dispatch;
    const HRESULT hr = m_pObject ? m_pObject.query(IID_IDispatch, dispatch) : OLE_E_NOTRUNNING;
    if (FAILED(hr))
        throw COleDispatchException(hr);
    AfxInvokeHelper(dispatch.get(), dispid, flags, vtRet, pvRet, args);
}

HRESULT COleControlSite::OnEvent(DISPID dispid, DISPPARAMS* params)
{
    return m_pCtrlCont ? m_pCtrlCont->OnEvent(*this, dispid, params) : S_OK;
}

void* COleControlSite::GetInterface(REFIID iid) noexcept
{
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        return static_cast<IOleClientSite*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        return static_cast<IOleInPlaceSite*>(this);
    if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        return static_cast<IOleInPlaceFrame*>(&m_xOleInPlaceFrame);
    if (iid == IID_IOleControlSite)
        return static_cast<IOleControlSite*>(this);
    if (iid == IID_IDispatch)
        return static_cast<IDispatch*>(this);
    return nullptr;
}

// IUnknown ------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE COleControlSite::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = GetInterface(riid);
    if (!*ppv) {
        TraceMissingInterface(riid);
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE COleControlSite::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refCount));
}

ULONG STDMETHODCALLTYPE COleControlSite::Release()
{
    const LONG count = ::InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

// IOleClientSite ------------------------------------------------------------

HRESULT STDMETHODCALLTYPE COleControlSite::SaveObject()
{
    return E_NOTIMPL; // nothing is persisted
}

HRESULT STDMETHODCALLTYPE COleControlSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk)
{
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::GetContainer(IOleContainer** ppContainer)
{
    if (ppContainer)
        *ppContainer = nullptr;
    return E_NOINTERFACE; // no document to enumerate or link into
}

HRESULT STDMETHODCALLTYPE COleControlSite::ShowObject()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::OnShowWindow(BOOL)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

// IOleWindow, IOleInPlaceSite -----------------------------------------------

HRESULT STDMETHODCALLTYPE COleControlSite::GetWindow(HWND* phwnd)
{
    if (!phwnd)
        return E_POINTER;
    *phwnd = ContainerWindow();
    return *phwnd ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::CanInPlaceActivate()
{
    return ContainerWindow() ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE COleControlSite::OnInPlaceActivate()
{
    m_bInPlaceActive = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::OnUIActivate()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::GetWindowContext(IOleInPlaceFrame** ppFrame,
                                                            IOleInPlaceUIWindow** ppDoc,
                                                            LPRECT lprcPosRect, LPRECT lprcClipRect,
                                                            LPOLEINPLACEFRAMEINFO lpFrameInfo)
{
    if (!ppFrame || !ppDoc || !lprcPosRect || !lprcClipRect || !lpFrameInfo)
        return E_POINTER;
    *ppFrame = &m_xOleInPlaceFrame;
    (*ppFrame)->AddRef();
    *ppDoc = nullptr; // the frame is the only UI window
    *lprcPosRect = m_rect;
    *lprcClipRect = m_rect;
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = ::GetAncestor(ContainerWindow(), GA_ROOT);
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::Scroll(SIZE)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::OnUIDeactivate(BOOL)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::OnInPlaceDeactivate()
{
    m_bInPlaceActive = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::DiscardUndoState()
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::DeactivateAndUndo()
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::OnPosRectChange(LPCRECT lprcPosRect)
{
    if (!lprcPosRect)
        return E_POINTER;
    m_rect = *lprcPosRect;
    if (m_pInPlaceObject)
        m_pInPlaceObject->SetObjectRects(&m_rect, &m_rect);
    return S_OK;
}

// IOleControlSite -----------------------------------------------------------

HRESULT STDMETHODCALLTYPE COleControlSite::OnControlInfoChanged()
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::LockInPlaceActive(BOOL)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::GetExtendedControl(IDispatch** ppDisp)
{
    if (ppDisp)
        *ppDisp = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::TransformCoords(POINTL*, POINTF*, DWORD)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::TranslateAccelerator(MSG*, DWORD)
{
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE COleControlSite::OnFocus(BOOL)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::ShowPropertyFrame()
{
    return E_NOTIMPL;
}

// IDispatch: ambient properties ----------------------------------------------

HRESULT STDMETHODCALLTYPE COleControlSite::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags,
                                                  DISPPARAMS*, VARIANT* pVarResult, EXCEPINFO*,
                                                  UINT*)
{
    if (!(wFlags & DISPATCH_PROPERTYGET) || !pVarResult)
        return DISP_E_MEMBERNOTFOUND;
    ::VariantInit(pVarResult);
    // A running application, not a form designer; everything else is the
    // control's default.
    switch (dispIdMember) {
    case DISPID_AMBIENT_USERMODE: SetAmbientBool(pVarResult, true); return S_OK;
    case DISPID_AMBIENT_UIDEAD: SetAmbientBool(pVarResult, false); return S_OK;
    case DISPID_AMBIENT_SHOWGRABHANDLES: SetAmbientBool(pVarResult, false); return S_OK;
    case DISPID_AMBIENT_SHOWHATCHING: SetAmbientBool(pVarResult, false); return S_OK;
    case DISPID_AMBIENT_LOCALEID:
        V_VT(pVarResult) = VT_I4;
        V_I4(pVarResult) = static_cast<LONG>(::GetUserDefaultLCID());
        return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

// IOleInPlaceFrame ----------------------------------------------------------

COleControlSite::XOleInPlaceFrame::XOleInPlaceFrame(COleControlSite* site) noexcept
    : CNestedInterface(site->GetControllingUnknown()), m_pSite(site)
{
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::GetWindow(HWND* phwnd)
{
    if (!phwnd)
        return E_POINTER;
    *phwnd = ::GetAncestor(m_pSite->ContainerWindow(), GA_ROOT);
    return *phwnd ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::GetBorder(LPRECT)
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::RequestBorderSpace(LPCBORDERWIDTHS)
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT STDMETHODCALLTYPE
COleControlSite::XOleInPlaceFrame::SetBorderSpace(LPCBORDERWIDTHS pborderwidths)
{
    // Only "no tools" can be granted.
    return pborderwidths ? INPLACE_E_NOTOOLSPACE : S_OK;
}

HRESULT STDMETHODCALLTYPE
COleControlSite::XOleInPlaceFrame::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR)
{
    return S_OK; // the frame translates no accelerators for it
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::InsertMenus(HMENU,
                                                                         LPOLEMENUGROUPWIDTHS)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::SetMenu(HMENU, HOLEMENU, HWND)
{
    return S_OK; // no menu bar to merge into
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::RemoveMenus(HMENU)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::SetStatusText(LPCOLESTR)
{
    return S_OK; // no status bar
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::EnableModeless(BOOL)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControlSite::XOleInPlaceFrame::TranslateAccelerator(LPMSG, WORD)
{
    return S_FALSE;
}
