#include "web/retry_backoff.h"

std::uint32_t RetryBackoff::LongestWaitMs(unsigned n) noexcept
{
    std::uint32_t wait = kBaseMs;
    // Doubling stops at the cap, so no n overflows.
    for (unsigned i = 0; i < n && wait < kCapMs; ++i)
        wait *= 2;
    return wait < kCapMs ? wait : kCapMs;
}

std::uint32_t RetryBackoff::NextWaitMs(std::uint32_t random) const noexcept
{
    const std::uint32_t longest = LongestWaitMs(m_tries + 1);
    const std::uint32_t shortest = longest / 2;
    return shortest + random % (longest - shortest + 1);
}

void RetryBackoff::CountTry() noexcept
{
    // Far beyond the cap; only keeps the count from wrapping round.
    if (m_tries < 1000)
        ++m_tries;
}
