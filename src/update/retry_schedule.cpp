#include "update/retry_schedule.h"

#include <algorithm>

std::uint32_t RetrySchedule::NextWaitMs() noexcept
{
    // The last wait is cut short so that the waits add up to the total.
    const std::uint32_t wait = std::min(m_next, m_total - m_waited);
    m_waited += wait;
    m_next = std::min(m_next * 2, std::uint32_t{kLongestWaitMs});
    return wait;
}
