// The framework's internet classes over WinINet: a session, an HTTP
// connection to one server and an HTTP request on it. Constructing a session,
// sending and reading raise CInternetException; opening a connection or a
// request gives null on failure, with GetLastError telling why.
#pragma once

#include "framework/handles.h"
#include "framework/object.h"

#include <wininet.h>

#include <memory>
#include <string>

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::InternetCloseHandle(h); }
};
using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;

class CInternetException : public CException {
public:
    explicit CInternetException(DWORD error, DWORD_PTR context = 1) noexcept
        : m_dwContext(context), m_dwError(error)
    {
    }
    bool GetErrorMessage(std::wstring& text) const override;

    DWORD_PTR m_dwContext;
    DWORD m_dwError; // a WinINet (12xxx) or system error code
};

// One HTTP request; its response is read through the same object.
class CHttpFile : public CObject {
public:
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    BOOL AddRequestHeaders(LPCWSTR headers, DWORD flags = HTTP_ADDREQ_FLAG_ADD_IF_NEW,
                           int headersLength = -1);
    BOOL SendRequest(LPCWSTR headers = nullptr, DWORD headersLength = 0, LPVOID optional = nullptr,
                     DWORD optionalLength = 0);
    BOOL QueryInfoStatusCode(DWORD& statusCode) const;
    // A numeric header (HTTP_QUERY_FLAG_NUMBER is added); `result` is left
    // unchanged when the header is absent.
    BOOL QueryInfo(DWORD infoLevel, DWORD& result, LPDWORD index = nullptr) const;
    // Bytes read, 0 at the end of the body. Waits until `count` bytes have
    // come or the body ends, however slowly they arrive.
    UINT Read(void* buffer, UINT count);
    // Bytes that Read can return at once; waits for some when none have
    // arrived (up to the receive time-out). 0 at the end of the body.
    DWORD QueryDataAvailable();
    void Close() noexcept { m_hFile.reset(); }
    operator HINTERNET() const noexcept { return m_hFile.get(); }

private:
    friend class CHttpConnection;
    CHttpFile(HINTERNET file, DWORD_PTR context) noexcept : m_hFile(file), m_dwContext(context) {}

    UniqueInternetHandle m_hFile;
    DWORD_PTR m_dwContext;
};

class CHttpConnection : public CObject {
public:
    enum : int { HTTP_VERB_GET = 1 };

    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    std::unique_ptr<CHttpFile> OpenRequest(int verb, LPCWSTR objectName, LPCWSTR referer = nullptr,
                                           DWORD_PTR context = 1, LPCWSTR* acceptTypes = nullptr,
                                           LPCWSTR version = nullptr,
                                           DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);
    void Close() noexcept { m_hConnection.reset(); }

private:
    friend class CInternetSession;
    CHttpConnection(HINTERNET connection, DWORD_PTR context) noexcept
        : m_hConnection(connection), m_dwContext(context)
    {
    }

    UniqueInternetHandle m_hConnection;
    DWORD_PTR m_dwContext;
};

class CInternetSession : public CObject {
public:
    // Without an agent string the application's name is sent.
    explicit CInternetSession(LPCWSTR agent = nullptr, DWORD_PTR context = 1,
                              DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                              LPCWSTR proxyName = nullptr, LPCWSTR proxyBypass = nullptr,
                              DWORD flags = 0);
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // A numeric option of the session. The connect, send and receive
    // time-outs also apply to every connection opened afterwards.
    BOOL SetOption(DWORD option, DWORD value);

    std::unique_ptr<CHttpConnection>
    GetHttpConnection(LPCWSTR server, INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER,
                      LPCWSTR userName = nullptr, LPCWSTR password = nullptr);

private:
    UniqueInternetHandle m_hSession;
    DWORD_PTR m_dwContext;
    // Time-outs set on the session, by option, 0 when not set.
    DWORD m_dwConnectTimeout = 0;
    DWORD m_dwSendTimeout = 0;
    DWORD m_dwReceiveTimeout = 0;
};

// The most redirects one request follows.
constexpr int kMaxRedirects = 10;

// The absolute address a redirect answer (301, 302, 303, 307 or 308) to a
// request sent for `url` points to: its Location resolved against `url`.
// Empty when the answer is no redirect, or names no address of at most
// INTERNET_MAX_URL_LENGTH characters. WinINet follows redirects by itself
// unless the request has INTERNET_FLAG_NO_AUTO_REDIRECT, and then keeps
// the scheme it started with whatever the Location says (measured with
// Wine 8), so the launcher's requests take that flag and follow by hand.
std::wstring RedirectTarget(HINTERNET request, const wchar_t* url);

// Service types AfxParseURL reports.
enum : DWORD {
    AFX_INET_SERVICE_UNK = 0x1000,
    AFX_INET_SERVICE_HTTP = INTERNET_SERVICE_HTTP,
    AFX_INET_SERVICE_HTTPS = 0x1008,
};

// Splits an absolute URL into service, server, object (path with query; "/"
// when empty) and port (the scheme's default when the URL names none).
BOOL AfxParseURL(LPCWSTR url, DWORD& serviceType, std::wstring& server, std::wstring& object,
                 INTERNET_PORT& port);
