#include "skin/mem_dc.h"

CMemDC2005::CMemDC2005(CDC* dc, const RECT* rect) noexcept : m_pDC(dc), m_bMemDC(!dc->IsPrinting())
{
    if (m_bMemDC) {
        if (rect)
            m_rect = *rect;
        else
            dc->GetClipBox(&m_rect);
        const int width = m_rect.right - m_rect.left;
        const int height = m_rect.bottom - m_rect.top;
        if (width > 0 && height > 0 && CreateCompatibleDC(dc))
            m_bitmap.reset(::CreateCompatibleBitmap(dc->m_hDC, width, height));
        if (m_bitmap) {
            m_hOldBitmap = SelectObject(m_bitmap.get());
            return;
        }
        // No buffer could be made (or there is nothing to cover): drawing
        // goes straight to the target rather than into nowhere.
        DeleteDC();
        m_bMemDC = FALSE;
    }
    m_bPrinting = dc->m_bPrinting;
    m_hDC = dc->m_hDC;
    m_hAttribDC = dc->m_hAttribDC;
}

CMemDC2005::~CMemDC2005()
{
    if (m_bMemDC) {
        m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.right - m_rect.left,
                      m_rect.bottom - m_rect.top, this, 0, 0, SRCCOPY);
        SelectObject(m_hOldBitmap);
    } else {
        // Borrowed from the target: forget, never delete.
        m_hDC = m_hAttribDC = nullptr;
    }
    // The buffer, now deselected, goes with m_bitmap; the memory DC with the
    // base class.
}
