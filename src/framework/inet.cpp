#include "framework/inet.h"

#include "framework/app.h"

namespace {
// The agent string when the caller gives none: the application's name, or
// the module's file name without its extension when there is no application.
std::wstring DefaultAgent()
{
    if (const CWinApp* app = AfxGetApp(); app && !app->m_strAppName.empty())
        return app->m_strAppName;
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    if (const size_t dot = name.rfind(L'.'); dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

void SetNumericOption(HINTERNET handle, DWORD option, DWORD value) noexcept
{
    if (value != 0)
        ::InternetSetOptionW(handle, option, &value, sizeof value);
}
} // namespace

bool CInternetException::GetErrorMessage(std::wstring& text) const
{
    text.clear();
    LPWSTR buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM,
        ::GetModuleHandleW(L"wininet.dll"), m_dwError, 0, reinterpret_cast<LPWSTR>(&buffer), 0,
        nullptr);
    const UniqueLocalMemory owner(buffer);
    if (length == 0 || !buffer)
        return false;
    text.assign(buffer, length);
    return true;
}

CInternetSession::CInternetSession(LPCWSTR agent, DWORD_PTR context, DWORD accessType,
                                   LPCWSTR proxyName, LPCWSTR proxyBypass, DWORD flags)
    : m_dwContext(context)
{
    const std::wstring agentText = agent ? std::wstring(agent) : DefaultAgent();
    m_hSession.reset(::InternetOpenW(agentText.c_str(), accessType, proxyName, proxyBypass, flags));
    if (!m_hSession)
        throw CInternetException(::GetLastError(), context);
}

BOOL CInternetSession::SetOption(DWORD option, DWORD value)
{
    if (!::InternetSetOptionW(m_hSession.get(), option, &value, sizeof value))
        return FALSE;
    switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT: m_dwConnectTimeout = value; break;
    case INTERNET_OPTION_SEND_TIMEOUT: m_dwSendTimeout = value; break;
    case INTERNET_OPTION_RECEIVE_TIMEOUT: m_dwReceiveTimeout = value; break;
    }
    return TRUE;
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(LPCWSTR server,
                                                                     INTERNET_PORT port,
                                                                     LPCWSTR userName,
                                                                     LPCWSTR password)
{
    UniqueInternetHandle connection(::InternetConnectW(
        m_hSession.get(), server, port, userName, password, INTERNET_SERVICE_HTTP, 0, m_dwContext));
    if (!connection)
        return nullptr;
    // Windows hands the session's time-outs down to its connections; Wine
    // does not (measured with Wine 8), so they are set here once more.
    SetNumericOption(connection.get(), INTERNET_OPTION_CONNECT_TIMEOUT, m_dwConnectTimeout);
    SetNumericOption(connection.get(), INTERNET_OPTION_SEND_TIMEOUT, m_dwSendTimeout);
    SetNumericOption(connection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, m_dwReceiveTimeout);
    return std::unique_ptr<CHttpConnection>(new CHttpConnection(connection.release(), m_dwContext));
}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(int verb, LPCWSTR objectName,
                                                        LPCWSTR referer, DWORD_PTR context,
                                                        LPCWSTR* acceptTypes, LPCWSTR version,
                                                        DWORD flags)
{
    if (verb != HTTP_VERB_GET || !m_hConnection) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    UniqueInternetHandle request(::HttpOpenRequestW(m_hConnection.get(), L"GET", objectName,
                                                    version, referer, acceptTypes, flags, context));
    if (!request)
        return nullptr;
    return std::unique_ptr<CHttpFile>(new CHttpFile(request.release(), context));
}

BOOL CHttpFile::AddRequestHeaders(LPCWSTR headers, DWORD flags, int headersLength)
{
    const DWORD length =
        headersLength < 0 ? static_cast<DWORD>(-1L) : static_cast<DWORD>(headersLength);
    if (!::HttpAddRequestHeadersW(m_hFile.get(), headers, length, flags))
        throw CInternetException(::GetLastError(), m_dwContext);
    return TRUE;
}

BOOL CHttpFile::SendRequest(LPCWSTR headers, DWORD headersLength, LPVOID optional,
                            DWORD optionalLength)
{
    if (!::HttpSendRequestW(m_hFile.get(), headers, headersLength, optional, optionalLength))
        throw CInternetException(::GetLastError(), m_dwContext);
    return TRUE;
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& statusCode) const
{
    return QueryInfo(HTTP_QUERY_STATUS_CODE, statusCode);
}

BOOL CHttpFile::QueryInfo(DWORD infoLevel, DWORD& result, LPDWORD index) const
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!::HttpQueryInfoW(m_hFile.get(), infoLevel | HTTP_QUERY_FLAG_NUMBER, &value, &size, index))
        return FALSE;
    result = value;
    return TRUE;
}

UINT CHttpFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!::InternetReadFile(m_hFile.get(), buffer, count, &read))
        throw CInternetException(::GetLastError(), m_dwContext);
    return read;
}

std::wstring RedirectTarget(HINTERNET request, const wchar_t* url)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr))
        return {};
    switch (status) {
    case HTTP_STATUS_MOVED:
    case HTTP_STATUS_REDIRECT:
    case HTTP_STATUS_REDIRECT_METHOD:
    case HTTP_STATUS_REDIRECT_KEEP_VERB:
    case HTTP_STATUS_PERMANENT_REDIRECT: break;
    default: return {};
    }
    // The server's text, bounded: a longer Location is no address to follow.
    std::wstring location(INTERNET_MAX_URL_LENGTH + 1, L'\0');
    size = static_cast<DWORD>(location.size() * sizeof(wchar_t));
    if (!::HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location.data(), &size, nullptr))
        return {};
    location.resize(size / sizeof(wchar_t));
    std::wstring target(INTERNET_MAX_URL_LENGTH + 1, L'\0');
    DWORD length = static_cast<DWORD>(target.size());
    if (location.empty() ||
        !::InternetCombineUrlW(url, location.c_str(), target.data(), &length, 0))
        return {};
    target.resize(length);
    return target;
}

DWORD CHttpFile::QueryDataAvailable()
{
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(m_hFile.get(), &available, 0, m_dwContext))
        throw CInternetException(::GetLastError(), m_dwContext);
    return available;
}

BOOL AfxParseURL(LPCWSTR url, DWORD& serviceType, std::wstring& server, std::wstring& object,
                 INTERNET_PORT& port)
{
    serviceType = AFX_INET_SERVICE_UNK;
    server.clear();
    object.clear();
    port = INTERNET_INVALID_PORT_NUMBER;
    if (!url || !*url)
        return FALSE;

    // Lengths of 1 with null pointers ask for pointers into `url`.
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url, 0, 0, &parts))
        return FALSE;

    switch (parts.nScheme) {
    case INTERNET_SCHEME_HTTP: serviceType = AFX_INET_SERVICE_HTTP; break;
    case INTERNET_SCHEME_HTTPS: serviceType = AFX_INET_SERVICE_HTTPS; break;
    default: return FALSE;
    }
    if (parts.lpszHostName)
        server.assign(parts.lpszHostName, parts.dwHostNameLength);
    if (parts.lpszUrlPath)
        object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty() || object[0] != L'/')
        object.insert(0, 1, L'/');
    port = parts.nPort;
    return !server.empty();
}
