#include "framework/dc.h"

#include "framework/wnd.h"

BOOL CDC::Attach(HDC hdc) noexcept
{
    if (!hdc || m_hDC)
        return FALSE;
    m_hDC = m_hAttribDC = hdc;
    return TRUE;
}

HDC CDC::Detach() noexcept
{
    const HDC hdc = m_hDC;
    if (m_ownedDC.get() == hdc)
        m_ownedDC.release();
    m_hDC = m_hAttribDC = nullptr;
    return hdc;
}

BOOL CDC::CreateCompatibleDC(const CDC* dc) noexcept
{
    if (m_hDC)
        return FALSE;
    m_ownedDC.reset(::CreateCompatibleDC(dc ? dc->m_hDC : nullptr));
    m_hDC = m_hAttribDC = m_ownedDC.get();
    return m_hDC != nullptr;
}

BOOL CDC::DeleteDC() noexcept
{
    if (!m_ownedDC)
        return FALSE;
    m_ownedDC.reset();
    m_hDC = m_hAttribDC = nullptr;
    return TRUE;
}

void CDC::FillSolidRect(const RECT& rect, COLORREF colour) noexcept
{
    // An opaque empty text run fills with the background colour; put the
    // caller's background colour back afterwards.
    const COLORREF previous = ::SetBkColor(m_hDC, colour);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, previous);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) noexcept
{
    const RECT rect{x, y, x + cx, y + cy};
    FillSolidRect(rect, colour);
}

BOOL CDC::BitBlt(int x, int y, int width, int height, const CDC* source, int xSource, int ySource,
                 DWORD rop) noexcept
{
    return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, xSource, ySource,
                    rop);
}

int CDC::DrawText(const std::wstring& text, RECT* rect, UINT format) noexcept
{
    return ::DrawTextW(m_hDC, text.c_str(), static_cast<int>(text.size()), rect, format);
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) noexcept
{
    return ::SelectObject(m_hDC, object);
}

HGDIOBJ CDC::SelectStockObject(int index) noexcept
{
    return ::SelectObject(m_hDC, ::GetStockObject(index));
}

int CDC::SetBkMode(int mode) noexcept
{
    return ::SetBkMode(m_hDC, mode);
}

COLORREF CDC::SetBkColor(COLORREF colour) noexcept
{
    return ::SetBkColor(m_hDC, colour);
}

COLORREF CDC::SetTextColor(COLORREF colour) noexcept
{
    return ::SetTextColor(m_hDC, colour);
}

int CDC::GetClipBox(RECT* rect) const noexcept
{
    return ::GetClipBox(m_hDC, rect);
}

CPaintDC::CPaintDC(CWnd* wnd) noexcept : m_hWnd(wnd->m_hWnd)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}
