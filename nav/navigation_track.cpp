#include "nav/navigation_track.h"

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cmath>

namespace tessara
{

namespace
{

const GeographicLib::Geodesic& Wgs84()
{
    return GeographicLib::Geodesic::WGS84();
}

// The step in longitude from `a` to `b` the short way, degrees.
double LongitudeStep(double a, double b)
{
    double step = b - a;
    if (step > 180)
        step -= 360;
    else if (step < -180)
        step += 360;
    return step;
}

double NormalLongitude(double lon)
{
    while (lon > 180)
        lon -= 360;
    while (lon < -180)
        lon += 360;
    return lon;
}

} // namespace

CNavigationTrack::CNavigationTrack(std::vector<LogFix> fixes, int courseHalfWidth)
    : m_fixes(std::move(fixes)), m_courseHalfWidth(std::max(1, courseHalfWidth))
{
}

std::optional<CNavigationTrack::Place> CNavigationTrack::TimePlace(const CTimestamp& t,
                                                                   double maxGapSeconds) const
{
    if (m_fixes.empty() || t < m_fixes.front().t || m_fixes.back().t < t)
        return std::nullopt;
    // The first fix later than t; a time on the last fix belongs to the
    // segment before it.
    auto after = std::upper_bound(
        m_fixes.begin(), m_fixes.end(), t, [](const CTimestamp& time, const LogFix& fix) {
            return time < fix.t;
        });
    if (after == m_fixes.end())
        --after;
    if (after == m_fixes.begin())
        return Place{0, 0.0}; // a single fix, and t on it
    const auto before = after - 1;
    const double span = after->t.SecondsSince(before->t);
    const double sinceBefore = t.SecondsSince(before->t);
    if (std::min(sinceBefore, span - sinceBefore) > maxGapSeconds)
        return std::nullopt;
    return Place{static_cast<std::size_t>(before - m_fixes.begin()), sinceBefore / span};
}

GeoPosition CNavigationTrack::PositionAt(const Place& place) const
{
    const LogFix& a = m_fixes[place.segment];
    if (place.fraction == 0.0 || place.segment + 1 >= m_fixes.size())
        return {a.lon, a.lat};
    const LogFix& b = m_fixes[place.segment + 1];
    const double f = place.fraction;
    return {NormalLongitude(a.lon + f * LongitudeStep(a.lon, b.lon)), a.lat + f * (b.lat - a.lat)};
}

std::optional<GeoPosition> CNavigationTrack::AntennaAt(const CTimestamp& t,
                                                       double maxGapSeconds) const
{
    const std::optional<Place> place = TimePlace(t, maxGapSeconds);
    if (!place)
        return std::nullopt;
    return PositionAt(*place);
}

// The azimuth from the fix a half-width before the segment to the fix a
// half-width after it, clamped to the track; empty where they coincide.
std::optional<double> CNavigationTrack::CourseAt(std::size_t segment) const
{
    const auto half = static_cast<std::size_t>(m_courseHalfWidth);
    const std::size_t from = segment >= half - 1 ? segment - (half - 1) : 0;
    const std::size_t to = std::min(m_fixes.size() - 1, segment + half);
    if (from >= to)
        return std::nullopt;
    const LogFix& a = m_fixes[from];
    const LogFix& b = m_fixes[to];
    double s12 = 0;
    double azi1 = 0;
    double azi2 = 0;
    Wgs84().Inverse(a.lat, a.lon, b.lat, b.lon, s12, azi1, azi2);
    // Below a millimetre the azimuth is rounding noise.
    if (!(s12 > 1e-3))
        return std::nullopt;
    return azi1;
}

void CNavigationTrack::MeasureDistances() const
{
    if (m_distance.size() == m_fixes.size())
        return;
    std::vector<double> distance(m_fixes.size(), 0.0);
    for (std::size_t k = 1; k < m_fixes.size(); ++k) {
        double s12 = 0;
        Wgs84().Inverse(
            m_fixes[k - 1].lat, m_fixes[k - 1].lon, m_fixes[k].lat, m_fixes[k].lon, s12);
        distance[k] = distance[k - 1] + s12;
    }
    m_distance = std::move(distance);
}

std::optional<GeoPosition> CNavigationTrack::SensorAt(const CTimestamp& t,
                                                      double maxGapSeconds,
                                                      const SensorOffsets& offsets) const
{
    std::optional<Place> place = TimePlace(t, maxGapSeconds);
    if (!place)
        return std::nullopt;
    if (offsets.layback > 0) {
        MeasureDistances();
        const std::size_t k = place->segment;
        const double at =
            k + 1 < m_fixes.size()
                ? m_distance[k] + place->fraction * (m_distance[k + 1] - m_distance[k])
                : m_distance[k];
        const double back = at - offsets.layback;
        if (back < 0)
            return std::nullopt;
        // The last fix at or before that distance, and the way to the next.
        const auto after = std::upper_bound(
            m_distance.begin(),
            m_distance.begin() + static_cast<std::ptrdiff_t>(std::min(k + 2, m_distance.size())),
            back);
        const auto segment = static_cast<std::size_t>(after - m_distance.begin()) - 1;
        const double length =
            segment + 1 < m_distance.size() ? m_distance[segment + 1] - m_distance[segment] : 0.0;
        place = Place{segment, length > 0 ? (back - m_distance[segment]) / length : 0.0};
    }
    const GeoPosition antenna = PositionAt(*place);
    if (offsets.along == 0.0 && offsets.across == 0.0)
        return antenna;
    const std::optional<double> course = CourseAt(place->segment);
    if (!course)
        return std::nullopt;
    constexpr double kDegreesPerRadian = 57.29577951308232;
    const double azimuth = *course + std::atan2(offsets.across, offsets.along) * kDegreesPerRadian;
    GeoPosition moved;
    Wgs84().Direct(antenna.lat,
                   antenna.lon,
                   azimuth,
                   std::hypot(offsets.along, offsets.across),
                   moved.lat,
                   moved.lon);
    moved.lon = NormalLongitude(moved.lon);
    return moved;
}

void WritePositionToHeader(SegyHeaderType& header, const GeoPosition& position)
{
    constexpr double kUnitsPerDegree = 3600.0 * 1000.0;
    const auto x =
        static_cast<std::int32_t>(std::llround(NormalLongitude(position.lon) * kUnitsPerDegree));
    const auto y = static_cast<std::int32_t>(std::llround(position.lat * kUnitsPerDegree));
    header.sourceX = x;
    header.sourceY = y;
    header.groupX = x;
    header.groupY = y;
    header.coordinateScalar = -1000;
    header.coordinateUnits = 2;
}

} // namespace tessara
