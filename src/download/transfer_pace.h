// How long a transfer may take and whether it keeps up: the limits a
// download and a short page are held to, judged from the bytes that arrived
// and when. Platform-free; times are milliseconds of one monotonic clock.
#pragma once

#include <cstdint>
#include <vector>

struct TransferLimits {
    std::uint32_t idleMs;      // no byte for this long, from the start or the last byte: stalled
    std::uint32_t windowMs;    // once the first byte is in, each window of this length...
    std::uint64_t windowBytes; // ...must bring at least this many bytes (0: no rate rule)
    std::uint32_t totalMs;     // the whole transfer, from its start
};

// A new launcher: no byte for 30 s, less than 2 KiB/s over 30 s, or 10 minutes in all.
inline constexpr TransferLimits kDownloadLimits{30000, 30000, 30 * 2048, 600000};
// The version page and the signature: answered in full within 8 s.
inline constexpr TransferLimits kPageLimits{8000, 0, 0, 8000};

class TransferPace {
public:
    enum class Verdict { Going, Stalled, TooSlow, TooLong };

    // The rate windows start one second apart from the first byte's arrival:
    // window k takes in what arrives after first + k s, up to and with
    // first + k s + windowMs.
    static constexpr std::uint32_t kWindowStepMs = 1000;

    TransferPace(const TransferLimits& limits, std::uint64_t startMs);

    // `total` bytes had arrived by `nowMs`. Times and totals never go back.
    void Received(std::uint64_t nowMs, std::uint64_t total);
    // Whether the transfer may go on at `nowMs`, with nothing more arrived
    // since the last Received.
    Verdict Check(std::uint64_t nowMs) const noexcept;
    // How long from `nowMs` the transfer may wait for its next byte before a
    // limit ends it; 0 once one has.
    std::uint64_t PatienceMs(std::uint64_t nowMs) const noexcept;

private:
    bool Started() const noexcept { return m_total > 0; }
    std::uint64_t WindowStart(std::uint64_t k) const noexcept;
    std::uint64_t WindowEnd(std::uint64_t k) const noexcept;
    // The total at window k's start, as recorded or, when it lies after the
    // last arrival, the current total.
    std::uint64_t TotalAtWindowStart(std::uint64_t k) const noexcept;
    bool WindowFails(std::uint64_t k) const noexcept;
    // Records window starts up to `nowMs` (before it when `before`) and
    // judges the windows that ended, with the total as it is now.
    void Settle(std::uint64_t nowMs, bool before);

    TransferLimits m_limits;
    std::uint64_t m_start;
    std::uint64_t m_lastByte;                 // the start until the first byte
    std::uint64_t m_firstByte = 0;            // when the first byte arrived
    std::uint64_t m_total = 0;                // bytes in so far
    std::uint64_t m_recorded = 0;             // window starts recorded so far
    std::uint64_t m_judged = 0;               // windows judged so far
    bool m_tooSlow = false;                   // a judged window failed
    std::vector<std::uint64_t> m_startTotals; // ring of the totals at recent window starts
};
