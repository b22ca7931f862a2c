// The timing every benchmark program shares: one clock, and the median of
// batches, so that their figures are taken the same way and stay comparable.
#pragma once

#include <functional>
#include <vector>

namespace bench {

// Seconds on the performance counter, whose frequency is read once.
double Now();

// The middle value; the median rather than the mean, since other work on the
// machine only ever adds time, and now and then a great deal of it.
double Median(std::vector<double> values);

// Seconds per call of work: the median of batches of perBatch calls, after one
// batch that warms caches and first-use allocations. settle, when given, runs
// before each timed batch, outside its time, and again at its end, inside it:
// GdiFlush, say, so that the drawing a batch queues is paid by that batch and
// not by the next.
double Measure(const std::function<void()>& work, int perBatch, int batches,
               const std::function<void()>& settle = nullptr);

} // namespace bench
