// The worker-thread class's own exception, and the system's text for an
// error code.
#pragma once

#include "framework/object.h"

#include <string>

class CThread;

class CThreadException : public CException {
public:
    enum : int {
        THREAD_CREATE_FAILED = 1,
        THREAD_ALREADY_STARTED = 2,
        EVENT_CREATE_FAILED = 4,
        COMMAND_POST_FAILED = 5,
    };

    CThreadException(CThread* thread, std::wstring message, int type)
        : m_pThread(thread), m_strMessage(std::move(message)), m_nType(type)
    {
    }

    // Shows m_strMessage, or the string resource `messageId` when it is not 0
    // and exists, with AfxMessageBox; returns the box's result.
    int ReportError(UINT type = MB_OK, UINT messageId = 0) const override;

    CThread* m_pThread;
    std::wstring m_strMessage;
    int m_nType;
};

extern const wchar_t kThreadAlreadyStarted[];

// The system's message for `error` as FormatMessageW gives it (line end
// included), or empty when the system has none.
std::wstring SystemErrorText(DWORD error);
