// Root of the framework's class tree and its exception classes. Exceptions are
// thrown by value and caught by reference.
#pragma once

#include "framework/win32.h"

#include <string>

class CObject {
public:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
    virtual ~CObject() = default;
};

class CException : public CObject {
public:
    // Text that describes the failure; false when there is none.
    virtual bool GetErrorMessage(std::wstring& text) const;
    // Shows the failure to the user; the framework calls it when an exception
    // leaves a message handler. Returns the message box's result.
    virtual int ReportError(UINT type = MB_OK, UINT messageId = 0) const;
};

// A window class or other resource could not be obtained.
class CResourceException : public CException {
public:
    bool GetErrorMessage(std::wstring& text) const override;
};

[[noreturn]] void AfxThrowResourceException();
