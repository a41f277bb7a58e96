// Why a browser's page did not load, as its NavigateError event's status
// code tells it, and the words the player reads about it. Platform-free.
#pragma once

#include <cstdint>
#include <string>

enum class PageFailure {
    kNone,          // not about the network: the page came (Wine's 0x800C0010
                    // for every page it cannot render), or the navigation was
                    // stopped or refused for some other reason
    kUnreachable,   // the game's servers did not answer
    kSecureChannel, // the certificate or the secure channel failed
    kServerError,   // the server answered the page with an HTTP error
};

// `status` is the event's VT_I4 StatusCode, HRESULTs as their 32 bits. WinINet
// error numbers count too, bare or as HRESULT_FROM_WIN32: they are what the
// browser reports to its host when it refuses a certificate.
PageFailure PageFailureOf(std::uint32_t status) noexcept;

// The line that tells the player what went wrong; the HTTP status is part of
// it for a server error. Empty for kNone.
std::wstring PageFailureText(PageFailure failure, std::uint32_t status);

// "Trying again in 8 s"; "Trying again..." once the time is up.
std::wstring RetryCountdownText(int seconds);
