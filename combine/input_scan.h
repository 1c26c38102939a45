// Start time of every input, and the time order of the inputs.
#pragma once

namespace tessara
{

struct JobContext;

/// Reads the first trace of every input in the job's input_files, applies the
/// day repair and the time correction to it, and fills start_times (seconds
/// of year with milliseconds), file_times (truncated to whole seconds,
/// clamped to 32 bits) and start_known (an input that cannot be opened or
/// holds no trace gets start_known false and the time of an all-zero header).
/// Sets the status line once per input and lets the front end handle its
/// events. Then sorts the inputs by file_times, stably (equal whole seconds
/// keep their list order; the year is no part of the key), permutes
/// input_files, the three arrays and file_order alike (file_order[k]: the
/// position in the job's starting list of the input now at k) and gives the
/// new list to the front end through SetInputOrder. The job skips it in
/// demultiplex_only mode.
void Scan_and_Sort_Input_files(const JobContext& ctx);

} // namespace tessara
