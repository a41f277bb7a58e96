#include "download/transfer_pace.h"

#include <algorithm>

TransferPace::TransferPace(const TransferLimits& limits, std::uint64_t startMs)
    : m_limits(limits), m_start(startMs), m_lastByte(startMs),
      // The windows not yet judged start within the last windowMs: that many
      // steps and two more for the edges.
      m_startTotals(limits.windowMs / kWindowStepMs + 2, 0)
{
}

std::uint64_t TransferPace::WindowStart(std::uint64_t k) const noexcept
{
    return m_firstByte + k * kWindowStepMs;
}

std::uint64_t TransferPace::WindowEnd(std::uint64_t k) const noexcept
{
    return WindowStart(k) + m_limits.windowMs;
}

std::uint64_t TransferPace::TotalAtWindowStart(std::uint64_t k) const noexcept
{
    return k < m_recorded ? m_startTotals[k % m_startTotals.size()] : m_total;
}

bool TransferPace::WindowFails(std::uint64_t k) const noexcept
{
    return m_total - TotalAtWindowStart(k) < m_limits.windowBytes;
}

void TransferPace::Settle(std::uint64_t nowMs, bool before)
{
    if (!Started() || m_limits.windowBytes == 0)
        return;
    const auto passed = [&](std::uint64_t t) { return before ? t < nowMs : t <= nowMs; };
    // Windows are judged before their start totals can be overwritten: the
    // ring holds the starts of every window that has not ended.
    for (; m_judged < m_recorded && passed(WindowEnd(m_judged)); ++m_judged)
        m_tooSlow = m_tooSlow || WindowFails(m_judged);
    for (; passed(WindowStart(m_recorded)); ++m_recorded) {
        m_startTotals[m_recorded % m_startTotals.size()] = m_total;
        for (; m_judged <= m_recorded && passed(WindowEnd(m_judged)); ++m_judged)
            m_tooSlow = m_tooSlow || WindowFails(m_judged);
    }
}

void TransferPace::Received(std::uint64_t nowMs, std::uint64_t total)
{
    // What arrives now counts for the windows that end now or later.
    Settle(nowMs, true);
    if (total > m_total) {
        if (!Started())
            m_firstByte = nowMs;
        m_total = total;
        m_lastByte = nowMs;
    }
    Settle(nowMs, false);
}

TransferPace::Verdict TransferPace::Check(std::uint64_t nowMs) const noexcept
{
    if (nowMs - m_lastByte >= m_limits.idleMs)
        return Verdict::Stalled;
    if (nowMs - m_start >= m_limits.totalMs)
        return Verdict::TooLong;
    if (m_tooSlow)
        return Verdict::TooSlow;
    if (Started() && m_limits.windowBytes > 0) {
        for (std::uint64_t k = m_judged; WindowEnd(k) <= nowMs; ++k) {
            if (WindowFails(k))
                return Verdict::TooSlow;
        }
    }
    return Verdict::Going;
}

std::uint64_t TransferPace::PatienceMs(std::uint64_t nowMs) const noexcept
{
    if (Check(nowMs) != Verdict::Going)
        return 0;
    std::uint64_t patience = std::min(m_lastByte + m_limits.idleMs, m_start + m_limits.totalMs);
    if (Started() && m_limits.windowBytes > 0) {
        // The first window still open that nothing more arriving would fail.
        // Later windows start from larger totals, so once one fails, all after it do.
        std::uint64_t k = m_judged;
        while (WindowEnd(k) <= nowMs || !WindowFails(k))
            ++k;
        patience = std::min(patience, WindowEnd(k));
    }
    return patience - nowMs;
}
