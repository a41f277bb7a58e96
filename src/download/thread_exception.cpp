#include "download/thread_exception.h"

#include "framework/app.h"
#include "framework/handles.h"

const wchar_t kThreadAlreadyStarted[] = L"Thread is already started!";

int CThreadException::ReportError(UINT type, UINT messageId) const
{
    std::wstring text = m_strMessage;
    if (messageId != 0) {
        const wchar_t* resource = nullptr;
        const int length = ::LoadStringW(AfxGetResourceHandle(), messageId,
                                         reinterpret_cast<LPWSTR>(&resource), 0);
        if (length > 0)
            text.assign(resource, static_cast<size_t>(length));
    }
    return AfxMessageBox(text.c_str(), type, 0);
}

std::wstring SystemErrorText(DWORD error)
{
    LPWSTR buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const UniqueLocalMemory owner(buffer);
    if (length == 0 || !buffer)
        return {};
    return std::wstring(buffer, length);
}
