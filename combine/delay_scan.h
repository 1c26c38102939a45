// Removal of traces with rarely seen extreme delays from a closed output.
#pragma once

#include <cstdint>
#include <string>

namespace tessara {

struct JobContext;

/// State the delay scan keeps between outputs.
struct DelayScanState {};

/// Counts the delays of every trace in the closed output at `path`, takes the
/// rarest values at both extremes of the delay range as erroneous and
/// rewrites the file under the same path without the traces that carry them.
/// Returns the number of traces removed. A write failure is recorded in the
/// job state (the file at `path` is then left as it was).
[[nodiscard]] std::int64_t ScanFileAndMeasureTraceDelayFrequencys(const JobContext& ctx,
                                                                  const std::string& path);

} // namespace tessara
