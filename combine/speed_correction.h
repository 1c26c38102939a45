// The job's calls into navigation and speed correction: inputs and traces
// without navigation, and the rewrite of an output at a constant spacing.
#pragma once

#include "segy/format/segy_headers.h"

#include <string>

namespace tessara
{

struct JobContext;

/// What the speed correction did to a closed output.
struct SpeedCorrectionResult {
    bool corrected = false; ///< the file was rewritten at `spacingMetres`
    bool failed = false;    ///< `failedPath` could not be written; the file is as it was
    double spacingMetres = 0;
    std::string failedPath;
};

/// Whether some trace of the SEG-Y file at `path` carries navigation.
[[nodiscard]] bool CheckNav(const std::string& path);

/// The job's per-trace navigation test while speed correction is on: a trace
/// has navigation unless sourceX or sourceY is 0 or coordinateUnits lies
/// outside 1..4.
[[nodiscard]] bool TraceHasNavigation(const SegyHeaderType& header);

/// Rewrites the closed output at `path` with its traces at a constant spacing
/// along the track. A result that is not `corrected` leaves the file as it was.
[[nodiscard]] SpeedCorrectionResult CreatSpeedCorrectedSegy(const JobContext& ctx,
                                                            const std::string& path);

} // namespace tessara
