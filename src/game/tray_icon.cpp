#include "game/tray_icon.h"

#include <cwchar>

TrayIcon::TrayIcon(DWORD structSize, UINT id) noexcept
{
    m_data.cbSize = structSize;
    m_data.uID = id;
}

TrayIcon::~TrayIcon()
{
    Remove();
}

BOOL TrayIcon::SetIcon(HICON icon, const wchar_t* tip)
{
    m_data.uFlags = 0;
    m_data.szTip[0] = L'\0';
    DWORD message = NIM_DELETE;
    if (icon) {
        message = m_data.hIcon ? NIM_MODIFY : NIM_ADD;
        m_data.hIcon = icon;
        m_data.uFlags = NIF_ICON;
    } else {
        if (!m_data.hIcon)
            return TRUE; // nothing shown, nothing to delete
        m_data.hIcon = nullptr;
    }
    if (tip) {
        m_data.uFlags |= NIF_TIP;
        ::lstrcpynW(m_data.szTip, tip, 128);
    }
    if (m_data.hWnd)
        m_data.uFlags |= NIF_MESSAGE;
    ::lstrcpynW(m_lastTip, m_data.szTip, 128);
    return m_notify(message, &m_data);
}

void TrayIcon::Remove()
{
    m_data.uFlags = 0;
    m_data.szTip[0] = L'\0';
    if (!m_data.hIcon)
        return;
    m_data.hIcon = nullptr;
    if (m_data.hWnd)
        m_data.uFlags = NIF_MESSAGE;
    m_notify(NIM_DELETE, &m_data);
}

BOOL TrayIcon::Restore()
{
    if (!m_data.hIcon)
        return TRUE;
    m_data.uFlags = NIF_ICON | (m_lastTip[0] ? NIF_TIP : 0u) | (m_data.hWnd ? NIF_MESSAGE : 0u);
    ::lstrcpynW(m_data.szTip, m_lastTip, 128);
    return m_notify(NIM_ADD, &m_data);
}
