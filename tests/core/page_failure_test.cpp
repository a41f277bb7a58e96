#include "web/page_failure.h"
#include "web/page_panel_layout.h"
#include "web/retry_backoff.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(PageFailure, EachStatusCodeHasItsCause)
{
    const struct {
        std::uint32_t status;
        PageFailure failure;
    } rows[] = {
        // What Wine gives: refused, reset, unresolved, failed handshake; no answer.
        {0x800C0008, PageFailure::kUnreachable},
        {0, PageFailure::kUnreachable},
        {0x800C0004, PageFailure::kUnreachable}, // INET_E_CANNOT_CONNECT
        {0x800C0005, PageFailure::kUnreachable}, // INET_E_RESOURCE_NOT_FOUND
        {0x800C000B, PageFailure::kUnreachable}, // INET_E_CONNECTION_TIMEOUT
        {12007, PageFailure::kUnreachable},      // name not resolved
        {0x80072EFD, PageFailure::kUnreachable}, // 12029 as HRESULT_FROM_WIN32
        // Certificates and the secure channel.
        {0x800C0019, PageFailure::kSecureChannel}, // INET_E_INVALID_CERTIFICATE
        {0x800C000E, PageFailure::kSecureChannel}, // INET_E_SECURITY_PROBLEM
        {12038, PageFailure::kSecureChannel},      // a certificate for another name
        {12045, PageFailure::kSecureChannel},      // an unknown authority
        {12057, PageFailure::kSecureChannel},      // revocation not checked
        {0x80072F06, PageFailure::kSecureChannel}, // 12038 as HRESULT_FROM_WIN32
        {12157, PageFailure::kSecureChannel},      // secure channel error
        // The server answered with an error for the page.
        {400, PageFailure::kServerError},
        {404, PageFailure::kServerError},
        {503, PageFailure::kServerError},
        {999, PageFailure::kServerError},
        // Not about the network.
        {0x800C0010, PageFailure::kNone}, // Wine, every page served: no HTML engine
        {0x800C0018, PageFailure::kNone}, // INET_E_TERMINATED_BIND: another navigation
        {0x800C0002, PageFailure::kNone}, // INET_E_INVALID_URL
        {0x80004004, PageFailure::kNone}, // E_ABORT
        {200, PageFailure::kNone},
        {204, PageFailure::kNone},
        {399, PageFailure::kNone},
        {1000, PageFailure::kNone},
        {12032, PageFailure::kNone},      // ERROR_INTERNET_FORCE_RETRY
        {0x80070000, PageFailure::kNone}, // HRESULT_FROM_WIN32(0) is S_OK's twin, not status 0
        {0xFFFFFFFF, PageFailure::kNone},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PageFailureOf(row.status), row.failure) << std::hex << "0x" << row.status;
}

TEST(PageFailure, PlayerTextNamesTheCauseAndAServerErrorsStatus)
{
    EXPECT_EQ(PageFailureText(PageFailure::kUnreachable, 0x800C0008),
              L"Cannot reach the game's servers.");
    EXPECT_EQ(PageFailureText(PageFailure::kSecureChannel, 12038),
              L"The secure connection to the game's server failed.");
    EXPECT_EQ(PageFailureText(PageFailure::kServerError, 503),
              L"The game's server answered with an error (HTTP 503).");
    EXPECT_EQ(PageFailureText(PageFailure::kNone, 0x800C0010), L"");
    EXPECT_EQ(RetryCountdownText(8), L"Trying again in 8 s");
    EXPECT_EQ(RetryCountdownText(60), L"Trying again in 60 s");
    EXPECT_EQ(RetryCountdownText(0), L"Trying again\u2026");
}

TEST(RetryBackoff, EachTryWaitsBetweenHalfItsLimitAndTheLimitCappedAtAMinute)
{
    const std::uint32_t limits[] = {4000, 8000, 16000, 32000, 60000, 60000};
    RetryBackoff backoff;
    for (const std::uint32_t limit : limits) {
        EXPECT_EQ(RetryBackoff::LongestWaitMs(backoff.Tries() + 1), limit);
        EXPECT_EQ(backoff.NextWaitMs(0), limit / 2) << "try " << backoff.Tries() + 1;
        EXPECT_EQ(backoff.NextWaitMs(limit / 2), limit);
        EXPECT_EQ(backoff.NextWaitMs(std::numeric_limits<std::uint32_t>::max()),
                  limit / 2 + std::numeric_limits<std::uint32_t>::max() % (limit / 2 + 1));
        for (std::uint32_t random = 1; random < 2000000000u; random = random * 7 + 3) {
            const std::uint32_t wait = backoff.NextWaitMs(random);
            ASSERT_GE(wait, limit / 2);
            ASSERT_LE(wait, limit);
        }
        backoff.CountTry();
    }
    EXPECT_EQ(RetryBackoff::LongestWaitMs(0), 2000u);
    EXPECT_EQ(RetryBackoff::LongestWaitMs(40), 60000u) << "no overflow far past the cap";
    EXPECT_EQ(RetryBackoff::LongestWaitMs(std::numeric_limits<unsigned>::max()), 60000u);
}

TEST(RetryBackoff, ALoadedPageStartsTheNextOutageAtTheFirstWait)
{
    RetryBackoff backoff;
    for (int i = 0; i < 2000; ++i)
        backoff.CountTry();
    EXPECT_EQ(backoff.NextWaitMs(0), 30000u) << "the count stops, the wait stays capped";
    backoff.Reset();
    EXPECT_EQ(backoff.Tries(), 0u);
    EXPECT_EQ(backoff.NextWaitMs(0), 2000u);
    EXPECT_EQ(backoff.NextWaitMs(2000), 4000u);
}

TEST(PagePanelLayout, TheBlockIsCentredAndScalesWithTheScreen)
{
    // The login page's place at 100 % with a 112 x 32 Retry face.
    const PagePanelLayout at100 = LayOutPagePanel(650, 330, 112, 32, DpiScale());
    EXPECT_EQ(at100.cause.top, 115);
    EXPECT_EQ(at100.cause.left, 24);
    EXPECT_EQ(at100.cause.right, 626);
    EXPECT_EQ(at100.countdown.top, at100.cause.bottom + 6);
    EXPECT_EQ(at100.retry.left, 269);
    EXPECT_EQ(at100.retry.top, 183);
    EXPECT_EQ(at100.retry.bottom, 215);
    // At 150 % the page is 975 x 495 and the face 168 x 48.
    const PagePanelLayout at150 = LayOutPagePanel(975, 495, 168, 48, DpiScale(144));
    EXPECT_EQ(at150.retry.left, 403);
    EXPECT_EQ(at150.retry.top, (495 - 150) / 2 + 36 + 9 + 30 + 27);
    EXPECT_EQ(at150.retry.right - at150.retry.left, 168);
    // Smaller than the block: it starts at the top, never above it.
    EXPECT_EQ(LayOutPagePanel(100, 50, 112, 32, DpiScale()).cause.top, 0);
}

} // namespace
