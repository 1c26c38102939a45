// Removal of traces with rarely seen extreme delays from a closed output.
#pragma once

#include "combine/job_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessara
{

class IJobHost;

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
/// `written` is the histogram kept while the file was written
/// (COutputFile::TakeDelayHistogram), when it describes the file as it is:
/// the counting pass is then left out.
///
/// The copy is written as the reader delivers the traces and the writer
/// encodes them, byte for byte, yet without decoding a sample where that
/// changes nothing: a kept record that the reader would not repair, in a
/// big-endian file whose samples the writer stores in as many bytes as the
/// reader takes, is copied as it is stored, with the records next to it in
/// one piece, by the kernel (copy_file_range) where it can. Its samples are
/// copied as stored, which equals decoding and encoding them for every word
/// the writer itself puts in a file. Other kept records are read and encoded.
///
/// A failure (the file cannot be read back whole, the copy cannot be
/// written or moved) leaves the file at `path` as it was and no copy
/// remains; the job then stops as for a write failure of `path`.
struct DelayScanResult {
    bool failed = false;
    /// failed: the file was read whole, only its copy without the removed
    /// traces (`copyPath`) could not be written or moved over it. The file
    /// is then complete, just not cleaned.
    bool copyFailed = false;
    std::string copyPath;
    std::int64_t removed = 0; ///< traces removed from the file
};
[[nodiscard]] DelayScanResult ScanFileAndMeasureTraceDelayFrequencys(
    IJobHost& host, const std::string& path, std::optional<DelayHistogram> written);

/// For tests: false makes the rewrite copy stored records with plain reads
/// and writes, as it does where the kernel refuses copy_file_range; true
/// (the default) lets the kernel try first.
void SetDelayScanKernelCopy(bool enabled);

} // namespace tessara
