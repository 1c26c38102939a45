// The reference the clip-level estimate is held against.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessara::test
{

/// The nearest-rank percentile by sorting: the smallest magnitude that at
/// least `percent` per cent of `magnitudes` do not exceed.
inline double ExactPercentile(std::vector<double> magnitudes, double percent)
{
    std::sort(magnitudes.begin(), magnitudes.end());
    const auto rank = static_cast<std::size_t>(
        std::max(1.0, std::ceil(percent / 100.0 * static_cast<double>(magnitudes.size()))));
    return magnitudes[rank - 1];
}

} // namespace tessara::test
