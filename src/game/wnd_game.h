// The launcher's main window and the conductor of its visible flow. Created
// hidden at start-up, it turns notifications into window actions: the update
// splash, the login window, and finally itself, maximised, with the game
// page, a tray icon and the boss key. A borderless skinned frame that
// deletes itself after its window is gone.
#pragma once

#include "app/notification.h"
#include "framework/image.h"
#include "game/dlg_msg_box.h"
#include "game/skin_flat_panel.h"
#include "game/tray_icon.h"
#include "login/tessel_dlg.h"
#include "skin/gt_button.h"
#include "update/dlg_update.h"
#include "web/page_panel.h"
#include "web/web_browser2.h"

struct EventSinkEntry;

class CWndGame : public CSkinFlatPanel, public IObserver {
public:
    CWndGame() noexcept;
    ~CWndGame() override;

    void OnNotify(INotification* notification) override;
    bool IsSame(IObserver* other) override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    const EventSinkEntry* GetEventSinkMap() const override;

    // NT_CHECK_UPDATE: the update splash, created on first use, centred,
    // brought to the top and shown.
    void ShowUpdateSplash();
    // NT_START_UP: the splash is hidden (its window stays) and the login
    // window is shown.
    void HideUpdateSplash();
    void ShowLogin();
    // NT_ENTER_GAME: shows this window maximised with the game page at `url`,
    // unless a game page is already shown.
    void EnterGame(const wchar_t* url);
    // Reloads the game page when one is shown.
    void RefreshGame();
    // Hides a visible window; shows a hidden one maximised and in front.
    void ToggleVisible();
    void GetBrowserRect(RECT* out) const;

    HICON m_hIcon = nullptr;
    CDlgUpdate m_dlgUpdate; // the update splash; its window is made on first use
    CTesselDlg m_dlgLogin;  // the login window; its window is made on first use
    CDlgMsgBox m_dlgMsgBox;
    CWebBrowser2 m_browserGame;
    CWebBrowser2 m_browserPopup;
    CPagePanel m_pagePanel; // in the game page's place while it cannot be reached
    CImage m_imgTitleLeft;
    CImage m_imgTitleMid;
    CImage m_imgTitleRight;
    CImage m_imgLogo;
    GTButton m_btnMinimize;
    GTButton m_btnMaximize;
    GTButton m_btnRestore;
    GTButton m_btnClose;
    GTButton m_btnToTray;
    GTButton m_btnBossKey;
    GTButton m_btnRefresh;
    GTButton m_btnLink;
    GTButton m_btnHome;
    TrayIcon m_tray;

private:
    int OnCreate(CREATESTRUCTW* create);
    // The first show builds what only the game window shows: its browsers,
    // title buttons and title pictures. Once; later calls do nothing.
    void OnShowWindow(bool shown);
    void BuildFace();
    void CreateBrowsers();
    void CreateTitleButtons();
    void LoadTitlePictures();
    void OnSize(UINT type, int cx, int cy);
    void LayOut(int cx, int cy);
    void OnClose();
    void OnPaint();
    void OnGetMinMaxInfo(MINMAXINFO* info);
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnSysCommand(UINT command);
    LRESULT OnTrayNotify(LPARAM mouseMessage);
    void OnDestroy();

    void ShowExitBox();
    void OpenHomePage();
    void ShowRestoreButton(bool maximised);
    void HideLoginWindows();
    GTButton* TitleButton(unsigned id) noexcept;

    bool m_bFaceBuilt = false;

    // Event-sink members: the game browser's, and those that name this
    // window's popup browser.
    void OnGameBeforeNavigate2(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags,
                               VARIANT* TargetFrameName, VARIANT* PostData, VARIANT* Headers,
                               BOOL* Cancel);
    void OnGameNavigateError(IDispatch* pDisp, VARIANT* URL, VARIANT* TargetFrameName,
                             VARIANT* StatusCode, BOOL* Cancel);
    void OnGameNavigateComplete2(IDispatch* pDisp, VARIANT* URL);
    void OnGameNewWindow2(IDispatch** ppDisp, BOOL* Cancel);
    void OnPopupNavigate(IDispatch* pDisp, VARIANT* URL, VARIANT* Flags, VARIANT* TargetFrameName,
                         VARIANT* PostData, VARIANT* Headers, BOOL* Cancel);
};
