// The update's clocks: the limits a transfer is held to (stall, rate, whole
// time) and the waits between tries of a busy file.
#include "download/transfer_pace.h"
#include "update/retry_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

using Verdict = TransferPace::Verdict;
using Arrivals = std::vector<std::pair<std::uint64_t, std::uint64_t>>; // (time, bytes)

// The rule as it reads, checked the slow way: no byte for idleMs, the whole
// time, and every window (first + k s, first + k s + windowMs] that has ended.
Verdict Reference(const TransferLimits& limits, const Arrivals& arrivals, std::uint64_t now)
{
    std::uint64_t last = 0;
    for (const auto& [at, bytes] : arrivals)
        if (at <= now && bytes > 0)
            last = at;
    if (now - last >= limits.idleMs)
        return Verdict::Stalled;
    if (now >= limits.totalMs)
        return Verdict::TooLong;
    if (arrivals.empty() || arrivals.front().first > now)
        return Verdict::Going;
    const std::uint64_t first = arrivals.front().first;
    for (std::uint64_t start = first; start + limits.windowMs <= now; start += 1000) {
        std::uint64_t in = 0;
        for (const auto& [at, bytes] : arrivals)
            in += at > start && at <= start + limits.windowMs ? bytes : 0;
        if (in < limits.windowBytes)
            return Verdict::TooSlow;
    }
    return Verdict::Going;
}

// A steady 2 KiB/s keeps up with the rate rule to the byte; a byte a second
// less does not, from 30 s after the first byte on.
TEST(TransferPace, TwoKibibytesASecondIsJustEnough)
{
    for (const std::uint64_t perSecond : {2048u, 2047u}) {
        TransferPace pace(kDownloadLimits, 0);
        std::uint64_t now = 500;
        for (std::uint64_t total = perSecond; now < 100000; now += 1000, total += perSecond) {
            pace.Received(now, total);
            if (pace.Check(now) != Verdict::Going)
                break;
        }
        EXPECT_EQ(now, perSecond == 2048 ? 100500u : 30500u) << perSecond;
    }
}

// Uneven arrivals, against the rule checked the slow way at every 100 ms:
// fast and slow stretches, gaps longer and shorter than the stall, bursts
// that carry a window on their own.
TEST(TransferPace, JudgesUnevenArrivalsAsTheRuleReads)
{
    std::uint32_t seed = 28;
    const auto next = [&](std::uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int pattern = 0; pattern < 40; ++pattern) {
        Arrivals arrivals;
        std::uint64_t t = 200 + next(3000);
        while (t < 120000) {
            arrivals.emplace_back(t, next(4) == 0 ? 40000 + next(40000) : next(3000));
            t += 1 + (next(8) == 0 ? next(36000) : next(1500));
        }
        // Half the patterns also meet the whole time's limit.
        const TransferLimits limits =
            pattern % 2 ? kDownloadLimits : TransferLimits{30000, 30000, 30 * 2048, 60000};
        TransferPace pace(limits, 0);
        std::uint64_t total = 0;
        std::size_t fed = 0;
        for (std::uint64_t now = 0; now < 125000; now += 100) {
            for (; fed < arrivals.size() && arrivals[fed].first <= now; ++fed) {
                total += arrivals[fed].second;
                pace.Received(arrivals[fed].first, total);
            }
            const Verdict expected = Reference(limits, arrivals, now);
            ASSERT_EQ(pace.Check(now), expected) << "pattern " << pattern << " at " << now;
            if (expected != Verdict::Going)
                break;
        }
    }
}

// The patience is the time to the first failure when nothing more arrives,
// so the read that waits for the next byte never outlasts the rules.
TEST(TransferPace, PatienceEndsWhereTheRulesWouldEndTheTransfer)
{
    const Arrivals arrivals = {{700, 50000}, {9000, 65000}, {21000, 2000}, {33000, 70000}};
    const std::uint64_t expected[] = {30000, 30000, 18700, 30000};
    TransferPace pace(kDownloadLimits, 0);
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const auto [at, bytes] = arrivals[i];
        total += bytes;
        pace.Received(at, total);
        const std::uint64_t patience = pace.PatienceMs(at);
        // At 21 s the window from 9.7 s holds 2000 bytes: it would end the
        // transfer at 39.7 s, before the stall at 51 s.
        EXPECT_EQ(patience, expected[i]) << at;
        EXPECT_EQ(pace.Check(at + patience - 1), Verdict::Going) << at;
        EXPECT_NE(pace.Check(at + patience), Verdict::Going) << at;
    }
    EXPECT_EQ(pace.PatienceMs(63000), 0u);
}

TEST(RetrySchedule, WaitsFiftyMillisecondsDoublingToOneSecondForTenSecondsInAll)
{
    RetrySchedule schedule;
    std::vector<std::uint32_t> waits;
    for (std::uint32_t wait = schedule.NextWaitMs(); wait != 0; wait = schedule.NextWaitMs())
        waits.push_back(wait);
    const std::vector<std::uint32_t> expected = {50,   100,  200,  400,  800,  1000, 1000,
                                                 1000, 1000, 1000, 1000, 1000, 1000, 450};
    EXPECT_EQ(waits, expected);
    EXPECT_EQ(schedule.WaitedMs(), 10000u);
    EXPECT_EQ(schedule.NextWaitMs(), 0u) << "spent stays spent";
}

} // namespace
