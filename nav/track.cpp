#include "nav/track.h"

#include "segy/io/segy_file_in.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tessara
{

std::optional<UtmZone> ParseUtmZone(const std::string& text)
{
    if (text.size() < 2)
        return std::nullopt;
    const char hemisphere = text.back();
    UtmZone result;
    if (hemisphere == 'N' || hemisphere == 'n')
        result.north = true;
    else if (hemisphere == 'S' || hemisphere == 's')
        result.north = false;
    else
        return std::nullopt;
    const char* first = text.data();
    const char* last = text.data() + text.size() - 1;
    const auto [end, error] = std::from_chars(first, last, result.zone);
    if (error != std::errc() || end != last || result.zone < 1 || result.zone > 60)
        return std::nullopt;
    return result;
}

std::optional<GeoPosition> FixToGeographic(const llt& fix,
                                           const std::optional<UtmZone>& projectedZone)
{
    GeoPosition p{fix.lon, fix.lat};
    if (fix.isUTM) {
        if (!projectedZone)
            return std::nullopt;
        try {
            GeographicLib::UTMUPS::Reverse(
                projectedZone->zone, projectedZone->north, fix.x, fix.y, p.lat, p.lon);
        } catch (const GeographicLib::GeographicErr&) {
            return std::nullopt;
        }
    }
    if (!std::isfinite(p.lat) || !std::isfinite(p.lon) || std::fabs(p.lat) > 90.0)
        return std::nullopt;
    // Headers may give longitudes as 0..360 east; GeoJSON readers expect -180..180.
    p.lon = std::remainder(p.lon, 360.0);
    return p;
}

std::vector<std::vector<GeoPosition>> SplitAtAntimeridian(const std::vector<GeoPosition>& line)
{
    std::vector<std::vector<GeoPosition>> parts;
    for (const GeoPosition& p : line) {
        if (parts.empty()) {
            parts.push_back({p});
            continue;
        }
        const GeoPosition last = parts.back().back();
        if (std::fabs(p.lon - last.lon) <= 180.0) {
            parts.back().push_back(p);
            continue;
        }
        // East across the cut when the longitude falls, west when it rises.
        const double cut = p.lon < last.lon ? 180.0 : -180.0;
        const double lon = p.lon + 2.0 * cut; // beyond the cut, seen from `last`
        // From +180 to -180 is no step in longitude at all.
        const double w = lon == last.lon ? 0.0 : (cut - last.lon) / (lon - last.lon);
        const double lat = last.lat + w * (p.lat - last.lat);
        if (last.lon != cut)
            parts.back().push_back({cut, lat});
        parts.push_back({{-cut, lat}});
        if (p.lon != -cut || p.lat != lat)
            parts.back().push_back(p);
    }
    if (parts.size() > 1) {
        std::erase_if(parts, [](const std::vector<GeoPosition>& part) { return part.size() < 2; });
        if (parts.empty()) // every position at one place on the cut
            parts.push_back({line.front()});
    }
    return parts;
}

std::optional<UtmZone> FixListZone(const std::vector<llt>& fixes,
                                   const std::optional<UtmZone>& projectedZone)
{
    if (fixes.empty())
        return std::nullopt;
    if (fixes.front().isUTM)
        return projectedZone;
    UtmZone result;
    result.zone = fixes.front().zone;
    if (result.zone < 1 || result.zone > 60)
        return std::nullopt;
    const auto south =
        std::count_if(fixes.begin(), fixes.end(), [](const llt& fix) { return !fix.northp; });
    result.north = static_cast<std::size_t>(south) * 2 <= fixes.size();
    return result;
}

double UtmNorthing(const llt& fix, const UtmZone& zone)
{
    // The zone choice projects about the zone's meridian from the equator:
    // south of it the northing is negative until the false northing is added.
    if (fix.isUTM || zone.north)
        return fix.y;
    return fix.y + 10'000'000.0;
}

std::vector<std::size_t> ShotPointFixes(const std::vector<std::int64_t>& traceNumbers,
                                        std::int64_t everyTraces)
{
    std::vector<std::size_t> points;
    for (std::size_t i = 0; i < traceNumbers.size(); ++i)
        if (i == 0 || i + 1 == traceNumbers.size() || traceNumbers[i] % everyTraces == 0)
            points.push_back(i);
    return points;
}

std::vector<std::int64_t> FixTraceNumbers(const std::string& path, const std::vector<llt>& fixes)
{
    CSegyFileIn in;
    if (!in.Open(path))
        return {};
    std::vector<std::int64_t> starts;
    SegyHeaderType header{};
    for (;;) {
        const std::int64_t start = in.GetPosition();
        in.ReadHeader(header);
        if (in.atEnd)
            break;
        starts.push_back(start);
    }
    std::vector<std::int64_t> numbers;
    numbers.reserve(fixes.size());
    for (const llt& fix : fixes) {
        const auto found = std::lower_bound(starts.begin(), starts.end(), fix.position);
        if (found == starts.end() || *found != fix.position)
            return {};
        numbers.push_back(found - starts.begin() + 1);
    }
    return numbers;
}

} // namespace tessara
