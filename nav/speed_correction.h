// Speed correction: rewrites a closed composite SEG-Y file so that its traces
// follow each other at one constant distance along the ship's track.
#pragma once

#include "combine/api/combine_settings.h"
#include "combine/api/job_host.h"
#include "nav/llt.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tessara
{

/// What one speed correction did. The composite is either replaced as a whole
/// by its corrected version (Corrected) or left exactly as it was.
struct SpeedCorrectionResult {
    enum class Status {
        Corrected,          ///< rewritten at spacingMetres
        NoNavigation,       ///< no trace carries navigation; the message was shown
        TooFewFixes,        ///< fewer than two fixes; logged
        SpacingNotPositive, ///< the chosen spacing is not above 0; logged
        NoTrackLength,      ///< the track has no length; logged
        TooManyTraces,      ///< more than kMaxTracesPerFix times the fixes; logged
        ReadFailed,         ///< the composite could not be read (failedPath)
        WriteFailed,        ///< the corrected file could not be written (failedPath)
    };
    Status status = Status::NoNavigation;
    double spacingMetres = 0.0;    ///< the spacing used (Corrected), m
    std::int64_t tracesBefore = 0; ///< traces of the composite before
    std::int64_t fixes = 0;        ///< fixes the correction worked from
    std::int64_t tracesAfter = 0;  ///< traces of the corrected file (Corrected)
    std::string failedPath;        ///< ReadFailed, WriteFailed: the file concerned
    /// Corrected: how many traces of the corrected file carry each delay
    /// (delayRecordingTime, ms), counted while it was written, so that no
    /// further pass over the file needs to count them.
    std::map<std::int16_t, std::int64_t> delays;
};

/// The spacing the correction uses for a fix list: the upper median of the
/// fixes' deltap (element n / 2 of the sorted values; NaN sorts last), or
/// settings.trace_spacing when spacing_mode is Fixed. 0 for an empty list.
[[nodiscard]] double ChooseSpacing(const std::vector<llt>& fixes, const CombineSettings& settings);

/// The corrected file holds at most this many traces per fix: more means a
/// spacing far below the file's own, and a disk filled with repeats.
constexpr std::int64_t kMaxTracesPerFix = 10;

/// How many traces the rewrite writes for a fix list and a spacing (m): one
/// for every distance 0, spacing, 2 spacing, ... below the last fix's
/// distance along the track, summed as the rewrite sums them. Counted
/// exactly up to 2^24 traces; above that the track length over the spacing,
/// rounded up (at most INT64_MAX). 0 when the spacing is not above 0 or the
/// track has no length.
[[nodiscard]] std::int64_t CorrectedTraceCount(const std::vector<llt>& fixes, double spacing);

/// A spacing with one decimal, rounded half away from zero on the value as
/// written: 2.25 gives "2.3", 5 gives "5.0", 4.87 gives "4.9". Used by the
/// output name ("_SC" + text + "m") and the chart title.
[[nodiscard]] std::string SpacingText(double metres);

/// Title of the speed-correction chart for a fix list of at least one fix:
/// "Speed Correction from " + day of year of the first fix + " " + its time +
/// " to " + the last fix's time, times as "YYYY-MM-DD HH:MM:SS".
[[nodiscard]] std::string ChartTitle(const std::vector<llt>& fixes);

/// Rewrites the closed composite at `compositePath` at a constant trace
/// spacing along the track. Reads nav_average_fixes, spacing_mode and
/// trace_spacing once, at the start. `displayName` names the input being read
/// when the composite was closed, for the no-navigation message.
///
/// Steps: the navigation check (none: the message box "Input file " +
/// displayName + " does not contain navigation : cannot output equally spaced
/// shots"), the fix list, the chart through the host's chart calls, the
/// spacing, the count of the corrected traces (more than kMaxTracesPerFix
/// a fix: nothing is written), then the rewrite: the corrected file is written to
/// compositePath + ".tmp" (a leftover of that name is deleted first) while the
/// composite is read, and replaces it by one rename once it was completely
/// written and closed. Samples are copied without decoding when the
/// composite is big-endian. On any failure the composite stays whole and the
/// temporary file is removed. The cases that leave the composite uncorrected
/// log one line each ("\tNot speed corrected: ..." + CR LF).
[[nodiscard]] SpeedCorrectionResult CreatSpeedCorrectedSegy(const CombineSettings& settings,
                                                            IJobHost& host,
                                                            const std::string& compositePath,
                                                            const std::string& displayName);

} // namespace tessara
