// Start time of every input, and the time order of the inputs.
#pragma once

namespace tessara {

struct JobContext;

/// Reads the first trace of every input in the job's input_files, applies the
/// day repair and the time correction to it, and fills start_times,
/// file_times and start_known (an input that cannot be opened or holds no
/// trace gets start_known false and time 0). Sets the status line once per
/// input and lets the front end handle its events. Reordering the inputs by
/// start time permutes input_files, the three arrays and file_order together
/// and tells the front end through SetInputOrder.
void Scan_and_Sort_Input_files(const JobContext& ctx);

} // namespace tessara
