#include "framework/object.h"

#include "framework/app.h"

bool CException::GetErrorMessage(std::wstring& text) const
{
    text.clear();
    return false;
}

int CException::ReportError(UINT type, UINT messageId) const
{
    std::wstring text;
    if (!GetErrorMessage(text) || text.empty()) {
        if (messageId != 0)
            return AfxMessageBox(messageId, type);
        text = L"An unexpected error occurred.";
    }
    return AfxMessageBox(text.c_str(), type);
}

bool CResourceException::GetErrorMessage(std::wstring& text) const
{
    text = L"A required resource was unavailable.";
    return true;
}

void AfxThrowResourceException()
{
    throw CResourceException();
}
