// The browser host under Wine with the real WebBrowser control: control
// hosting and the customised site, events routed to handlers, the browser
// operations, the pop-up handlers and the browser of dialog template 103.
//
// Wine has no HTML engine here: a navigation sends its request and fires
// BeforeNavigate2, then ends in NavigateError. Pages, scripts, context menus
// and NewWindow2 never happen, so those handlers are called the way the
// control would call them (through the event routing, with the control's
// argument types).
#include "app/tessel_app.h"
#include "framework/dialog.h"
#include "framework/dispatch.h"
#include "framework/event_map.h"
#include "framework/occ.h"
#include "framework/occ_dialog.h"
#include "framework/ole_container.h"
#include "framework/variant.h"
#include "resource.h"
#include "support/browser_event_args.h"
#include "support/browser_log.h"
#include "support/recording_http_server.h"
#include "support/test_files.h"
#include "support/test_support.h"
#include "web/custom_control_site.h"
#include "web/custom_occ_manager.h"
#include "web/imp_idispatch.h"
#include "web/popup_handlers.h"
#include "web/web_browser2.h"

#include <gtest/gtest.h>

#include <exdisp.h>
#include <exdispid.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 15000;
constexpr DWORD kBrowserStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

using qmtest::Narrow;

// A site that notes the interfaces its control asks for, and its own end.
class RecordingSite final : public CCustomControlSite {
public:
    explicit RecordingSite(COleControlContainer* container) : CCustomControlSite(container)
    {
        ++s_alive;
    }
    static std::vector<IID> s_asked;
    static int s_alive;

    static bool Asked(REFIID iid)
    {
        return std::find(s_asked.begin(), s_asked.end(), iid) != s_asked.end();
    }

protected:
    ~RecordingSite() override { --s_alive; }
    void* GetInterface(REFIID iid) noexcept override
    {
        s_asked.push_back(iid);
        return CCustomControlSite::GetInterface(iid);
    }
};
std::vector<IID> RecordingSite::s_asked;
int RecordingSite::s_alive = 0;

class RecordingOccManager final : public CCustomOccManager {
public:
    COleControlSite* CreateSite(COleControlContainer* container) override
    {
        return new RecordingSite(container);
    }
};

// Process-wide like the launcher's: the manager outlives every control.
CCustomOccManager& LauncherManager()
{
    static CCustomOccManager manager;
    return manager;
}
RecordingOccManager& RecordingManager()
{
    static RecordingOccManager manager;
    return manager;
}

// What one BeforeNavigate2 brought.
struct Navigation {
    std::wstring url;
    bool hadFrame = false;
    BOOL cancelIn = TRUE;
    VARTYPE flagsType = VT_ILLEGAL;
};

// A window hosting a page browser (100) and a popup browser (101), wired as
// the launcher's windows are.
class HostWnd : public CWnd {
public:
    static constexpr UINT kPage = 100;
    static constexpr UINT kPopup = 101;

    CWebBrowser2 m_browser;
    CWebBrowser2 m_browserPopup;
    std::vector<Navigation> pageNavigations;
    std::vector<std::wstring> popupNavigations;
    std::vector<std::pair<std::wstring, LONG>> errors;
    BOOL cancelPage = FALSE;

    bool Create(bool withPopup = true)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QmWebTestHost";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        if (!AfxRegisterClass(&wc))
            return false;
        const RECT frame{0, 0, 800, 600};
        if (!CreateEx(0, wc.lpszClassName, L"web test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, frame,
                      nullptr, 0))
            return false;
        RECT client{};
        GetClientRect(&client);
        if (!m_browser.Create(nullptr, kBrowserStyle, client, this, kPage))
            return false;
        const RECT empty{0, 0, 0, 0};
        return !withPopup || m_browserPopup.Create(nullptr, kBrowserStyle, empty, this, kPopup);
    }

    const EventSinkEntry* GetEventSinkMap() const override
    {
        static const EventSinkEntry map[] = {
            OnControlEvent<&HostWnd::OnPageBeforeNavigate2>(kPage, DISPID_BEFORENAVIGATE2),
            OnControlEvent<&HostWnd::OnPageNewWindow2>(kPage, DISPID_NEWWINDOW2),
            OnControlEvent<&HostWnd::OnPageNavigateError>(kPage, DISPID_NAVIGATEERROR),
            OnControlEvent<&HostWnd::OnPopupBeforeNavigate2>(kPopup, DISPID_BEFORENAVIGATE2),
            EndOfEventSinkMap(),
        };
        return map;
    }

    void OnPageBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags, VARIANT*, VARIANT*,
                               VARIANT*, BOOL* Cancel)
    {
        pageNavigations.push_back({VariantString(URL), pDisp != nullptr, *Cancel, V_VT(Flags)});
        *Cancel = cancelPage;
    }
    void OnPageNewWindow2(IDispatch** ppDisp, BOOL* Cancel)
    {
        OnNewWindow2(m_browserPopup, ppDisp, Cancel);
    }
    void OnPageNavigateError(IDispatch*, VARIANT* URL, VARIANT*, VARIANT* StatusCode, BOOL*)
    {
        UniqueVariant code;
        ::VariantChangeType(code.put(), StatusCode, 0, VT_I4);
        errors.emplace_back(VariantString(URL), V_I4(code.get()));
    }
    void OnPopupBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags,
                                VARIANT* TargetFrameName, VARIANT* PostData, VARIANT* Headers,
                                BOOL* Cancel)
    {
        popupNavigations.push_back(VariantString(URL));
        ::OnPopupBeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel);
    }

    // Navigates the page browser as the launcher's windows do: a string
    // VARIANT and empty ones.
    void Navigate(const std::wstring& url)
    {
        UniqueVariant address(url.c_str());
        UniqueVariant empty;
        m_browser.Navigate2(address.get(), empty.get(), empty.get(), empty.get(), empty.get());
    }
};

// The document-host handler a control finds on its client site.
ComPtr<IDocHostUIHandler> HandlerOf(const CWnd& control)
{
    ComPtr<IDocHostUIHandler> handler;
    ComPtr<IUnknown> unknown(control.GetControlUnknown());
    ComPtr<IOleObject> object;
    ComPtr<IOleClientSite> site;
    if (SUCCEEDED(unknown.query(IID_IOleObject, object)) &&
        SUCCEEDED(object->GetClientSite(site.put())) && site)
        site.query(IID_IDocHostUIHandler, handler);
    return handler;
}

ComPtr<IWebBrowser2> WebBrowserOf(const CWnd& control)
{
    ComPtr<IWebBrowser2> browser;
    ComPtr<IUnknown>(control.GetControlUnknown()).query(IID_IWebBrowser2, browser);
    return browser;
}

bool SameObject(IUnknown* a, IUnknown* b)
{
    ComPtr<IUnknown> ua, ub;
    return a && b && SUCCEEDED(ComPtr<IUnknown>(a).query(IID_IUnknown, ua)) &&
           SUCCEEDED(ComPtr<IUnknown>(b).query(IID_IUnknown, ub)) && ua.get() == ub.get();
}

class BrowserHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.m_pImpIDispatch = &script;
        AfxEnableControlContainer(&LauncherManager());
    }

    CTesselApp app;
    CImpIDispatch script;
};

TEST_F(BrowserHost, RuntimeBrowserGetsTheCustomSiteAndItsHandler)
{
    AfxEnableControlContainer(&RecordingManager());
    RecordingSite::s_asked.clear();
    {
        HostWnd host;
        ASSERT_TRUE(host.Create(false));
        ASSERT_NE(host.m_browser.m_pCtrlSite, nullptr);
        EXPECT_EQ(RecordingSite::s_alive, 1);
        EXPECT_TRUE(RecordingSite::Asked(IID_IDocHostUIHandler))
            << "the control asks its site for the handler when it is sited";
        EXPECT_TRUE(RecordingSite::Asked(IID_IOleInPlaceSite));

        const ComPtr<IDocHostUIHandler> handler = HandlerOf(host.m_browser);
        ASSERT_TRUE(handler);
        DOCHOSTUIINFO info{};
        info.cbSize = sizeof info;
        info.pchHostCss = reinterpret_cast<OLECHAR*>(0x1234); // left as it came
        info.dwFlags = 0xFFFF0000;
        info.dwDoubleClick = 7;
        EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
        EXPECT_EQ(info.dwFlags,
                  static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO |
                                     DOCHOSTUIFLAG_DPI_AWARE))
            << "no border or scroll bars; pages scale with the screen's DPI";
        EXPECT_EQ(info.dwDoubleClick, 0u);
        EXPECT_EQ(info.cbSize, sizeof info);
        EXPECT_EQ(info.pchHostCss, reinterpret_cast<OLECHAR*>(0x1234));

        POINT at{5, 5};
        EXPECT_EQ(handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr), S_OK);
        MSG key{host.m_browser.m_hWnd, WM_KEYDOWN, VK_TAB, 0, 0, {}};
        EXPECT_EQ(handler->TranslateAccelerator(&key, nullptr, 0), S_FALSE);
        EXPECT_EQ(handler->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(handler->HideUI(), S_OK);
        EXPECT_EQ(handler->UpdateUI(), S_OK);
        EXPECT_EQ(handler->EnableModeless(TRUE), E_NOTIMPL);
        EXPECT_EQ(handler->OnDocWindowActivate(TRUE), E_NOTIMPL);
        EXPECT_EQ(handler->OnFrameWindowActivate(TRUE), E_NOTIMPL);
        EXPECT_EQ(handler->ResizeBorder(nullptr, nullptr, TRUE), E_NOTIMPL);
        LPOLESTR key2 = reinterpret_cast<LPOLESTR>(1);
        EXPECT_EQ(handler->GetOptionKeyPath(&key2, 0), E_NOTIMPL);
        EXPECT_EQ(key2, nullptr);
        IDropTarget* drop = reinterpret_cast<IDropTarget*>(1);
        EXPECT_EQ(handler->GetDropTarget(nullptr, &drop), E_NOTIMPL);
        EXPECT_EQ(drop, nullptr);
        wchar_t in[] = L"http://x/";
        LPWSTR out = reinterpret_cast<LPWSTR>(1);
        EXPECT_EQ(handler->TranslateUrl(0, in, &out), E_NOTIMPL);
        EXPECT_EQ(out, nullptr);
        IDataObject* filtered = reinterpret_cast<IDataObject*>(1);
        EXPECT_EQ(handler->FilterDataObject(nullptr, &filtered), E_NOTIMPL);
        EXPECT_EQ(filtered, nullptr);

        // The handler shares the site's identity.
        ComPtr<IOleClientSite> site;
        ASSERT_EQ(handler.query(IID_IOleClientSite, site), S_OK);
        EXPECT_EQ(static_cast<COleControlSite*>(site.get()), host.m_browser.m_pCtrlSite);
    }
    EXPECT_EQ(RecordingSite::s_alive, 0) << "the site goes with its control";
}

TEST_F(BrowserHost, GetExternalHandsOutTheApplicationsScriptObjectWithAReference)
{
    HostWnd host;
    ASSERT_TRUE(host.Create());
    const ComPtr<IDocHostUIHandler> page = HandlerOf(host.m_browser);
    const ComPtr<IDocHostUIHandler> popup = HandlerOf(host.m_browserPopup);
    ASSERT_TRUE(page && popup);
    EXPECT_NE(page.get(), popup.get()) << "one site per control";

    IDispatch* first = nullptr;
    IDispatch* second = nullptr;
    ASSERT_EQ(page->GetExternal(&first), S_OK);
    ASSERT_EQ(popup->GetExternal(&second), S_OK);
    EXPECT_EQ(first, static_cast<IDispatch*>(&script));
    EXPECT_EQ(second, static_cast<IDispatch*>(&script));
    // Two references were handed out; giving them back ends at zero.
    EXPECT_EQ(script.Release(), 1u);
    EXPECT_EQ(script.Release(), 0u);

    app.m_pImpIDispatch = nullptr;
    IDispatch* none = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(page->GetExternal(&none), E_NOTIMPL) << "no script object, no window.external";
    EXPECT_EQ(none, nullptr);
}

// Internet Explorer asks its host's service provider for IHttpSecurity when
// a page's certificate fails or a redirect leaves https, and the site
// refuses every such problem. Wine's browser never asks the host: it shows
// its own dialog (see the update's end-to-end tests).
TEST_F(BrowserHost, TheSiteRefusesEverySecurityProblemItIsAskedAbout)
{
    HostWnd host;
    ASSERT_TRUE(host.Create());
    const ComPtr<IDocHostUIHandler> handler = HandlerOf(host.m_browser);
    ASSERT_TRUE(handler);
    ComPtr<IServiceProvider> services;
    ASSERT_EQ(handler.query(IID_IServiceProvider, services), S_OK);
    ComPtr<IHttpSecurity> security;
    ASSERT_EQ(services->QueryService(IID_IHttpSecurity, IID_IHttpSecurity,
                                     reinterpret_cast<void**>(security.put())),
              S_OK);
    for (const DWORD problem :
         {ERROR_INTERNET_SEC_CERT_CN_INVALID, ERROR_INTERNET_SEC_CERT_DATE_INVALID,
          ERROR_INTERNET_INVALID_CA, ERROR_INTERNET_SEC_CERT_REV_FAILED,
          ERROR_INTERNET_SEC_INVALID_CERT, ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR})
        EXPECT_EQ(security->OnSecurityProblem(problem), E_ABORT) << problem;
    HWND owner = reinterpret_cast<HWND>(1);
    EXPECT_EQ(security->GetWindow(IID_IHttpSecurity, &owner), S_FALSE);
    EXPECT_EQ(owner, nullptr) << "no question to the player has a window of the launcher's";
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(services->QueryService(IID_IWindowForBindingUI, IID_IWindowForBindingUI, &other),
              E_NOINTERFACE);
    EXPECT_EQ(other, nullptr) << "every other service stays the browser's own";
}

TEST_F(BrowserHost, RuntimeBrowserIsAChildWithItsIdStyleAndPlace)
{
    HostWnd host;
    ASSERT_TRUE(host.Create());
    const HWND page = host.m_browser.m_hWnd;
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(::GetParent(page), host.m_hWnd);
    EXPECT_EQ(host.GetDlgItem(HostWnd::kPage), page);
    EXPECT_EQ(host.GetDlgItem(HostWnd::kPopup), host.m_browserPopup.m_hWnd);
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(page, GWL_STYLE));
    EXPECT_EQ(style & kBrowserStyle, kBrowserStyle);
    EXPECT_TRUE(::IsWindowVisible(page));
    RECT client{};
    host.GetClientRect(&client);
    RECT placed{};
    ::GetWindowRect(page, &placed);
    ::MapWindowPoints(nullptr, host.m_hWnd, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(::EqualRect(&placed, &client));

    ::GetWindowRect(host.m_browserPopup.m_hWnd, &placed);
    EXPECT_EQ(placed.right - placed.left, 0) << "the popup browser is never seen";

    // Moving the wrapper moves the control.
    ASSERT_TRUE(host.m_browser.SetWindowPos(nullptr, 10, 20, 300, 200, SWP_NOZORDER));
    ::GetWindowRect(page, &placed);
    ::MapWindowPoints(nullptr, host.m_hWnd, reinterpret_cast<POINT*>(&placed), 2);
    const RECT moved{10, 20, 310, 220};
    EXPECT_TRUE(::EqualRect(&placed, &moved));
}

TEST_F(BrowserHost, Navigate2ReachesTheServerAndBeforeNavigate2TheHandler)
{
    qmtest::RecordingHttpServer server;
    ASSERT_TRUE(server.Running());
    HostWnd host;
    ASSERT_TRUE(host.Create());
    const std::wstring url = server.Url(L"/client?x=1");

    host.Navigate(url);

    ASSERT_TRUE(qmtest::PumpUntil([&] { return server.Saw("GET /client?x=1 HTTP/1.1"); }, kWaitMs))
        << "requests seen: " << server.Requests().size();
    ASSERT_EQ(host.pageNavigations.size(), 1u);
    EXPECT_EQ(host.pageNavigations[0].url, url);
    EXPECT_TRUE(host.pageNavigations[0].hadFrame);
    EXPECT_FALSE(host.pageNavigations[0].cancelIn);
    EXPECT_TRUE(host.popupNavigations.empty());

    // Without an HTML engine Wine ends the navigation with an error.
    ASSERT_TRUE(qmtest::PumpUntil([&] { return !host.errors.empty(); }, kWaitMs));
    EXPECT_EQ(host.errors[0].first, url);
    EXPECT_EQ(static_cast<DWORD>(host.errors[0].second), 0x800C0010u);
}

TEST_F(BrowserHost, CancelInBeforeNavigate2PreventsTheRequest)
{
    qmtest::RecordingHttpServer server;
    ASSERT_TRUE(server.Running());
    HostWnd host;
    ASSERT_TRUE(host.Create());

    host.cancelPage = TRUE;
    host.Navigate(server.Url(L"/blocked"));
    ASSERT_EQ(host.pageNavigations.size(), 1u) << "BeforeNavigate2 comes within Navigate2";

    // A later navigation that is let through shows the earlier one never went.
    host.cancelPage = FALSE;
    host.Navigate(server.Url(L"/after"));
    ASSERT_TRUE(qmtest::PumpUntil([&] { return server.Saw("GET /after HTTP/1.1"); }, kWaitMs));
    EXPECT_FALSE(server.Saw("GET /blocked HTTP/1.1"));
    EXPECT_EQ(host.pageNavigations.size(), 2u);
}

TEST_F(BrowserHost, PopupBrowserCancelsAndOpensTheAddressInTheDefaultBrowser)
{
    qmtest::BrowserLog browserLog;
    ASSERT_TRUE(browserLog.Known()) << "QM_BROWSER_LOG names the browser stub's log";
    qmtest::RecordingHttpServer server;
    ASSERT_TRUE(server.Running());
    HostWnd host;
    ASSERT_TRUE(host.Create());
    const std::wstring url = server.Url(L"/popup?page=2");

    // What the control does after NewWindow2 handed it the popup browser.
    UniqueVariant address(url.c_str());
    host.m_browserPopup.Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);

    ASSERT_EQ(host.popupNavigations.size(), 1u);
    EXPECT_EQ(host.popupNavigations[0], url);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return browserLog.Has(Narrow(url)); }, kWaitMs))
        << "the default browser was not given the address";
    host.Navigate(server.Url(L"/after"));
    ASSERT_TRUE(qmtest::PumpUntil([&] { return server.Saw("GET /after HTTP/1.1"); }, kWaitMs));
    EXPECT_FALSE(server.Saw("GET /popup?page=2 HTTP/1.1")) << "the popup browser never loads";
    EXPECT_EQ(host.m_browserPopup.GetLocationURL(), L"");
}

TEST_F(BrowserHost, PopupHandlerOpensOnlyWebAddresses)
{
    qmtest::BrowserLog browserLog;
    ASSERT_TRUE(browserLog.Known()) << "QM_BROWSER_LOG names the browser stub's log";
    const wchar_t* const refused[] = {L"file:///etc/passwd", L"C:\\windows\\notepad.exe",
                                      L"javascript:alert(1)", L"about:blank", L""};
    for (const wchar_t* text : refused) {
        UniqueVariant url(text);
        BOOL cancel = FALSE;
        OnPopupBeforeNavigate2(nullptr, url.get(), nullptr, nullptr, nullptr, nullptr, &cancel);
        EXPECT_TRUE(cancel) << Narrow(text);
    }
    BOOL cancel = FALSE;
    OnPopupBeforeNavigate2(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &cancel);
    EXPECT_TRUE(cancel) << "no address at all";

    const std::string marker =
        "https://example.invalid/marker?" + std::to_string(::GetTickCount64());
    UniqueVariant markerUrl(std::wstring(marker.begin(), marker.end()).c_str());
    OnPopupBeforeNavigate2(nullptr, markerUrl.get(), nullptr, nullptr, nullptr, nullptr, &cancel);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return browserLog.Has(marker); }, kWaitMs));
    EXPECT_EQ(browserLog.Lines(), std::vector<std::string>{marker})
        << "only the web address was opened";
}

TEST_F(BrowserHost, NewWindow2HandsOutThePopupBrowsersApplication)
{
    HostWnd host;
    ASSERT_TRUE(host.Create());
    qmtest::NewWindow2Args event;
    ASSERT_EQ(AfxRouteControlEvent(&host, HostWnd::kPage, DISPID_NEWWINDOW2, &event.params), S_OK);
    EXPECT_EQ(event.cancel, VARIANT_FALSE);
    ASSERT_NE(event.disp, nullptr);
    EXPECT_TRUE(SameObject(event.disp, host.m_browserPopup.GetControlUnknown()))
        << "the WebBrowser's Application is the popup browser itself";
    event.disp->Release(); // the control's reference, given back as the control would
}

TEST_F(BrowserHost, NewWindow2WithoutPopupWindowLeavesBothParametersAlone)
{
    HostWnd host;
    ASSERT_TRUE(host.Create(false));
    qmtest::NewWindow2Args event;
    ASSERT_EQ(AfxRouteControlEvent(&host, HostWnd::kPage, DISPID_NEWWINDOW2, &event.params), S_OK);
    EXPECT_EQ(event.cancel, VARIANT_TRUE);
    EXPECT_EQ(event.disp, nullptr);
}

TEST_F(BrowserHost, BrowserOperationsBehaveAsWineAllows)
{
    qmtest::RecordingHttpServer server;
    ASSERT_TRUE(server.Running());
    HostWnd host;
    ASSERT_TRUE(host.Create());
    CWebBrowser2& browser = host.m_browser;
    const ComPtr<IWebBrowser2> direct = WebBrowserOf(browser);
    ASSERT_TRUE(direct);

    EXPECT_EQ(browser.GetLocationURL(), L"") << "no page yet";
    browser.SetSilent(TRUE);
    browser.SetRegisterAsBrowser(TRUE);
    VARIANT_BOOL value = VARIANT_FALSE;
    ASSERT_EQ(direct->get_Silent(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);
    value = VARIANT_FALSE;
    ASSERT_EQ(direct->get_RegisterAsBrowser(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);

    IDispatch* application = browser.GetApplication();
    ASSERT_NE(application, nullptr);
    EXPECT_TRUE(SameObject(application, direct.get()));
    application->Release();

    const std::wstring url = server.Url(L"/game");
    host.Navigate(url);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return !host.errors.empty(); }, kWaitMs));
    EXPECT_EQ(browser.GetLocationURL(), url) << "Wine keeps the address of the failed page";

    // Wine keeps no document and no history without an HTML engine: both
    // calls reach the control's members (not DISP_E_MEMBERNOTFOUND) and it
    // answers E_FAIL, which the caller gets as the dispatch exception.
    for (auto operation : {&CWebBrowser2::Refresh, &CWebBrowser2::GoBack}) {
        try {
            (browser.*operation)();
            ADD_FAILURE() << "Wine has no page to refresh or go back from";
        } catch (const COleDispatchException& e) {
            EXPECT_EQ(e.m_scError, E_FAIL);
        }
    }
    EXPECT_EQ(browser.GetLocationURL(), url) << "the browser stays usable";
}

TEST_F(BrowserHost, FailedAutomationCallsRaiseTheDispatchException)
{
    HostWnd host;
    ASSERT_TRUE(host.Create(false));
    try {
        host.m_browser.InvokeHelper(0x7777, DISPATCH_METHOD, VT_EMPTY, nullptr);
        FAIL() << "an unknown DISPID must fail";
    } catch (const COleDispatchException& e) {
        EXPECT_EQ(e.m_scError, DISP_E_MEMBERNOTFOUND);
        std::wstring text;
        EXPECT_TRUE(e.GetErrorMessage(text));
        EXPECT_FALSE(text.empty());
    }
    CWebBrowser2 notCreated;
    EXPECT_THROW(notCreated.GetLocationURL(), COleDispatchException);
    EXPECT_THROW(notCreated.GetApplication(), COleDispatchException);
}

TEST_F(BrowserHost, EventsWithOtherArgumentTypesOrControlsReachNoHandler)
{
    HostWnd host;
    ASSERT_TRUE(host.Create());
    // BeforeNavigate2 with Cancel by value instead of by reference.
    VARIANTARG args[7];
    for (auto& arg : args)
        ::VariantInit(&arg);
    V_VT(&args[0]) = VT_BOOL;
    DISPPARAMS params{args, nullptr, 7, 0};
    EXPECT_EQ(AfxRouteControlEvent(&host, HostWnd::kPage, DISPID_BEFORENAVIGATE2, &params),
              DISP_E_TYPEMISMATCH);
    params.cArgs = 3;
    EXPECT_EQ(AfxRouteControlEvent(&host, HostWnd::kPage, DISPID_BEFORENAVIGATE2, &params),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(AfxRouteControlEvent(&host, 555, DISPID_BEFORENAVIGATE2, &params), S_OK);
    EXPECT_TRUE(host.pageNavigations.empty());
}

TEST_F(BrowserHost, DestroyingTheHostClosesItsControls)
{
    AfxEnableControlContainer(&RecordingManager());
    auto* host = new HostWnd;
    ASSERT_TRUE(host->Create());
    EXPECT_EQ(RecordingSite::s_alive, 2);
    const HWND page = host->m_browser.m_hWnd;
    ASSERT_EQ(host->GetControlContainer()->GetSiteCount(), 2u);

    host->DestroyWindow();
    EXPECT_EQ(RecordingSite::s_alive, 0) << "closed while the host window went";
    EXPECT_FALSE(::IsWindow(page));
    EXPECT_EQ(host->m_browser.m_hWnd, nullptr);
    EXPECT_EQ(host->m_browser.m_pCtrlSite, nullptr);
    delete host;
}

TEST_F(BrowserHost, DestroyingAWrapperClosesItsControlAndLeavesTheOthers)
{
    AfxEnableControlContainer(&RecordingManager());
    HostWnd host;
    ASSERT_TRUE(host.Create(false));
    {
        CWebBrowser2 extra;
        const RECT small{0, 0, 50, 50};
        ASSERT_TRUE(extra.Create(nullptr, kBrowserStyle, small, &host, 300));
        EXPECT_EQ(RecordingSite::s_alive, 2);
    }
    EXPECT_EQ(RecordingSite::s_alive, 1);
    EXPECT_EQ(host.GetDlgItem(300), nullptr);
    EXPECT_EQ(host.GetControlContainer()->GetSiteCount(), 1u);
    EXPECT_NO_THROW(host.m_browser.SetSilent(TRUE));
}

TEST(OccManager, LauncherManagerGivesControlsTheCustomSite)
{
    COleControlContainer container(nullptr);
    ComPtr<COleControlSite> site;
    site.attach(LauncherManager().CreateSite(&container));
    ASSERT_TRUE(site);
    EXPECT_NE(dynamic_cast<CCustomControlSite*>(site.get()), nullptr);
    ComPtr<IDocHostUIHandler> handler;
    EXPECT_EQ(ComPtr<IUnknown>(site->GetControllingUnknown()).query(IID_IDocHostUIHandler, handler),
              S_OK);

    COccManager plain;
    ComPtr<COleControlSite> plainSite;
    plainSite.attach(plain.CreateSite(&container));
    ASSERT_TRUE(plainSite);
    EXPECT_EQ(
        ComPtr<IUnknown>(plainSite->GetControllingUnknown()).query(IID_IDocHostUIHandler, handler),
        E_NOINTERFACE)
        << "only the launcher's site adds the handler";
}

// The login layer's template: the page browser 1000 is created by the
// framework and bound by data exchange.
class LayerDialog : public CDialog {
public:
    CWebBrowser2 m_browser;
    HWND boundAtInit = nullptr;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        boundAtInit = m_browser.m_hWnd;
        return TRUE;
    }

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, 1000, m_browser); }
};

TEST_F(BrowserHost, TemplateBrowserIsCreatedAtItsPlaceAndBoundByDataExchange)
{
    AfxEnableControlContainer(&RecordingManager());
    RecordingSite::s_asked.clear();
    LayerDialog layer;
    ASSERT_TRUE(layer.Create(IDD_LAYER));
    ASSERT_NE(layer.boundAtInit, nullptr) << "the control existed before OnInitDialog's exchange";
    EXPECT_EQ(layer.m_browser.m_hWnd, layer.GetDlgItem(1000));
    ASSERT_NE(layer.m_browser.m_pCtrlSite, nullptr) << "the wrapper found its site";
    EXPECT_TRUE(RecordingSite::Asked(IID_IDocHostUIHandler));

    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(layer.m_browser.m_hWnd, GWL_STYLE));
    EXPECT_EQ(style & 0x50010000u, 0x50010000u);
    RECT expected{30, 26, 30 + 186, 26 + 124};
    ::MapDialogRect(layer.m_hWnd, &expected);
    RECT placed{};
    ::GetWindowRect(layer.m_browser.m_hWnd, &placed);
    ::MapWindowPoints(nullptr, layer.m_hWnd, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(::EqualRect(&placed, &expected))
        << placed.left << "," << placed.top << " " << placed.right << "," << placed.bottom;

    ComPtr<IDocHostUIHandler> handler = HandlerOf(layer.m_browser);
    ASSERT_TRUE(handler);
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO |
                                               DOCHOSTUIFLAG_DPI_AWARE));
    EXPECT_EQ(info.dwDoubleClick, 0u);
    EXPECT_EQ(handler->ShowContextMenu(0, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(handler->TranslateAccelerator(nullptr, nullptr, 0), S_FALSE);
    IDispatch* external = nullptr;
    ASSERT_EQ(handler->GetExternal(&external), S_OK);
    EXPECT_EQ(external, static_cast<IDispatch*>(&script)) << "the same object as every page";
    external->Release();
    handler.reset();

    // The bound browser is fully usable.
    EXPECT_NO_THROW(layer.m_browser.SetRegisterAsBrowser(TRUE));
    EXPECT_EQ(layer.m_browser.GetLocationURL(), L"");
    layer.DestroyWindow();
    EXPECT_EQ(RecordingSite::s_alive, 0);
}

// A manager that cannot make sites: no control can be created.
class BrokenOccManager final : public COccManager {
public:
    COleControlSite* CreateSite(COleControlContainer*) override { return nullptr; }
};

class CountingLayer : public LayerDialog {
public:
    int initCalls = 0;
    int ncDestroyCalls = 0;
    BOOL OnInitDialog() override
    {
        ++initCalls;
        return LayerDialog::OnInitDialog();
    }

protected:
    void PostNcDestroy() override { ++ncDestroyCalls; }
};

TEST_F(BrowserHost, TemplateWhoseControlCannotBeMadeIsNotCreated)
{
    static BrokenOccManager broken;
    AfxEnableControlContainer(&broken);
    CountingLayer layer;
    EXPECT_FALSE(layer.Create(IDD_LAYER)) << "as the dialog manager fails a missing control";
    EXPECT_EQ(layer.m_hWnd, nullptr);
    EXPECT_EQ(layer.initCalls, 0);
    EXPECT_EQ(layer.ncDestroyCalls, 1);
}

TEST_F(BrowserHost, TemplateBrowserReportsItsNavigationsToo)
{
    qmtest::RecordingHttpServer server;
    ASSERT_TRUE(server.Running());
    LayerDialog layer;
    ASSERT_TRUE(layer.Create(IDD_LAYER));
    UniqueVariant url(server.Url(L"/client").c_str());
    layer.m_browser.Navigate2(url.get(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(qmtest::PumpUntil([&] { return server.Saw("GET /client HTTP/1.1"); }, kWaitMs));
}

TEST(OccDialogTemplate, LayerTemplateDeclaresTheBrowserAndLosesItInTheCopy)
{
    COccDialogTemplate split;
    ASSERT_TRUE(AfxLoadOccDialogTemplate(IDD_LAYER, split));
    ASSERT_EQ(split.GetControlItems().size(), 1u);
    const auto& item = split.GetControlItems()[0];
    EXPECT_EQ(item.clsid, CLSID_WebBrowser);
    EXPECT_EQ(item.id, 1000u);
    EXPECT_EQ(item.style, 0x50010000u);
    const RECT units{30, 26, 216, 150};
    EXPECT_TRUE(::EqualRect(&item.units, &units));
    EXPECT_EQ(item.index, 0u);
    ASSERT_NE(split.GetTemplate(), nullptr);
    WORD count = 99;
    std::memcpy(&count, reinterpret_cast<const BYTE*>(split.GetTemplate()) + 16, sizeof count);
    EXPECT_EQ(count, 0) << "the dialog manager gets no control items";

    COccDialogTemplate none;
    EXPECT_FALSE(AfxLoadOccDialogTemplate(IDD_MSGBOX, none)) << "no ActiveX control there";
}

// Builds a DLGTEMPLATEEX: a button, a browser control, a static, in order.
std::vector<BYTE> MixedTemplate()
{
    std::vector<BYTE> t;
    auto put = [&t](const void* p, size_t n) {
        t.insert(t.end(), static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + n);
    };
    auto word = [&put](WORD w) { put(&w, 2); };
    auto dword = [&put](DWORD d) { put(&d, 4); };
    auto text = [&put](const wchar_t* s) { put(s, (std::wcslen(s) + 1) * 2); };
    auto align = [&t] { t.resize((t.size() + 3) & ~size_t{3}, 0); };
    word(1);
    word(0xFFFF);
    dword(0);
    dword(0);
    dword(WS_POPUP | DS_SETFONT);
    word(3);
    for (short v : {0, 0, 200, 100})
        put(&v, 2);
    word(0);        // menu
    word(0);        // class
    text(L"mixed"); // title
    word(8);        // point size
    word(400);      // weight
    word(0);        // italic, charset
    text(L"MS Shell Dlg");
    auto item = [&](DWORD style, short x, DWORD id, const wchar_t* cls, WORD ordinal) {
        align();
        dword(0);
        dword(0);
        dword(style);
        for (short v : {x, short(5), short(40), short(12)})
            put(&v, 2);
        dword(id);
        if (cls) {
            text(cls);
        } else {
            word(0xFFFF);
            word(ordinal);
        }
        text(L"");
        word(0);
    };
    item(WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 5, 1, nullptr, 0x0080);
    item(WS_CHILD | WS_TABSTOP, 50, 2, L"{8856F961-340A-11D0-A96B-00C04FD705A2}", 0);
    item(WS_CHILD | WS_VISIBLE, 95, 3, nullptr, 0x0082);
    return t;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(OccDialogTemplate, MixedTemplateKeepsTheOtherItemsForTheDialogManager)
{
    const std::vector<BYTE> source = MixedTemplate();
    COccDialogTemplate split;
    ASSERT_TRUE(split.Split(source.data(), source.size()));
    ASSERT_EQ(split.GetControlItems().size(), 1u);
    EXPECT_EQ(split.GetControlItems()[0].id, 2u);
    EXPECT_EQ(split.GetControlItems()[0].index, 1u);
    EXPECT_EQ(split.GetControlItems()[0].style, DWORD(WS_CHILD | WS_TABSTOP));

    // The copy is a valid template with the button and the static.
    HWND dialog = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), split.GetTemplate(),
                                               nullptr, PlainDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(::GetDlgItem(dialog, 1), nullptr);
    EXPECT_EQ(::GetDlgItem(dialog, 2), nullptr);
    EXPECT_NE(::GetDlgItem(dialog, 3), nullptr);
    wchar_t cls[32] = {};
    ::GetClassNameW(::GetDlgItem(dialog, 3), cls, 32);
    EXPECT_STREQ(cls, L"Static");
    ::DestroyWindow(dialog);

    // Cut short anywhere, it is refused rather than read past its end.
    for (size_t size = 0; size < source.size(); size += 3)
        EXPECT_FALSE(COccDialogTemplate().Split(source.data(), size)) << size;
}

} // namespace
