// Start time of every input, and the time order of the inputs.
#pragma once

#include "combine/job_state.h"
#include "combine/time_scale.h"

#include <functional>
#include <string>
#include <vector>

namespace tessara
{

class CSegyTrace;

/// The day repair and time correction the job gives an input's reference
/// trace, applied to the first trace of the input at `path`, so that start
/// times and trace times share one scale.
using FirstTraceCorrection = std::function<void(const std::string& path, CSegyTrace& first)>;

/// Reads the first trace of the file at `path` into `first` and applies
/// `correct` to it; false, with `first` the corrected all-zero header, when
/// the file cannot be opened or holds no trace.
[[nodiscard]] bool
ReadFirstTrace(const std::string& path, const FirstTraceCorrection& correct, SegyHeaderType& first);

/// Sets the input's start_time (s) and file_time from its first trace's
/// header on `scale`.
void SetStartTime(InputEntry& input, const CJobTimeScale& scale, const SegyHeaderType& first);

/// Reads the first trace of every input and applies `correct` to it. From
/// those first traces it chooses the job's time scale
/// (CJobTimeScale::ForFirstTraces; `yearsUncertain` tells that the inputs span
/// more than one year but the plain scale had to be taken). Then it fills each
/// entry's start_time (on that scale, with milliseconds), file_time
/// (truncated to whole seconds, clamped to 32 bits) and start_known (an input
/// that cannot be opened or holds no trace gets start_known false and the
/// time of an all-zero header). Sets the status line once per input and lets
/// the front end handle its events. Then sorts the inputs by file_time,
/// stably (equal whole seconds keep their list order), and gives the new list
/// to the front end through SetInputOrder. Returns the scale. The job skips
/// it in demultiplex_only mode.
[[nodiscard]] CJobTimeScale Scan_and_Sort_Input_files(const JobContext& ctx,
                                                      std::vector<InputEntry>& inputs,
                                                      const FirstTraceCorrection& correct,
                                                      bool& yearsUncertain);

} // namespace tessara
