// Removal of traces with rarely seen extreme delays from an output: decided
// from the delays of every trace the output will hold, applied while it is
// written.
#pragma once

#include "combine/job_state.h"

#include <cstdint>
#include <string_view>

namespace tessara
{

/// Status line when the scan leaves the output as it is.
constexpr std::string_view kNoDelaysDroppedStatus = "No delays dropped";
/// Status line while an output is written without the dropped traces.
constexpr std::string_view kDelayFixStatus = " Transcribing Delay Fix ";

/// The delays (delayRecordingTime, ms) an output keeps, from the histogram
/// of every trace it would hold otherwise. delay_threshold is max(1, traces
/// x 0.001 truncated); the smallest delay value is removed from the table
/// while its count is below the threshold, then the largest likewise; values
/// between the two ends stay, however rare.
struct DelayScanDecision {
    /// Whether any value goes: traces with a delay outside min..max are not
    /// written. An output without traces, or one whose every value is rarer
    /// than the threshold, keeps all of them.
    bool removes = false;
    std::int16_t min = 0;
    std::int16_t max = 0;
    std::int64_t removed = 0; ///< traces that carry a removed value

    [[nodiscard]] bool Drops(std::int16_t delay) const
    {
        return removes && (delay < min || delay > max);
    }
};
[[nodiscard]] DelayScanDecision DecideDelayScan(const DelayHistogram& delays);

} // namespace tessara
