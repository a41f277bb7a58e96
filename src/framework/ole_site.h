// The client site of one ActiveX control: what the control asks its host for
// (IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, IOleControlSite and
// the ambient-property IDispatch), and the control's life from creation to
// teardown. A derived site adds interfaces by extending GetInterface.
#pragma once

#include "framework/event_sink.h"
#include "framework/handles.h"
#include "framework/nested_interface.h"

#include <ole2.h>
#include <olectl.h>

#include <initializer_list>

class CWnd;
class CDispArg;
class COleControlContainer;

class COleControlSite : public IOleClientSite,
                        public IOleInPlaceSite,
                        public IOleControlSite,
                        public IDispatch {
public:
    // Starts with the one reference that the container takes over.
    explicit COleControlSite(COleControlContainer* container) noexcept;
    COleControlSite(const COleControlSite&) = delete;
    COleControlSite& operator=(const COleControlSite&) = delete;

    // Creates the control, sites it, connects its events and activates it in
    // place as a child of the container's window with `style`'s visibility,
    // tab stop and the control id `id`. `wrapper`, when given, is bound to
    // the control's window. On failure nothing of the control is left.
    HRESULT CreateControl(CWnd* wrapper, REFCLSID clsid, DWORD style, const RECT& rect, UINT id);
    // Closes the control, unlinks its wrapper and leaves the container.
    // Safe to call more than once.
    void DestroyControl() noexcept;

    // Binds `wrapper` to the control's window (dialog data exchange).
    BOOL AttachWindow(CWnd* wrapper);
    // The wrapper's window is gone or it lets go of the control.
    void DetachWindow() noexcept;

    // Moves the control through its in-place object so it knows its place.
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) noexcept;

    // Automation call on the control; throws COleDispatchException.
    void InvokeHelper(DISPID dispid, WORD flags, VARTYPE vtRet, void* pvRet,
                      std::initializer_list<CDispArg> args) const;

    // An event fired by the control, routed to the container's window.
    HRESULT OnEvent(DISPID dispid, DISPPARAMS* params);

    IUnknown* GetControlUnknown() const noexcept { return m_pObject.get(); }
    HWND GetControlWindow() const noexcept { return m_hWnd; }
    UINT GetControlId() const noexcept { return m_nID; }
    CWnd* GetWrapper() const noexcept { return m_pWndCtrl; }
    COleControlContainer* GetControlContainer() const noexcept { return m_pCtrlCont; }
    // The site's own identity, which its nested interfaces share.
    IUnknown* GetControllingUnknown() noexcept { return static_cast<IOleClientSite*>(this); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker,
                                         IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** ppContainer) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL fShow) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

    // IOleWindow, IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL fEnterMode) override;
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** ppFrame,
                                               IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                               LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE scrollExtant) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL fUndoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT lprcPosRect) override;

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override;
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL fLock) override;
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** ppDisp) override;
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* pPtlHimetric, POINTF* pPtfContainer,
                                              DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* pMsg, DWORD grfModifiers) override;
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL fGotFocus) override;
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override;

    // IDispatch: the ambient properties the control reads from its host.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

protected:
    virtual ~COleControlSite();

    // The site's interface table: the interface for `iid` or null. A derived
    // site answers its own IIDs and falls back to this one.
    virtual void* GetInterface(REFIID iid) noexcept;

private:
    // The in-place frame the control is shown in: the container window's
    // top-level window. No menus, no tool space, no accelerators, no status.
    class XOleInPlaceFrame final : public CNestedInterface<IOleInPlaceFrame> {
    public:
        explicit XOleInPlaceFrame(COleControlSite* site) noexcept;
        HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
        HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL fEnterMode) override;
        HRESULT STDMETHODCALLTYPE GetBorder(LPRECT lprectBorder) override;
        HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS pborderwidths) override;
        HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS pborderwidths) override;
        HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* pActiveObject,
                                                  LPCOLESTR pszObjName) override;
        HRESULT STDMETHODCALLTYPE InsertMenus(HMENU hmenuShared,
                                              LPOLEMENUGROUPWIDTHS lpMenuWidths) override;
        HRESULT STDMETHODCALLTYPE SetMenu(HMENU hmenuShared, HOLEMENU holemenu,
                                          HWND hwndActiveObject) override;
        HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU hmenuShared) override;
        HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR pszStatusText) override;
        HRESULT STDMETHODCALLTYPE EnableModeless(BOOL fEnable) override;
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpmsg, WORD wID) override;

    private:
        COleControlSite* const m_pSite;
    };

    HRESULT CreateAndActivate(REFCLSID clsid, DWORD style, const RECT& rect, UINT id);
    HWND ContainerWindow() const noexcept;

    LONG m_refCount = 1;
    COleControlContainer* m_pCtrlCont;
    CWnd* m_pWndCtrl = nullptr; // the wrapper bound to the control's window
    HWND m_hWnd = nullptr;      // the control's window
    UINT m_nID = 0;
    RECT m_rect{}; // in the container window's client coordinates
    bool m_bInPlaceActive = false;
    ComPtr<IOleObject> m_pObject;
    ComPtr<IOleInPlaceObject> m_pInPlaceObject;
    CEventConnection m_events;
    XOleInPlaceFrame m_xOleInPlaceFrame;
};
