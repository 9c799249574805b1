#pragma once

#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

// CPU time of the calling thread, in ms.
inline double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// CPU time of one call of work on this thread, in ms.
inline double CpuMs(const std::function<void()>& work) {
    const double start = ThreadCpuMs();
    work();
    return ThreadCpuMs() - start;
}

inline double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Median CPU time of this thread: on two shared cores the wall time mostly measures the
// neighbours.
inline double MedianMs(int repetitions, const std::function<void()>& work) {
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r)
        times.push_back(CpuMs(work));
    return Median(std::move(times));
}
