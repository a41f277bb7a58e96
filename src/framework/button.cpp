#include "framework/button.h"

#include "framework/dc.h"

BOOL CButton::Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create(L"BUTTON", caption, style, rect, parent, id);
}

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

HBRUSH CButton::CtlColor(CDC*, UINT)
{
    return nullptr;
}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *result = TRUE;
        return TRUE;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        CDC dc;
        dc.Attach(reinterpret_cast<HDC>(wParam));
        const HBRUSH brush = CtlColor(&dc, message - WM_CTLCOLORMSGBOX);
        if (!brush)
            return FALSE;
        *result = reinterpret_cast<LRESULT>(brush);
        return TRUE;
    }
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}
