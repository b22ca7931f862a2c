#include "bench/BenchTiming.h"

#include <windows.h>

#include <algorithm>

namespace bench {

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Measure(const std::function<void()>& work, int perBatch, int batches,
               const std::function<void()>& settle) {
    for (int i = 0; i < perBatch; ++i)
        work();
    std::vector<double> times;
    for (int b = 0; b < batches; ++b) {
        if (settle)
            settle();
        const double start = Now();
        for (int i = 0; i < perBatch; ++i)
            work();
        if (settle)
            settle();
        times.push_back((Now() - start) / perBatch);
    }
    return Median(times);
}

} // namespace bench
