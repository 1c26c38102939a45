#include "combine/delay_scan.h"

#include <algorithm>
#include <iterator>

namespace tessara
{

namespace
{

// delay_threshold: max(1, traces x 0.001 truncated). Integer division gives
// the same value as the truncated product for every count a file can hold,
// without depending on how 0.001 rounds.
std::int64_t DelayThreshold(std::int64_t traces)
{
    return std::max<std::int64_t>(1, traces / 1000);
}

} // namespace

DelayScanDecision DecideDelayScan(const DelayHistogram& delays)
{
    DelayScanDecision d;
    std::int64_t traces = 0;
    for (const auto& [delay, count] : delays)
        traces += count;
    // Only the ends are trimmed: a rare value between two common ones stays.
    // When every value is rare the output keeps its traces rather than lose
    // all of them.
    const std::int64_t threshold = DelayThreshold(traces);
    auto first = delays.begin();
    auto last = delays.end();
    while (first != last && first->second < threshold)
        ++first;
    while (first != last && std::prev(last)->second < threshold)
        --last;
    if (first == last || (first == delays.begin() && last == delays.end()))
        return d;
    d.removes = true;
    d.min = first->first;
    d.max = std::prev(last)->first;
    for (const auto& [delay, count] : delays)
        if (d.Drops(delay))
            d.removed += count;
    return d;
}

} // namespace tessara
