// Navigation of a SEG-Y file: which traces carry a position, and the fix list
// of a whole file in one UTM zone, time-repaired and smoothed.
#pragma once

#include "nav/llt.h"
#include "segy/format/segy_headers.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessara
{

class CSegyFileIn;
class CSegyTrace;

/// What the navigation test finds in one trace header.
enum class HeaderPosition {
    Missing,     ///< sourceX or sourceY is 0, or coordinateUnits is not 1..4
    OffTheGlobe, ///< geographic, but no place on the globe (a recorder's fill value)
    Usable,      ///< a projected position, or a geographic one on the globe
};

/// The navigation test. On the raw header values first: sourceX (byte 72)
/// and sourceY (76) not 0 and coordinateUnits (88) in 1..4. A geographic
/// position (units 2..4) must then lie on the globe after the coordinate
/// scalar (70) and the unit conversion: latitude -90..90 and longitude
/// -180..360 degrees (recorders count east longitudes up to 360).
[[nodiscard]] HeaderPosition CheckHeaderPosition(const SegyHeaderType& header);
/// CheckHeaderPosition gives Usable.
[[nodiscard]] bool TraceHasNavigation(const SegyHeaderType& header);
[[nodiscard]] bool TraceHasNavigation(const CSegyTrace& trace);

/// What CheckNav found.
enum class NavPresence {
    Present,    ///< some trace passes the navigation test
    Absent,     ///< the file was read and no trace passes it
    Unreadable, ///< the file cannot be opened as SEG-Y
};

/// Reads trace headers of the file at `path` up to the first trace with
/// navigation.
[[nodiscard]] NavPresence CheckNav(const std::string& path);
/// The same on a file already open (from its first trace on; the reader is
/// left somewhere inside the file). Unreadable when `in` is not open.
[[nodiscard]] NavPresence CheckNav(CSegyFileIn& in);

/// One trace header to one fix: fills t, lat, lon, isUTM, x, y, zone and
/// northp. A `year` of 41..119 is taken as 1941..2019 and written back into
/// the header. A header time that is unusable (year outside 41..2049) or lies
/// outside years 1..9999 gives the placeholder time of traceSequenceFile
/// ticks. A position the standard UTM conversion refuses gives zone 0,
/// northp false and x = y = 0; lat and lon keep the header's values.
void Convert_Trace_Data_to_Normal_Units(SegyHeaderType& header, llt& fix);

/// Time repair: every fix after the first whose time lies before the first
/// fix's gets a time and position interpolated between the nearest earlier
/// fix that is later than the first fix (or the first fix) and the next fix
/// later than that one. When no such later fix exists before the last fix,
/// the list is cut from the bad fix on. The last fix is never repaired nor an
/// anchor. Linear in the number of fixes for runs of bad times of any length.
void RepairFixTimes(std::vector<llt>& fixes);

/// Speed above which the step to a fix is taken for a jump of the position
/// source rather than the ship's motion, m/s.
constexpr double kSpikeSpeedMps = 50.0;

/// Longest run of bad positions the spike repair mends, fixes.
constexpr std::size_t kMaxSpikeRun = 10;

/// Spike repair on x and y (after the zone choice, before smoothing), in
/// index order on the values repaired so far. For fix i (from 1) whose speed
/// from fix i-1 is above kSpikeSpeedMps (or not a number), the first j of
/// i..i+kMaxSpikeRun-1 (j+1 a fix of the list) whose speed to fix j+1 is above
/// it while the speed from fix i-1 to fix j+1 is not, makes fixes i..j a run
/// of bad positions. They take positions interpolated in time between fixes
/// i-1 and j+1 (evenly by index when those share a time); lat and lon follow
/// through the inverse projection of their zone (projected fixes: y and x).
/// Speeds are plane distances over the absolute time difference, at least
/// 1 s. A run that reaches the last fix is left. Returns the fixes repaired.
/// Linear in the number of fixes.
std::int64_t RepairNavigationSpikes(std::vector<llt>& fixes);

/// Puts every fix into one UTM zone, the upper median of the fixes' standard
/// zones, by transverse Mercator about its central meridian. Nothing is done
/// when the first fix is projected.
void RunThroughZoneInfoAndChooseMostCommonZone(std::vector<llt>& fixes);

/// Half-width of the smoothing for `fixCount` fixes: `navAverageFixes`, at
/// most fixCount / 2 - 1 (so -1 for a single fix).
[[nodiscard]] int SmoothingHalfWidth(int navAverageFixes, std::size_t fixCount);

/// Centred moving average of x and y over 2N + 1 fixes, for fixes N to
/// n - N - 2, each mean taken from the unsmoothed values; lat and lon follow
/// (geographic fixes through the inverse projection of their zone). Needs
/// 0 <= N <= n / 2 - 1.
void SmoothFixes(std::vector<llt>& fixes, int halfWidth);

/// A spacing more than this many times the median of the positive spacings
/// is a jump of the position source and adds no distance.
constexpr double kSpacingJumpFactor = 100.0;

/// Fills deltap (m), speed (m/s) and cummulativeDistance (m) of n >= 2 fixes.
/// The spacing at a fix is half the distance between its two neighbours:
/// the plane distance for projected fixes, the geodesic distance on the
/// ellipsoid a = 6378137 m, f = 1/298.257 for geographic ones. The first and
/// the last fix take the values of their neighbour. Then a spacing that is
/// not a number or more than kSpacingJumpFactor times the median of the
/// positive spacings becomes 0 before the distances are summed; speeds stay
/// as computed. `halfWidth` is not used.
void CalculateTraceToTraceSeparation(std::vector<llt>& fixes, int halfWidth);

/// What building a fix list found besides the fixes.
struct FixListStats {
    std::int64_t traces = -1;           ///< complete traces read; -1: not a readable SEG-Y file
    std::int64_t withoutNavigation = 0; ///< traces left out: no position (TraceHasNavigation)
    std::int64_t offTheGlobe = 0;       ///< of those, geographic positions off the globe
    std::int64_t spikesRepaired = 0;    ///< RepairNavigationSpikes
};

/// Adds the fix of one trace to `fixes` when its header passes the
/// navigation test; true when it did. `position` identifies the trace (a byte
/// offset or a record number, as the caller counts them) and `sequence` is
/// its 1-based place among the traces, which stands in for a zero
/// traceSequenceFile in the placeholder time only.
bool AddFixOfHeader(std::vector<llt>& fixes,
                    SegyHeaderType header,
                    std::int64_t position,
                    std::int32_t sequence);
/// Completes a list of fixes in trace order: time repair, zone choice, spike
/// repair, smoothing with half-width `navAverageFixes` (2..100) and the
/// spacing computation; with fewer than two fixes nothing is done. Returns
/// the spikes repaired.
std::int64_t FinishFixList(std::vector<llt>& fixes, int navAverageFixes);

/// Builds the fix list of the SEG-Y file at `path`: one fix per complete trace
/// that passes the navigation test (header only, samples are not decoded),
/// positions in bytes from the start of the file, then time repair, zone
/// choice, spike repair, smoothing with half-width `navAverageFixes` (2..100)
/// and the spacing computation; with fewer than two fixes only the
/// conversion is done. When the file cannot be opened as SEG-Y, traces is -1
/// and `fixes` is left empty.
[[nodiscard]] FixListStats
ReadAndBufferTraceHeaderData(const std::string& path, int navAverageFixes, std::vector<llt>& fixes);
/// The same on a file already open, read from its first trace on; traces is
/// -1 when `in` is not open. The reader is left at the end of the file.
[[nodiscard]] FixListStats
ReadAndBufferTraceHeaderData(CSegyFileIn& in, int navAverageFixes, std::vector<llt>& fixes);

} // namespace tessara
