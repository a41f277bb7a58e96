// CDC: a device context with the drawing operations the skin uses. It either
// borrows a DC (Attach: a paint DC, the DC of an owner-draw record) or owns a
// memory DC it created (CreateCompatibleDC), which it deletes.
#pragma once

#include "framework/handles.h"
#include "framework/object.h"

#include <string>

class CWnd;

class CDC : public CObject {
public:
    CDC() noexcept = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    ~CDC() override = default;

    HDC m_hDC = nullptr;       // where output goes
    HDC m_hAttribDC = nullptr; // where attributes are read from; the same DC here
    BOOL m_bPrinting = FALSE;  // the DC is a printer's: no off-screen buffering

    HDC GetSafeHdc() const noexcept { return m_hDC; }
    operator HDC() const noexcept { return m_hDC; }
    BOOL IsPrinting() const noexcept { return m_bPrinting; }

    // Borrows `hdc`; this object never deletes it.
    BOOL Attach(HDC hdc) noexcept;
    // Forgets the DC without deleting it and returns it.
    HDC Detach() noexcept;
    // A memory DC compatible with `dc` (the screen when null), owned by this
    // object until DeleteDC or destruction.
    BOOL CreateCompatibleDC(const CDC* dc) noexcept;
    BOOL DeleteDC() noexcept;

    // Drawing.
    void FillSolidRect(const RECT& rect, COLORREF colour) noexcept;
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) noexcept;
    BOOL BitBlt(int x, int y, int width, int height, const CDC* source, int xSource, int ySource,
                DWORD rop) noexcept;
    int DrawText(const std::wstring& text, RECT* rect, UINT format) noexcept;

    // Attributes and objects.
    HGDIOBJ SelectObject(HGDIOBJ object) noexcept;
    HGDIOBJ SelectStockObject(int index) noexcept;
    int SetBkMode(int mode) noexcept;
    COLORREF SetBkColor(COLORREF colour) noexcept;
    COLORREF SetTextColor(COLORREF colour) noexcept;
    int GetClipBox(RECT* rect) const noexcept;

private:
    UniqueMemoryDC m_ownedDC; // set only for a DC this object created
};

// The DC of one WM_PAINT: BeginPaint on construction, EndPaint on
// destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* wnd) noexcept;
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND m_hWnd;
};
