// The antenna's track as the navigation log gives it, and the position of a
// sensor mounted or towed away from the antenna, at any time of the track.
#pragma once

#include "nav/navigation_log.h"
#include "nav/track.h"
#include "segy/format/segy_headers.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace tessara
{

/// Where the sensor is relative to the GPS antenna, m.
struct SensorOffsets {
    double along = 0.0;   ///< + forward of the antenna, along the course
    double across = 0.0;  ///< + to starboard of it
    double layback = 0.0; ///< behind the antenna along the sailed track, >= 0

    [[nodiscard]] bool bAny() const { return along != 0.0 || across != 0.0 || layback != 0.0; }
};

/// A time-sorted list of antenna fixes with one fix per time (SortLogFixes).
/// Positions between two fixes are interpolated linearly in time; the
/// course at a time is the geodesic azimuth over the smoothing window around
/// it, not that of one pair of fixes, so that the jitter of single fixes
/// does not swing an offset about.
class CNavigationTrack
{
public:
    CNavigationTrack() = default;
    /// `fixes` sorted by time, one per time; `courseHalfWidth` fixes each
    /// side of a time give its course (the navigation smoothing's half-width).
    CNavigationTrack(std::vector<LogFix> fixes, int courseHalfWidth);

    [[nodiscard]] std::size_t Size() const { return m_fixes.size(); }
    [[nodiscard]] const std::vector<LogFix>& Fixes() const { return m_fixes; }

    /// The antenna's position at `t`: between the two fixes around it, when
    /// the nearer one lies no more than `maxGapSeconds` away (a time on a
    /// fix is on it). Empty outside the track's time span or further from
    /// its fixes.
    [[nodiscard]] std::optional<GeoPosition> AntennaAt(const CTimestamp& t,
                                                       double maxGapSeconds) const;

    /// The sensor's position at `t`: the antenna's (AntennaAt), taken back
    /// `layback` metres of distance sailed along the track, then moved
    /// `along` and `across` on the course there. Empty when the antenna has
    /// no position at `t`, the layback reaches back before the track's first
    /// fix, or an along/across offset meets a track with no course (the ship
    /// not moving over the whole window).
    [[nodiscard]] std::optional<GeoPosition>
    SensorAt(const CTimestamp& t, double maxGapSeconds, const SensorOffsets& offsets) const;

private:
    struct Place {
        std::size_t segment = 0; ///< fix before the point
        double fraction = 0.0;   ///< of the way to the fix after it
    };
    [[nodiscard]] std::optional<Place> TimePlace(const CTimestamp& t, double maxGapSeconds) const;
    [[nodiscard]] GeoPosition PositionAt(const Place& place) const;
    [[nodiscard]] std::optional<double> CourseAt(std::size_t segment) const;
    void MeasureDistances() const;

    std::vector<LogFix> m_fixes;
    int m_courseHalfWidth = 1;
    /// Sailed distance from the first fix, m; measured when a layback asks.
    mutable std::vector<double> m_distance;
};

/// Writes a geographic position into a trace header as source and group
/// coordinates in thousandths of arc-seconds (coordinateScalar -1000,
/// coordinateUnits 2): about 3 cm, the finest step that keeps every
/// longitude within the 32-bit fields. A longitude is brought into
/// -180..180 first.
void WritePositionToHeader(SegyHeaderType& header, const GeoPosition& position);

} // namespace tessara
