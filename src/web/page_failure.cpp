#include "web/page_failure.h"

#include "update/version_text.h"

#include <iterator>

namespace {

struct StatusRow {
    std::uint32_t status;
    PageFailure failure;
};

// Windows documents NavigateError's status codes as the URL moniker errors
// (INET_E_*, urlmon.h) and the HTTP statuses 400 to 505. Wine 8 gives, as
// measured with its WebBrowser control against local servers:
//   port closed (connection refused)      0x800C0008 INET_E_DOWNLOAD_FAILURE
//   connection reset before an answer      0x800C0008
//   host name not resolved                 0x800C0008
//   TLS handshake with a plain HTTP port   0x800C0008
//   server closes without an answer        0, then 0x800C0010
//   HTTP 503 (404, ...) for the page       503 (404, ...), then 0x800C0010
//   certificate prompt declined            0x800C0019 INET_E_INVALID_CERTIFICATE
//   page served (no HTML engine)           0x800C0010 INET_E_CANNOT_INSTANTIATE_OBJECT
// Wine reads a connection that closed before any answer as a response with
// status 0, a code Windows does not document.
constexpr StatusRow kStatuses[] = {
    {0, PageFailure::kUnreachable},
    {0x800C0003, PageFailure::kUnreachable},   // INET_E_NO_SESSION
    {0x800C0004, PageFailure::kUnreachable},   // INET_E_CANNOT_CONNECT
    {0x800C0005, PageFailure::kUnreachable},   // INET_E_RESOURCE_NOT_FOUND: no such server
    {0x800C0007, PageFailure::kUnreachable},   // INET_E_DATA_NOT_AVAILABLE
    {0x800C0008, PageFailure::kUnreachable},   // INET_E_DOWNLOAD_FAILURE
    {0x800C000B, PageFailure::kUnreachable},   // INET_E_CONNECTION_TIMEOUT
    {0x800C000E, PageFailure::kSecureChannel}, // INET_E_SECURITY_PROBLEM
    {0x800C0019, PageFailure::kSecureChannel}, // INET_E_INVALID_CERTIFICATE
    // WinINet's own numbers (wininet.h).
    {12002, PageFailure::kUnreachable},   // ERROR_INTERNET_TIMEOUT
    {12007, PageFailure::kUnreachable},   // ERROR_INTERNET_NAME_NOT_RESOLVED
    {12029, PageFailure::kUnreachable},   // ERROR_INTERNET_CANNOT_CONNECT
    {12030, PageFailure::kUnreachable},   // ERROR_INTERNET_CONNECTION_ABORTED
    {12031, PageFailure::kUnreachable},   // ERROR_INTERNET_CONNECTION_RESET
    {12152, PageFailure::kUnreachable},   // ERROR_HTTP_INVALID_SERVER_RESPONSE
    {12163, PageFailure::kUnreachable},   // ERROR_INTERNET_DISCONNECTED
    {12164, PageFailure::kUnreachable},   // ERROR_INTERNET_SERVER_UNREACHABLE
    {12037, PageFailure::kSecureChannel}, // ERROR_INTERNET_SEC_CERT_DATE_INVALID
    {12038, PageFailure::kSecureChannel}, // ERROR_INTERNET_SEC_CERT_CN_INVALID
    {12044, PageFailure::kSecureChannel}, // ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED
    {12045, PageFailure::kSecureChannel}, // ERROR_INTERNET_INVALID_CA
    {12055, PageFailure::kSecureChannel}, // ERROR_INTERNET_SEC_CERT_ERRORS
    {12056, PageFailure::kSecureChannel}, // ERROR_INTERNET_SEC_CERT_NO_REV
    {12057, PageFailure::kSecureChannel}, // ERROR_INTERNET_SEC_CERT_REV_FAILED
    {12157, PageFailure::kSecureChannel}, // ERROR_INTERNET_SECURITY_CHANNEL_ERROR
    {12169, PageFailure::kSecureChannel}, // ERROR_INTERNET_SEC_INVALID_CERT
    {12170, PageFailure::kSecureChannel}, // ERROR_INTERNET_SEC_CERT_REVOKED
};

constexpr std::uint32_t kWin32Facility = 0x80070000; // HRESULT_FROM_WIN32
constexpr std::uint32_t kFirstHttpError = 400;
constexpr std::uint32_t kLastHttpStatus = 999;

bool IsHttpError(std::uint32_t status) noexcept
{
    return status >= kFirstHttpError && status <= kLastHttpStatus;
}

} // namespace

PageFailure PageFailureOf(std::uint32_t status) noexcept
{
    if (IsHttpError(status))
        return PageFailure::kServerError;
    if ((status & 0xFFFF0000u) == kWin32Facility && status != kWin32Facility)
        status &= 0xFFFFu;
    for (const StatusRow& row : kStatuses)
        if (row.status == status)
            return row.failure;
    return PageFailure::kNone;
}

std::wstring PageFailureText(PageFailure failure, std::uint32_t status)
{
    switch (failure) {
    case PageFailure::kNone: return {};
    case PageFailure::kUnreachable: return L"Cannot reach the game's servers.";
    case PageFailure::kSecureChannel: return L"The secure connection to the game's server failed.";
    case PageFailure::kServerError:
        if (IsHttpError(status))
            return L"The game's server answered with an error (HTTP " + DecimalText(status) +
                   L").";
        return L"The game's server answered with an error.";
    }
    return {};
}

std::wstring RetryCountdownText(int seconds)
{
    if (seconds <= 0)
        return L"Trying again\u2026";
    return L"Trying again in " + DecimalText(seconds) + L" s";
}
