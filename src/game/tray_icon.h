// The game window's icon in the notification area.
#pragma once

#include "framework/win32.h"

#include <shellapi.h>

// The icon's callback message to its window.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 113;

class TrayIcon {
public:
    // The platform call, replaceable so tests can watch what is sent.
    using NotifyFunction = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);

    TrayIcon(DWORD structSize, UINT id) noexcept;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon();

    void SetOwner(HWND hwnd) noexcept { m_data.hWnd = hwnd; }
    void SetCallbackMessage(UINT message) noexcept { m_data.uCallbackMessage = message; }

    // Adds the icon, or updates it when it is shown; a null icon deletes it.
    BOOL SetIcon(HICON icon, const wchar_t* tip);
    // Deletes the icon if one is shown.
    void Remove();
    // Adds the shown icon again, after the notification area was restarted.
    BOOL Restore();

    bool IsShown() const noexcept { return m_data.hIcon != nullptr; }
    const NOTIFYICONDATAW& Data() const noexcept { return m_data; }
    void SetNotifyFunction(NotifyFunction fn) noexcept { m_notify = fn; }

private:
    NOTIFYICONDATAW m_data{};
    NotifyFunction m_notify = ::Shell_NotifyIconW;
    wchar_t m_lastTip[128] = {};
};
