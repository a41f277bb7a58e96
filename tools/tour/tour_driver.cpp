// The tour driver: the launcher itself, plus the one thing a player does
// that Wine cannot show, since it renders no page: entering the game from
// the login page. When the file named by QM_TOUR_ENTER_FILE appears, the
// driver navigates the login page's browser to the game-entry address, as
// the page's own login form would; everything else is the launcher's.
#include "app/tessel_app.h"
#include "common/deploy_config.h"
#include "framework/wnd.h"
#include "game/wnd_game.h"

#include <string>

namespace {

std::wstring EnterTriggerFile()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"QM_TOUR_ENTER_FILE", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path) : std::wstring();
}

void CALLBACK OnTourTimer(HWND, UINT, UINT_PTR timer, DWORD)
{
    static const std::wstring trigger = EnterTriggerFile();
    if (trigger.empty() || ::GetFileAttributesW(trigger.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    auto* game = dynamic_cast<CWndGame*>(AfxGetMainWnd());
    if (!game || !game->m_dlgLogin.m_hWnd || !game->m_dlgLogin.IsWindowVisible())
        return;
    ::KillTimer(nullptr, timer);
    const std::wstring address = std::wstring(L"http://") + QM_GAME_HOST +
                                 L"/login.php?user=moonwalker";
    VARIANT url;
    ::VariantInit(&url);
    V_VT(&url) = VT_BSTR;
    V_BSTR(&url) = ::SysAllocString(address.c_str());
    try {
        game->m_dlgLogin.m_layer.m_browser.Navigate2(&url, nullptr, nullptr, nullptr, nullptr);
    } catch (const CException&) {
    }
    ::VariantClear(&url);
}

class TourApp : public CTesselApp {
public:
    BOOL InitInstance() override
    {
        if (!CTesselApp::InitInstance())
            return FALSE;
        ::SetTimer(nullptr, 0, 200, OnTourTimer);
        return TRUE;
    }
};

TourApp theTour;

} // namespace
