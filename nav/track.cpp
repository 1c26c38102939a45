#include "nav/track.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/UTMUPS.hpp>

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

} // namespace tessara
