// The tour driver: the launcher itself, plus the one thing a player does
// that Wine cannot show, since it renders no page: entering the game from
// the login page. When the file named by QM_TOUR_ENTER_FILE appears, the
// driver navigates the login page's browser to the game-entry address, as
// the page's own login form would; everything else is the launcher's.
//
// A launcher that was started by its own update runs detached, so nobody
// sees its exit code: the driver writes it (decimal text) to the file named
// by QM_TOUR_EXIT_FILE when the launcher returns from its entry point. A
// process that ends through ExitProcess (the update's old launcher) writes
// nothing.
#include "app/tessel_app.h"
#include "common/deploy_config.h"
#include "common/site_address.h"
#include "framework/handles.h"
#include "framework/wnd.h"
#include "game/wnd_game.h"

#include <string>

namespace {

// A file path from the environment, or empty when the variable is unset.
std::wstring PathFromEnvironment(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path) : std::wstring();
}

std::wstring EnterTriggerFile()
{
    return PathFromEnvironment(L"QM_TOUR_ENTER_FILE");
}

// Written under another name and renamed, so a file that is seen is whole.
void WriteExitCode(int code)
{
    const std::wstring target = PathFromEnvironment(L"QM_TOUR_EXIT_FILE");
    if (target.empty())
        return;
    const std::wstring partial = target + L".partial";
    {
        const UniqueHandle file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return;
        const std::string text = std::to_string(code) + "\n";
        DWORD written = 0;
        if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                         nullptr) ||
            written != text.size())
            return;
    }
    ::MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
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
    const std::wstring address = SiteAddress(QM_GAME_HOST, L"/login.php?user=moonwalker");
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

// The launcher's entry point (src/framework/winmain.cpp), which also records
// the exit code it returns.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    const int code = AfxWinMain(instance);
    WriteExitCode(code);
    return code;
}
