// The login window's web layer: a borderless dialog of the login picture's
// size, placed exactly over the login window and owned by it. Its background
// is a colour key, so only its children show: the page browser with the
// portal's login page, a hidden popup browser that sends new windows to the
// default web browser, and six image buttons (close, minimise, four links).
//
// Game entry: when the page, or any of its frames, is about to load an
// address whose path ends in the entry marker, the navigation is cancelled
// and the address is posted as NT_ENTER_GAME. A page may also enter the game by
// calling window.external.entergame() (NT_WEB_ENTER_GAME): the layer listens
// for that from its creation until the game is entered once.
//
// When the login page cannot be reached, a panel in the skin takes the page's
// place, says why and tries again (web/page_panel.h).
#pragma once

#include "app/notification.h"
#include "framework/dialog.h"
#include "skin/dpi_scale.h"
#include "skin/gt_button.h"
#include "web/page_panel.h"
#include "web/web_browser2.h"

#include <string>

class CDlgLayer : public CDialog, public IObserver {
public:
    // Control and command ids.
    static constexpr UINT kIdPageBrowser = 1000;
    static constexpr UINT kIdPopupBrowser = 1001;
    static constexpr UINT kIdClose = 109;
    static constexpr UINT kIdMinimize = 110;
    static constexpr UINT kIdForum = 180;
    static constexpr UINT kIdPay = 182;
    static constexpr UINT kIdOfficialSite = 184;
    static constexpr UINT kIdService = 186;
    // Pixels of exactly this colour are transparent, to the eye and the mouse.
    static constexpr COLORREF kColorKey = RGB(255, 0, 255);

    CDlgLayer() noexcept;
    ~CDlgLayer() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    const EventSinkEntry* GetEventSinkMap() const override;

    // NT_WEB_ENTER_GAME. Whatever arrives ends the registration first, so
    // the layer reacts once.
    void OnNotify(INotification* notification) override;
    bool IsSame(IObserver* other) override;

    // Browser events.
    void OnPageBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags,
                               VARIANT* TargetFrameName, VARIANT* PostData, VARIANT* Headers,
                               BOOL* Cancel);
    void OnPageNewWindow2(IDispatch** ppDisp, BOOL* Cancel);
    void OnPageNavigateError(IDispatch* pDisp, VARIANT* URL, VARIANT* TargetFrameName,
                             VARIANT* StatusCode, BOOL* Cancel);
    void OnPageNavigateComplete2(IDispatch* pDisp, VARIANT* URL);
    void OnPopupBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags,
                                VARIANT* TargetFrameName, VARIANT* PostData, VARIANT* Headers,
                                BOOL* Cancel);

    // The page called entergame: the address it shows is the entry address.
    void EnterGameFromPage();

    CWebBrowser2 m_browser;      // the page browser, template control 1000
    CWebBrowser2 m_browserPopup; // receives the page's new windows, never seen
    CPagePanel m_pagePanel;      // in the page's place while it cannot be reached
    GTButton m_btnClose;
    GTButton m_btnMinimize;
    GTButton m_btnOfficialSite;
    GTButton m_btnPay;
    GTButton m_btnService;
    GTButton m_btnForum;
    std::wstring m_strEnterMarker; // empty until initialisation
    // The page loaded at initialisation. Left empty, it becomes the login
    // page on the configured game site; set before the window is made, it
    // names another login page (a local one in tests).
    std::wstring m_strLoginPage;

protected:
    void DoDataExchange(CDataExchange* dx) override;

    DpiScale m_scale; // the screen's, taken when the layer is made

private:
    BOOL OnEraseBkgnd(HDC dc);
    void OnBtnClose();
    void OnBtnMinimize();
    void OnBtnHomePage();
    void OnBtnPay();
    void OnBtnService();

    void CreateButtons(const RECT& client);
    void LoadLoginPage(const std::wstring& address);
    // Posts NT_ENTER_GAME with `url`; the game is entered, so the page's own
    // entry call is no longer listened to.
    void PostEnterGame(const std::wstring& url) noexcept;
    void ListenForPageEntry();
    void StopListeningForPageEntry() noexcept;

    bool m_bListening = false; // registered under NT_WEB_ENTER_GAME
};
