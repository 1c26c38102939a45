// The job's calls into navigation and speed correction: inputs and traces
// without navigation, and the rewrite of an output at a constant spacing.
#pragma once

#include <string>

namespace tessara
{

class CSegyTrace;
struct JobContext;

/// Kept from one output to the next within a job.
struct SpeedCorrectionState {
    /// Trace spacing chosen for the most recent output, metres; 0 until then.
    double medianSpacing = 0.0;
};

/// Whether some trace of the SEG-Y file at `path` carries navigation.
[[nodiscard]] bool CheckNav(const JobContext& ctx, const std::string& path);

/// The job's per-trace navigation test while speed correction is on: a trace
/// has navigation unless sourceX or sourceY is 0 or coordinateUnits lies
/// outside 1..4.
[[nodiscard]] bool TraceHasNavigation(const CSegyTrace& trace);

/// Rewrites the closed output at `path` with its traces at a constant spacing
/// along the track; `displayName` is the input being read when the output was
/// closed, for the messages. Returns true when the file was rewritten, with
/// the spacing used in the state's medianSpacing; false leaves the file as it
/// was (a write failure is then recorded in the job state).
[[nodiscard]] bool CreatSpeedCorrectedSegy(const JobContext& ctx,
                                           const std::string& path,
                                           const std::string& displayName);

} // namespace tessara
