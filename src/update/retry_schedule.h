// When to try again a file operation that another program blocks for a
// while, as a virus scanner does with a new file for a few seconds: first
// after 50 ms, then each wait twice the one before but at most 1 s, until
// 10 s have been waited in all. Platform-free.
#pragma once

#include <cstdint>

class RetrySchedule {
public:
    static constexpr std::uint32_t kFirstWaitMs = 50;
    static constexpr std::uint32_t kLongestWaitMs = 1000;
    static constexpr std::uint32_t kTotalWaitMs = 10000;

    // Only tests wait less in all.
    explicit RetrySchedule(std::uint32_t totalWaitMs = kTotalWaitMs) noexcept : m_total(totalWaitMs)
    {
    }

    // The wait before the next try; 0 once the time is spent, when the
    // operation is given up.
    std::uint32_t NextWaitMs() noexcept;
    std::uint32_t WaitedMs() const noexcept { return m_waited; }

private:
    std::uint32_t m_total;
    std::uint32_t m_next = kFirstWaitMs;
    std::uint32_t m_waited = 0;
};
