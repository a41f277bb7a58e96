#include "update/http_get_text.h"

#include "common/log.h"
#include "common/site_address.h"
#include "framework/inet.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

namespace {
constexpr DWORD kNoContentLength = 0xFFFFFFFF;

// The parts of a URL that a connection and a request need.
struct UrlParts {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object; // path and query
    bool secure = false;
};

bool CrackUrl(const wchar_t* url, UrlParts& parts)
{
    URL_COMPONENTSW components{};
    components.dwStructSize = sizeof components;
    // Non-zero lengths with null pointers: the parts are pointed to in place.
    components.dwHostNameLength = 1;
    components.dwUrlPathLength = 1;
    components.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url, 0, 0, &components) || !components.lpszHostName ||
        components.dwHostNameLength == 0)
        return false;
    if (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    parts.host.assign(components.lpszHostName, components.dwHostNameLength);
    parts.port = components.nPort;
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    if (components.lpszUrlPath)
        parts.object.assign(components.lpszUrlPath, components.dwUrlPathLength);
    if (components.lpszExtraInfo)
        parts.object.append(components.lpszExtraInfo, components.dwExtraInfoLength);
    if (parts.object.empty())
        parts.object = L"/";
    return true;
}

// Wine takes these options only from a connection handle down (on the
// session handle it ignores them, and InternetOpenUrlW then waits for ever on
// a server that never answers), so they are set where both honour them.
void SetTimeouts(HINTERNET connection, DWORD ms) noexcept
{
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD value = ms;
        ::InternetSetOptionW(connection, option, &value, sizeof value);
    }
}

DWORD QueryNumber(HINTERNET request, DWORD info, DWORD fallback) noexcept
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!::HttpQueryInfoW(request, info | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr))
        return fallback;
    return value;
}

// Reads the response body into `body`, at most `limit` bytes. False when a
// read fails, when the body ends before its announced length (a cut body is
// neither a version text nor a signature), or when it is not in by the
// deadline. A synchronous read waits until its whole count has come, however
// slowly the server sends it, so no read asks for more than has arrived.
bool ReadBody(HINTERNET request, std::string& body, std::size_t limit, const TransferPace& pace)
{
    const DWORD expected = QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, kNoContentLength);
    body.clear();
    char block[kHttpTextBufferSize];
    while (body.size() < limit) {
        DWORD available = 0;
        if (pace.Check(::GetTickCount64()) != TransferPace::Verdict::Going ||
            !::InternetQueryDataAvailable(request, &available, 0, 0))
            return false;
        if (available == 0)
            break;
        const std::size_t room =
            std::min({limit - body.size(), sizeof block, std::size_t{available}});
        DWORD read = 0;
        if (!::InternetReadFile(request, block, static_cast<DWORD>(room), &read))
            return false;
        if (read == 0)
            break;
        body.append(block, read);
    }
    if (pace.Check(::GetTickCount64()) != TransferPace::Verdict::Going)
        return false;
    // A full buffer leaves the rest of a longer body unread and unchecked.
    return body.size() == limit || expected == kNoContentLength || body.size() == expected;
}

// A request that was sent, and the connection it went over.
struct Exchange {
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
};

// Sends a GET for `url` in place of the exchange's last one. False when no
// answer came; the reason is logged (a certificate WinINet does not trust
// is one: 12037 expired, 12038 another name, 12057 an unknown authority).
bool Send(HINTERNET session, const std::wstring& url, DWORD timeoutMs, Exchange& exchange)
{
    exchange.request.reset();
    exchange.connection.reset();
    UrlParts parts;
    if (!CrackUrl(url.c_str(), parts))
        return false;
    exchange.connection.reset(::InternetConnectW(session, parts.host.c_str(), parts.port, nullptr,
                                                 nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!exchange.connection)
        return false;
    SetTimeouts(exchange.connection.get(), timeoutMs);
    const DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                        (parts.secure ? INTERNET_FLAG_SECURE : 0);
    exchange.request.reset(::HttpOpenRequestW(exchange.connection.get(), L"GET",
                                              parts.object.c_str(), nullptr, nullptr, nullptr,
                                              flags, 0));
    if (!exchange.request || !::HttpSendRequestW(exchange.request.get(), nullptr, 0, nullptr, 0)) {
        WriteLog(L"请求网址失败！%s 错误码：%d", url.c_str(), ::GetLastError());
        return false;
    }
    return true;
}

// Requests `url` and reads at most `limit` bytes of its body. False when no
// session can be opened; otherwise true, with `status` 0 when no answer came
// and `body` empty unless it was read whole (or up to the limit). Redirects
// are followed as long as they keep to https once there.
bool Fetch(const wchar_t* url, DWORD timeoutMs, std::size_t limit, DWORD& status, std::string& body)
{
    status = 0;
    body.clear();
    // The whole answer, from the request on, has to come within the time-out.
    const TransferPace pace(TransferLimits{timeoutMs, 0, 0, timeoutMs}, ::GetTickCount64());
    const UniqueInternetHandle session(
        ::InternetOpenW(L"GetURLRet", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        WriteLog(L"读取网址失败！%s", url);
        return false;
    }
    std::wstring address(url);
    Exchange exchange;
    for (int redirects = 0;; ++redirects) {
        // A chain of redirects is held to the same deadline as one answer.
        if (pace.Check(::GetTickCount64()) != TransferPace::Verdict::Going ||
            !Send(session.get(), address, timeoutMs, exchange))
            return true;
        std::wstring target = RedirectTarget(exchange.request.get(), address.c_str());
        if (target.empty())
            break;
        if (redirects == kMaxRedirects || !MayFollowRedirect(address, target)) {
            WriteLog(L"拒绝重定向：%s -> %s", address.c_str(), target.c_str());
            return true;
        }
        address = std::move(target);
    }
    status = QueryNumber(exchange.request.get(), HTTP_QUERY_STATUS_CODE, 0);
    if (!ReadBody(exchange.request.get(), body, limit, pace))
        body.clear();
    return true;
}
} // namespace

bool HttpGetText(const wchar_t* url, char (&buffer)[kHttpTextBufferSize], DWORD timeoutMs)
{
    if (!url) {
        WriteLog(L"读取网址URL为空！");
        return false;
    }
    std::memset(buffer, 0, sizeof buffer);
    DWORD status = 0;
    std::string body;
    if (!Fetch(url, timeoutMs, kHttpTextBufferSize - 1, status, body))
        return false;
    // Anything but the whole body of a successful answer leaves the buffer
    // empty, which no version comparison accepts.
    if (status >= 200 && status <= 299)
        std::memcpy(buffer, body.data(), body.size());
    return true;
}

bool HttpGetBytes(const wchar_t* url, std::size_t limit, std::string& body, DWORD timeoutMs)
{
    body.clear();
    DWORD status = 0;
    if (!url || !Fetch(url, timeoutMs, limit, status, body) || status != 200) {
        body.clear();
        return false;
    }
    return true;
}
