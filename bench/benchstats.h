#pragma once

// The timing and statistics every benchmark reports the same way: series of
// milliseconds, their mean, median and best, and the ratios of two series.

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace BenchStats {

// Milliseconds one call of work takes.
template <typename Work>
double elapsedMs(Work &&work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

// The middle value; for an even count the mean of the two middle ones.
// 0 for no values.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Series
{
    std::vector<double> ms;

    void add(double value) { ms.push_back(value); }
    double mean() const
    {
        double sum = 0;
        for (double value : ms)
            sum += value;
        return ms.empty() ? 0 : sum / ms.size();
    }
    double median() const { return BenchStats::median(ms); }
    double best() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
};

// How two series compare, by their means and by their medians.
struct Ratios
{
    double means;
    double medians;
};

inline Ratios ratios(const Series &numerator, const Series &denominator)
{
    return {numerator.mean() / denominator.mean(), numerator.median() / denominator.median()};
}

} // namespace BenchStats
