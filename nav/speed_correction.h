// The rules of the speed correction that depend on the fixes alone: the
// spacing, the count of corrected traces, and the header of a trace that
// stands in for a point between two fixes.
#pragma once

#include "nav/llt.h"
#include "segy/format/segy_headers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessara
{

/// The spacing the correction uses for a fix list: the upper median of the
/// fixes' deltap (element n / 2 of the sorted values; NaN sorts last), or
/// `fixedSpacing` when it is given. 0 for an empty list.
[[nodiscard]] double ChooseSpacing(const std::vector<llt>& fixes,
                                   std::optional<double> fixedSpacing = std::nullopt);

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

/// A spacing with one decimal, or two significant figures when it is under
/// 0.1 m, rounded half away from zero on the value as written: 2.25 gives
/// "2.3", 5 gives "5.0", 4.87 gives "4.9", 0.023 gives "0.023", 0.0999 gives
/// "0.10". Used by the output name ("_SC" + text + "m") and the chart title.
[[nodiscard]] std::string SpacingText(double metres);

/// Title of the speed-correction chart for a fix list of at least one fix:
/// "Speed Correction from " + day of year of the first fix + " " + its time +
/// " to " + the last fix's time, times as "YYYY-MM-DD HH:MM:SS".
[[nodiscard]] std::string ChartTitle(const std::vector<llt>& fixes);

/// Gives `h` the time and, for geographic coordinates, the position of the
/// point at fraction `f` (0.001..0.999) of the way from fix A to fix B: the
/// header of a trace that stands in for that point. A position the 32-bit
/// fields cannot hold, and a time outside the calendar, keep the recorded
/// ones.
void InterpolateHeader(SegyHeaderType& h, const llt& A, const llt& B, double f);

} // namespace tessara
