// Statements that steer the batch: WAITFOR.

#include "Executor.h"

namespace qts {

namespace {

constexpr std::uint32_t kTicksPerDay = 24u * 3600u * 300u;

std::chrono::milliseconds ticksToMs(std::uint64_t ticks)
{
    return std::chrono::milliseconds((ticks * 10 + 1) / 3);
}

} // namespace

void Executor::waitFor(const WaitForStmt &st)
{
    std::uint64_t ticks = st.ticks;
    if (!st.delay) {
        // Until that time of day: later today, or tomorrow when it has passed.
        std::int32_t days;
        std::uint32_t now;
        currentDateTime(days, now);
        ticks = st.ticks > now ? st.ticks - now : kTicksPerDay - now + st.ticks;
    }
    if (!sink_.pause(ticksToMs(ticks)))
        cancelBatch();
    done(false, 0, 0);
}

} // namespace qts
