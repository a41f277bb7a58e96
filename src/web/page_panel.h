// The panel that stands in for a browser's page when the page cannot be
// reached: drawn in the skin in the browser's place, it says why in one
// line, counts down to the next try in a second one, and has a Retry
// button. The browser is hidden meanwhile; its own error page is cancelled.
//
// The host hands it its browser's events. A failure of the top-level page
// that belongs to the network shows the panel; a frame's failure, and a
// status that is not about the network (Wine's 0x800C0010 for every page it
// cannot render), do not. Tries come by themselves with capped exponential
// back-off (see web/retry_backoff.h), or at once from Retry; a page that
// comes hides the panel and starts the back-off afresh.
#pragma once

#include "framework/image.h"
#include "framework/wnd.h"
#include "skin/gt_button.h"
#include "web/page_failure.h"
#include "web/page_panel_layout.h"
#include "web/retry_backoff.h"

#include <oaidl.h>

#include <cstdint>
#include <string>

class CWebBrowser2;

class CPagePanel : public CWnd {
public:
    // The window class, which the end-to-end tests look for.
    static constexpr wchar_t kClassName[] = L"QmPagePanel";

    CPagePanel() noexcept = default;
    ~CPagePanel() override = default;

    // Creates the panel hidden, as a sibling of `browser` above it.
    bool Create(CWebBrowser2& browser, UINT id);
    // What a try loads: the login page, or the game's entry address.
    void SetRetryAddress(const std::wstring& address) { m_strRetryAddress = address; }
    // Takes the browser's place again after the host moved it.
    void FollowBrowser() noexcept;
    bool IsShown() const noexcept { return m_hWnd && IsWindowVisible(); }
    // The two lines as the player reads them.
    const std::wstring& CauseText() const noexcept { return m_strCause; }
    const std::wstring& CountdownText() const noexcept { return m_strCountdown; }

    // The browser's events (DWebBrowserEvents2), for any of its frames.
    void OnBeforeNavigate(IDispatch* frame) noexcept;
    void OnNavigateError(IDispatch* frame, VARIANT* status, BOOL* cancel);
    void OnNavigateComplete(IDispatch* frame) noexcept;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    bool IsTopLevel(IDispatch* frame) const noexcept;
    void ShowFailure(PageFailure failure, std::uint32_t status);
    void PageArrived() noexcept;
    void ScheduleTry();
    void TryNow();
    void OnTick();
    void SetCountdown(const std::wstring& text);
    void LayOut(int width, int height) noexcept;
    void OnPaint();
    void DrawFrame(HDC dc, const RECT& r) const noexcept;

    CWebBrowser2* m_pBrowser = nullptr;
    DpiScale m_scale; // the screen's, taken when the panel is made
    GTButton m_btnRetry;
    CImage m_imgFrame; // nine-grid: corners and edges kept, the rest stretched
    UniqueGdiObject<HFONT> m_fontCause;
    UniqueGdiObject<HFONT> m_fontCountdown;
    PagePanelLayout m_layout{};
    RetryBackoff m_backoff;
    std::wstring m_strRetryAddress;
    std::wstring m_strCause;
    std::wstring m_strCountdown;
    ULONGLONG m_nDeadline = 0; // GetTickCount64 of the next automatic try; 0 for none
    int m_nShownSeconds = -1;
    bool m_bNavigationFailed = false; // since the top-level page's last BeforeNavigate2
};
