#pragma once

// The clocks and the summary the benchmarks share.

#include <QElapsedTimer>

#include <algorithm>
#include <ctime>
#include <vector>

namespace benchtime {

// The middle figure (the mean of the two middle ones for an even count); 0 for none.
inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// Processor time of this thread, in ms: on a machine shared with other work, closer to what an idle
// machine takes than the clock on the wall.
inline double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace benchtime
