// TEMPORARY probe (not committed): which events and codes Wine's WebBrowser gives.
#include "app/tessel_app.h"
#include "framework/dispatch.h"
#include "framework/handles.h"
#include "framework/event_map.h"
#include "framework/occ.h"
#include "framework/variant.h"
#include "support/test_support.h"
#include "web/custom_occ_manager.h"
#include "web/imp_idispatch.h"
#include "web/web_browser2.h"
#include <gtest/gtest.h>
#include <exdisp.h>
#include <exdispid.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {
CCustomOccManager& Mgr() { static CCustomOccManager m; return m; }
bool Same(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> ua, ub;
    return a && b && SUCCEEDED(ComPtr<IUnknown>(a).query(IID_IUnknown, ua)) &&
           SUCCEEDED(ComPtr<IUnknown>(b).query(IID_IUnknown, ub)) && ua.get() == ub.get();
}
class Host : public CWnd {
public:
    CWebBrowser2 b;
    int done = 0;
    bool Make() {
        WNDCLASSW wc{}; wc.lpfnWndProc = ::DefWindowProcW; wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QmProbe"; AfxRegisterClass(&wc);
        const RECT f{0, 0, 800, 600};
        if (!CreateEx(0, wc.lpszClassName, L"p", WS_OVERLAPPEDWINDOW | WS_VISIBLE, f, nullptr, 0)) return false;
        RECT c{}; GetClientRect(&c);
        return b.Create(nullptr, WS_CHILD | WS_VISIBLE, c, this, 100);
    }
    const EventSinkEntry* GetEventSinkMap() const override {
        static const EventSinkEntry map[] = {
            OnControlEvent<&Host::OnBN>(100, DISPID_BEFORENAVIGATE2),
            OnControlEvent<&Host::OnNE>(100, DISPID_NAVIGATEERROR),
            OnControlEvent<&Host::OnNC>(100, DISPID_NAVIGATECOMPLETE2),
            OnControlEvent<&Host::OnDC>(100, DISPID_DOCUMENTCOMPLETE),
            EndOfEventSinkMap()};
        return map;
    }
    void OnBN(IDispatch* d, VARIANT* URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*, BOOL*) {
        printf("  BeforeNavigate2 top=%d %ls\n", Same(d, b.GetControlUnknown()), VariantString(URL).c_str());
    }
    void OnNE(IDispatch* d, VARIANT* URL, VARIANT* frame, VARIANT* st, BOOL* cancel) {
        UniqueVariant code; ::VariantChangeType(code.put(), st, 0, VT_I4);
        printf("  NavigateError top=%d vt=%d code=0x%08lX (%ld) frame_vt=%d cancel_in=%d %ls\n", Same(d, b.GetControlUnknown()), V_VT(st),
               (unsigned long)V_I4(code.get()), (long)V_I4(code.get()), V_VT(frame), *cancel, VariantString(URL).c_str());
        *cancel = TRUE; ++done;
    }
    void OnNC(IDispatch* d, VARIANT* URL) { printf("  NavigateComplete2 top=%d %ls\n", Same(d, b.GetControlUnknown()), VariantString(URL).c_str()); ++done; }
    void OnDC(IDispatch* d, VARIANT* URL) { printf("  DocumentComplete top=%d %ls\n", Same(d, b.GetControlUnknown()), VariantString(URL).c_str()); ++done; }
};
TEST(Probe, Codes) {
    CTesselApp app; CImpIDispatch script; app.m_pImpIDispatch = &script;
    AfxEnableControlContainer(&Mgr());
    Host h; ASSERT_TRUE(h.Make());
    const wchar_t* urls[] = {L"http://127.0.0.1:28801/client", L"http://127.0.0.1:28802/client", L"http://127.0.0.1:28803/client",
        L"http://127.0.0.1:28804/client", L"http://127.0.0.1:28805/client", L"http://127.0.0.1:28806/client",
        L"http://qm-probe.invalid/client", L"https://127.0.0.1:28806/client", L"https://localhost:28807/client",
        L"http://127.0.0.1:28808/client"};
    std::vector<std::wstring> list;
    wchar_t env[2000] = {};
    if (GetEnvironmentVariableW(L"PROBE_URLS", env, 2000)) {
        std::wstring all(env); size_t at = 0;
        while (at < all.size()) { size_t bar = all.find(L'|', at); if (bar == std::wstring::npos) bar = all.size(); list.push_back(all.substr(at, bar - at)); at = bar + 1; }
    } else for (const wchar_t* u : urls) list.push_back(u);
    DWORD waitMs = 3000; if (GetEnvironmentVariableW(L"PROBE_WAIT", env, 2000)) waitMs = _wtoi(env);
    for (const std::wstring& us : list) { const wchar_t* u = us.c_str();
        printf("%ls\n", u); fflush(stdout);
        h.done = 0;
        DWORD t0 = GetTickCount();
        UniqueVariant a(u); UniqueVariant e;
        h.b.Navigate2(a.get(), e.get(), e.get(), e.get(), e.get());
        qmtest::PumpUntil([&] { return false; }, waitMs);
        printf("  (%lu ms) loc=%ls\n", GetTickCount() - t0, h.b.GetLocationURL().c_str()); fflush(stdout);
    }
    // Refresh after a served page
    printf("refresh after ok\n");
    { UniqueVariant a(L"http://127.0.0.1:28806/client"); UniqueVariant e; h.b.Navigate2(a.get(), e.get(), e.get(), e.get(), e.get()); }
    qmtest::PumpUntil([&] { return false; }, 2000);
    printf("  loc=%ls; now Refresh\n", h.b.GetLocationURL().c_str()); fflush(stdout);
    try { h.b.Refresh(); } catch (...) { printf("  refresh threw\n"); }
    qmtest::PumpUntil([&] { return false; }, 2000);
    fflush(stdout);
}
}
