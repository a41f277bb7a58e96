// Start-up of the launcher: in-process through the application object, and
// the real exe under Wine. Also the module's resources that start-up needs.
#include "app/desktop_shortcut.h"
#include "app/notification.h"
#include "app/tessel_app.h"
#include "common/deploy_config.h"
#include "common/site_address.h"
#include "framework/dll_search.h"
#include "framework/occ.h"
#include "framework/wnd.h"
#include "resource.h"
#include "support/test_server.h"
#include "support/test_files.h"
#include "support/test_support.h"
#include "web/custom_occ_manager.h"
#include "web/imp_idispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using qmtest::Narrow;

constexpr DWORD kWaitMs = 20000;

const char* const kGameNames[] = {NT_CHECK_UPDATE, NT_START_UP,   NT_ENTER_GAME,
                                  NT_GET_GSNAME,   NT_GET_NEWMSG, NT_GAME_QUIT};

// Looks at the world at the moment start-up posts its first notification.
class CheckUpdateWitness final : public IObserver {
public:
    int calls = 0;
    HWND mainWindow = nullptr;
    bool mainWindowVisible = true;
    size_t checkUpdateEntries = 0;

    void OnNotify(INotification*) override
    {
        ++calls;
        CWnd* main = AfxGetMainWnd();
        mainWindow = main ? main->m_hWnd : nullptr;
        mainWindowVisible = mainWindow && ::IsWindowVisible(mainWindow);
        checkUpdateEntries = NotificationCenter::Instance().EntryCount(NT_CHECK_UPDATE);
    }
    bool IsSame(IObserver* other) override { return other == this; }
};

TEST(StartUp, InitInstanceBuildsTheHiddenGameWindowPostsTheFirstNotificationMakesTheShortcut)
{
    CTesselApp app;
    CheckUpdateWitness witness;
    auto& bus = NotificationCenter::Instance();
    bus.AddObserver(NT_CHECK_UPDATE, &witness);
    const std::wstring shortcut = DesktopFolderPath() + L"\\" + kShortcutFileName;
    ::DeleteFileW(shortcut.c_str());

    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(::DeleteFileW(shortcut.c_str())) << "start-up made no desktop shortcut";

    ASSERT_NE(app.m_pImpIDispatch, nullptr);
    // The script object starts with no references: the first AddRef makes one.
    EXPECT_EQ(app.m_pImpIDispatch->AddRef(), 1u);
    EXPECT_EQ(app.m_pImpIDispatch->Release(), 0u);
    EXPECT_NE(dynamic_cast<CCustomOccManager*>(AfxGetOccManager()), nullptr)
        << "every control is sited by the launcher's manager";
    EXPECT_EQ(app.m_strRegistryKey, L"应用程序向导生成的本地应用程序");

    // The game window existed and was registered before NT_CHECK_UPDATE.
    EXPECT_EQ(witness.calls, 1);
    ASSERT_NE(app.m_pMainWnd, nullptr);
    EXPECT_EQ(witness.mainWindow, app.m_pMainWnd->m_hWnd);
    EXPECT_FALSE(witness.mainWindowVisible);
    EXPECT_EQ(witness.checkUpdateEntries, 2u);

    const HWND game = app.m_pMainWnd->m_hWnd;
    EXPECT_EQ(qmtest::WindowClass(game), L"TesselGameWndClass_QRBT_ZANDO");
    EXPECT_EQ(qmtest::WindowText(game), L"Quillmoor");
    EXPECT_FALSE(::IsWindowVisible(game));
    EXPECT_NE(::GetWindowLongPtrW(game, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    for (const char* name : kGameNames)
        EXPECT_GE(bus.EntryCount(name), 1u) << name;

    // Closing the main window ends the loop with exit code 0 and takes the
    // game window off the bus.
    bus.RemoveObserver(NT_CHECK_UPDATE, &witness);
    ::PostMessageW(game, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_FALSE(::IsWindow(game));
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    for (const char* name : kGameNames) {
        Notification probe(name, 0, 0, 0);
        bus.Post(&probe); // purges the marked registrations
        EXPECT_EQ(bus.EntryCount(name), 0u) << name;
    }
}

TEST(StartUp, GameWindowClassCanBeRegisteredAgainInOneProcess)
{
    for (int round = 0; round < 2; ++round) {
        CTesselApp app;
        ASSERT_TRUE(app.InitInstance()) << "round " << round;
        app.m_pMainWnd->DestroyWindow();
        qmtest::PumpPending();
    }
}

TEST(StartUp, LauncherExeRunsWithItsHiddenGameWindow)
{
    qmtest::ChildProcess launcher;
    ASSERT_TRUE(launcher.Start(qmtest::LauncherPath())) << "error " << ::GetLastError();

    HWND game = nullptr;
    const bool found = qmtest::PumpUntil(
        [&] {
            game = qmtest::FindProcessWindow(launcher.Id(), L"TesselGameWndClass_QRBT_ZANDO",
                                             L"Quillmoor");
            return game != nullptr || !launcher.IsRunning();
        },
        20000);
    ASSERT_TRUE(found && game) << "no game window appeared";
    EXPECT_FALSE(::IsWindowVisible(game));
    EXPECT_EQ(::GetParent(game), nullptr);

    // Still running a little later: it is waiting in its message loop.
    ::Sleep(500);
    EXPECT_TRUE(launcher.IsRunning());
    EXPECT_TRUE(::IsWindow(game));
    launcher.Terminate();
    EXPECT_FALSE(::IsWindow(game));
}

TEST(StartUp, LauncherExeEndsWithCodeZeroWhenItsGameWindowCloses)
{
    qmtest::ChildProcess launcher;
    ASSERT_TRUE(launcher.Start(qmtest::LauncherPath()));
    HWND game = nullptr;
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] {
            game = qmtest::FindProcessWindow(launcher.Id(), L"TesselGameWndClass_QRBT_ZANDO",
                                             L"Quillmoor");
            return game != nullptr;
        },
        20000));
    ::PostMessageW(game, WM_CLOSE, 0, 0);
    DWORD code = 12345;
    ASSERT_TRUE(launcher.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

TEST(StartUp, ProgramsThatLinkTheLauncherSearchOnlyTheSystemFolderForDlls)
{
    // This test program starts in the launcher's entry code too.
    EXPECT_EQ(ProcessDllSearch(), DllSearch::SystemFolderOnly);
    const HMODULE version = ::GetModuleHandleW(L"version.dll");
    ASSERT_NE(version, nullptr) << "the tests import version.dll";
    wchar_t loaded[MAX_PATH] = {}, system[MAX_PATH] = {};
    ::GetModuleFileNameW(version, loaded, MAX_PATH);
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(_wcsnicmp(loaded, system, wcslen(system)), 0) << Narrow(loaded);
}

// DLLs named like system DLLs that the launcher loads late, beside a copy of
// the launcher, with Wine told to prefer a DLL found on the search path over
// its own, as Windows does for any DLL that is not a KnownDLL (the build runs
// this program with WINEDLLOVERRIDES saying so): none of them is loaded, and
// the launcher goes on to its login page.
TEST(StartUp, DllsPlantedBesideTheExeAreNotLoaded)
{
    const std::wstring dir = qmtest::MakeTempFolder(L"qm-planted-");
    ASSERT_FALSE(dir.empty());
    const wchar_t* const planted[] = {L"version.dll", L"msimg32.dll", L"wininet.dll",
                                      L"windowscodecs.dll"};
    const std::wstring dll = qmtest::ExeDirectory() + L"planted_dll.dll";
    for (const wchar_t* name : planted)
        ASSERT_TRUE(::CopyFileW(dll.c_str(), (dir + name).c_str(), FALSE)) << Narrow(name);
    const std::wstring exe = dir + L"Quillmoor.exe";
    const std::wstring probe = dir + L"planted_dll_probe.exe";
    ASSERT_TRUE(::CopyFileW(qmtest::LauncherPath().c_str(), exe.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((qmtest::ExeDirectory() + L"planted_dll_probe.exe").c_str(),
                            probe.c_str(), FALSE));
    const auto marker = [&](const wchar_t* name) { return dir + name + L".loaded"; };

    // A program that does not restrict the search loads the planted one.
    qmtest::ChildProcess control;
    ASSERT_TRUE(control.Start(probe, dir));
    ASSERT_TRUE(control.WaitExit(kWaitMs));
    ASSERT_TRUE(qmtest::Exists(marker(L"version.dll")))
        << "the planted version.dll is not loaded even without the launcher's entry code: is "
           "version=n,b in WINEDLLOVERRIDES?";
    ::DeleteFileW(marker(L"version.dll").c_str());

    // The game site as the compiled-in host names it, over TLS when it is https.
    const unsigned short port = qmtest::LoopbackPort(QM_GAME_HOST);
    ASSERT_NE(port, 0) << "the game host is no loopback host with a port";
    qmtest::TestServer gameSite(60, port,
                                IsHttpsAddress(QM_GAME_HOST) ? qmtest::Tls::kLocalhost
                                                             : qmtest::Tls::kNone);
    ASSERT_TRUE(gameSite.Started()) << "the game site's port " << port << " is busy";
    qmtest::ChildProcess launcher;
    ASSERT_TRUE(launcher.Start(exe, dir));
    EXPECT_TRUE(qmtest::PumpUntil(
        [&] { return gameSite.Log().find(R"("path": "/client")") != std::string::npos; },
        kWaitMs))
        << "the launcher did not reach its login page: " << gameSite.Log();
    launcher.Terminate();
    for (const wchar_t* name : planted)
        EXPECT_FALSE(qmtest::Exists(marker(name))) << Narrow(name) << " was loaded";
    qmtest::RemoveTree(dir);
}

// Reads the fixed part of the version resource of a file.
bool ReadFixedVersion(const std::wstring& file, VS_FIXEDFILEINFO* out, std::wstring* product)
{
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0)
        return false;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return false;
    void* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", &fixed, &length) || length < sizeof *out)
        return false;
    std::memcpy(out, fixed, sizeof *out);
    void* name = nullptr;
    if (::VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\ProductName", &name, &length))
        *product = static_cast<const wchar_t*>(name);
    return true;
}

TEST(Resources, VersionResourceSays1008AndQuillmoor)
{
    VS_FIXEDFILEINFO info{};
    std::wstring product;
    ASSERT_TRUE(ReadFixedVersion(qmtest::LauncherPath(), &info, &product));
    EXPECT_EQ(info.dwFileVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(info.dwFileVersionLS, MAKELONG(8, 0));
    EXPECT_EQ(info.dwProductVersionMS, MAKELONG(0, 1));
    EXPECT_EQ(info.dwProductVersionLS, MAKELONG(8, 0));
    EXPECT_EQ(product, L"Quillmoor");
}

// The fixed header of an extended dialog template.
#pragma pack(push, 1)
struct DialogHeaderEx {
    WORD dlgVer;
    WORD signature;
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
    WORD cDlgItems;
    short x, y, cx, cy;
};
#pragma pack(pop)

const DialogHeaderEx* FindDialog(UINT id)
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC res = ::FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    if (!res)
        return nullptr;
    return static_cast<const DialogHeaderEx*>(::LockResource(::LoadResource(self, res)));
}

TEST(Resources, DialogTemplatesHaveTheirStylesAndSizes)
{
    const DialogHeaderEx* splash = FindDialog(IDD_UPDATE_LOGIN);
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->signature, 0xFFFF);
    EXPECT_EQ(splash->style, 0x90000048u);
    EXPECT_EQ(splash->exStyle, 0u);
    EXPECT_EQ(splash->cDlgItems, 0);
    EXPECT_EQ(splash->cx, 320);
    EXPECT_EQ(splash->cy, 200);

    const DialogHeaderEx* layer = FindDialog(IDD_LAYER);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->style, 0x90000048u);

    const DialogHeaderEx* box = FindDialog(IDD_MSGBOX);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->style, 0x80080048u);
    EXPECT_EQ(box->cDlgItems, 2);
    EXPECT_EQ(box->cx, 316);
    EXPECT_EQ(box->cy, 183);
}

INT_PTR CALLBACK IgnoringDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(Resources, ExitBoxButtonsHaveTheirStylesAndPlaces)
{
    HWND box = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MSGBOX),
                                    nullptr, IgnoringDialogProc, 0);
    ASSERT_NE(box, nullptr);
    HWND ok = ::GetDlgItem(box, IDOK);
    HWND cancel = ::GetDlgItem(box, IDCANCEL);
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(ok, GWL_STYLE)), 0x50010001u);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(cancel, GWL_STYLE)), 0x50010000u);
    RECT units{205, 162, 255, 176};
    ::MapDialogRect(box, &units);
    RECT placed{};
    ::GetWindowRect(ok, &placed);
    ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, units.left);
    EXPECT_EQ(placed.top, units.top);
    ::DestroyWindow(box);
}

TEST(Resources, ApplicationIconHasSeveralSizes)
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC group = ::FindResourceW(self, MAKEINTRESOURCEW(IDI_APP), MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr);
    // GRPICONDIR: reserved, type, count.
    const auto* dir = static_cast<const WORD*>(::LockResource(::LoadResource(self, group)));
    EXPECT_EQ(dir[1], 1);
    EXPECT_GE(dir[2], 4);
    HICON small =
        static_cast<HICON>(::LoadImageW(self, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, 0));
    HICON large =
        static_cast<HICON>(::LoadImageW(self, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 48, 48, 0));
    EXPECT_NE(small, nullptr);
    EXPECT_NE(large, nullptr);
    ::DestroyIcon(small);
    ::DestroyIcon(large);
}

} // namespace
