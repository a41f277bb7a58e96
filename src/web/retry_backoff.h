// When a page that did not load is tried again by itself: capped exponential
// back-off with jitter. The n-th automatic try waits d = min(60 s, 2 s x 2^n),
// drawn at random between d/2 and d, so players behind one outage do not
// all come back in the same second. Platform-free.
#pragma once

#include <cstdint>

class RetryBackoff {
public:
    static constexpr std::uint32_t kBaseMs = 2000;
    static constexpr std::uint32_t kCapMs = 60000;

    // d for the n-th automatic try (n from 1), in milliseconds.
    static std::uint32_t LongestWaitMs(unsigned n) noexcept;

    // The wait before the next automatic try, try Tries() + 1, drawn from the
    // 32-bit random number `random`: between d/2 and d, both included.
    std::uint32_t NextWaitMs(std::uint32_t random) const noexcept;
    // An automatic try was made. A try the player asks for does not count.
    void CountTry() noexcept;
    // A page loaded: the next failure starts again with the first wait.
    void Reset() noexcept { m_tries = 0; }
    unsigned Tries() const noexcept { return m_tries; }

private:
    unsigned m_tries = 0;
};
