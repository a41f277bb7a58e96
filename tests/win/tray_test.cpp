// The notification-area icon: what is sent to the shell, and the real call
// under Wine.
#include "game/tray_icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Call {
    DWORD message;
    UINT flags;
    HICON icon;
    HWND hwnd;
    UINT id;
    UINT callback;
    std::wstring tip;
};
std::vector<Call> g_calls;

BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAW data)
{
    g_calls.push_back({message, data->uFlags, data->hIcon, data->hWnd, data->uID,
                       data->uCallbackMessage, data->szTip});
    return TRUE;
}

class Tray : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        tray.SetNotifyFunction(RecordNotify);
    }
    TrayIcon tray{sizeof(NOTIFYICONDATAW), 10};
    HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION);
    HICON other = ::LoadIconW(nullptr, IDI_INFORMATION);
    HWND owner = reinterpret_cast<HWND>(0x1234);
};

TEST_F(Tray, FirstIconAddsSecondModifiesWithMessageIconAndTip)
{
    tray.SetOwner(owner);
    tray.SetCallbackMessage(WM_TRAYNOTIFY);
    EXPECT_TRUE(tray.SetIcon(icon, L"Quillmoor"));
    EXPECT_TRUE(tray.SetIcon(other, L"Quillmoor"));
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(g_calls[0].id, 10u);
    EXPECT_EQ(g_calls[0].callback, 0x471u);
    EXPECT_EQ(g_calls[0].tip, L"Quillmoor");
    EXPECT_EQ(g_calls[1].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls[1].icon, other);
}

TEST_F(Tray, NullIconWithNothingShownMakesNoCall)
{
    EXPECT_TRUE(tray.SetIcon(nullptr, L"Quillmoor"));
    EXPECT_TRUE(g_calls.empty());
    tray.Remove();
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(Tray, NullIconDeletesAShownIcon)
{
    tray.SetIcon(icon, nullptr);
    EXPECT_EQ(g_calls.back().flags, static_cast<UINT>(NIF_ICON)) << "no window, no tip";
    tray.SetIcon(nullptr, nullptr);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_FALSE(tray.IsShown());
    EXPECT_TRUE(tray.SetIcon(icon, nullptr));
    EXPECT_EQ(g_calls.back().message, static_cast<DWORD>(NIM_ADD)) << "shown again: added";
}

TEST_F(Tray, LongTipIsCutTo127Characters)
{
    const std::wstring tip(200, L'q');
    tray.SetIcon(icon, tip.c_str());
    EXPECT_EQ(g_calls.back().tip, std::wstring(127, L'q'));
}

TEST_F(Tray, DestructionRemovesTheIconOnce)
{
    {
        TrayIcon local(sizeof(NOTIFYICONDATAW), 10);
        local.SetNotifyFunction(RecordNotify);
        local.SetOwner(owner);
        local.SetIcon(icon, L"Quillmoor");
    }
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(g_calls[1].flags, static_cast<UINT>(NIF_MESSAGE));
}

TEST_F(Tray, RestoreAddsTheShownIconAgainWithItsTip)
{
    EXPECT_TRUE(tray.Restore());
    EXPECT_TRUE(g_calls.empty()) << "nothing shown, nothing to restore";
    tray.SetOwner(owner);
    tray.SetIcon(icon, L"Quillmoor");
    EXPECT_TRUE(tray.Restore());
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(g_calls[1].icon, icon);
    EXPECT_EQ(g_calls[1].tip, L"Quillmoor");
    EXPECT_EQ(g_calls[1].flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
}

TEST(TrayUnderWine, TheShellAcceptsTheIconAndItsRemoval)
{
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    {
        TrayIcon tray(sizeof(NOTIFYICONDATAW), 10);
        tray.SetOwner(hwnd);
        tray.SetCallbackMessage(WM_TRAYNOTIFY);
        EXPECT_TRUE(tray.SetIcon(::LoadIconW(nullptr, IDI_APPLICATION), L"Quillmoor"));
        EXPECT_TRUE(tray.SetIcon(::LoadIconW(nullptr, IDI_APPLICATION), L"Quillmoor"));
    }
    // Once removed, modifying the icon fails: it is no longer there.
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof probe;
    probe.hWnd = hwnd;
    probe.uID = 10;
    probe.uFlags = NIF_TIP;
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &probe));
    ::DestroyWindow(hwnd);
}

} // namespace
