// Removal of traces with rarely seen extreme delays from a closed output.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tessara
{

class CSegyTrace;
struct JobContext;

/// Status line while the delays are counted, and the text it starts anew
/// with when the dots make it longer than kDelayScanStatusWidth characters.
constexpr std::string_view kDelayScanStatus = " Scanning output for delays ";
/// The same while the file is rewritten without the dropped traces.
constexpr std::string_view kDelayFixStatus = " Transcribing Delay Fix ";
/// Status line when the scan leaves the file as it was.
constexpr std::string_view kNoDelaysDroppedStatus = "No delays dropped";
/// Longest status line the dots may make, characters.
constexpr std::size_t kDelayScanStatusWidth = 80;
/// Traces per dot and per pass of pending events.
constexpr std::int64_t kDelayScanTracesPerDot = 100;
/// Appended to the scanned path for the rewritten copy ("SegyOut.sgyNEW").
constexpr std::string_view kDelayScanTemporarySuffix = "NEW";

/// Histogram of the delays of the working output, kept while it is written so
/// that the scan need not read the closed file once more just to count. It
/// is used only when it is known to describe the file as closed: every
/// record of the file went through CountWrittenTraceDelay, the file still
/// has the size and identity it had then, and no step rewrote it since
/// (speed correction). Otherwise the scan counts by reading the file.
struct DelayScanState {
    /// delayRecordingTime (ms) -> traces of the working output that carry it.
    std::map<std::int16_t, std::int64_t> delays;
    std::int64_t traces = 0;  ///< records counted
    std::int64_t bytes = 0;   ///< file size those records make, file header included
    std::uint64_t device = 0; ///< identity of the working file when counting began
    std::uint64_t inode = 0;
    /// False when a record was written that reads back differently (no
    /// samples, so the reader would take the file header's count).
    bool exact = false;
};

/// Counts one record just written to the working output (real or fill
/// trace); the first record of an output starts the histogram anew. Every
/// record written to the working output must pass through here for the
/// histogram to be used.
void CountWrittenTraceDelay(const JobContext& ctx, const CSegyTrace& trace);

/// Counts the delays (delayRecordingTime, trace header bytes 108-109, ms) of
/// every trace in the closed SEG-Y file at `path`. delay_threshold is
/// max(1, traces x 0.001 truncated); the smallest delay value is removed from
/// the table while its count is below the threshold, then the largest
/// likewise; values between the two ends stay, however rare. When a value
/// was removed, the file is rewritten through `path` + "NEW" without the
/// traces that carry it (order kept, traces as the reader delivers them) and
/// the copy replaces the file only once it is completely written and closed.
/// A file without traces, or one whose every value is rarer than the
/// threshold, is left as it is ("No delays dropped").
///
/// Status line only, nothing is logged: " Scanning output for delays " and a
/// "." per 100 traces, then " Transcribing Delay Fix " and its dots when the
/// file is rewritten, or "No delays dropped". Pending events are let run
/// every 100 traces.
///
/// Returns the number of traces removed. A failure (the file cannot be
/// read back whole, the copy cannot be written or moved) stops the job as a
/// write failure (state.failed): the file at `path` is then as it was and no
/// copy remains; 0 is returned.
[[nodiscard]] std::int64_t ScanFileAndMeasureTraceDelayFrequencys(const JobContext& ctx,
                                                                  const std::string& path);

} // namespace tessara
