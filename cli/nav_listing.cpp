#include "cli/nav_listing.h"

#include "cli/cli_format.h"
#include "cli/cli_json.h"
#include "cli/commands.h"
#include "cli/nav_track.h"
#include "nav/speed_correction.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

namespace tessara::cli
{
namespace
{

/// A number with `decimals` decimals; empty when it is not finite, so that
/// a GIS still types the column as numbers.
std::string Number(double value, int decimals)
{
    if (!std::isfinite(value))
        return {};
    char text[400]; // the widest double, 308 digits, with the decimals asked for here
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

/// One value of a listed fix: a number or a text as written in the CSV;
/// empty when not defined.
struct Field {
    const char* name;
    std::string text;
    bool isText = false;
};

std::vector<Field> FixFields(std::size_t index,
                             const llt& f,
                             std::int64_t traceNumber,
                             const std::optional<UtmZone>& zone,
                             const std::optional<UtmZone>& projectedZone)
{
    const std::optional<GeoPosition> p = FixToGeographic(f, projectedZone);
    // Projected positions without their zone are still listed as the header
    // gives them; geographic ones in no zone have no UTM coordinates.
    const bool planar = zone || f.isUTM;
    return {{"trace", std::to_string(index)},
            {"byte_offset", std::to_string(f.position)},
            {"time", f.t.IsoText(), true},
            {"latitude", p ? Number(p->lat, 8) : ""},
            {"longitude", p ? Number(p->lon, 8) : ""},
            {"easting", planar ? Number(f.x, 3) : ""},
            {"northing", planar ? Number(zone ? UtmNorthing(f, *zone) : f.y, 3) : ""},
            {"zone", zone ? zone->Text() : "", true},
            {"speed_m_s", Number(f.speed, 3)},
            {"spacing_m", Number(f.deltap, 3)},
            {"distance_m", Number(f.cummulativeDistance, 3)},
            {"epsg", zone ? std::to_string(zone->Epsg()) : ""},
            {"trace_number", std::to_string(traceNumber)}};
}

void PrintCsvRow(const std::vector<Field>& fields, bool header)
{
    for (std::size_t k = 0; k < fields.size(); ++k)
        std::cout << (k > 0 ? "," : "") << (header ? fields[k].name : fields[k].text);
    std::cout << '\n';
}

Json JsonRow(const std::vector<Field>& fields)
{
    Json row = Json::object();
    for (const Field& field : fields)
        row[field.name] = field.text.empty() ? Json(nullptr)
                          : field.isText     ? Json(field.text)
                                             : NumberOfText(field.text);
    return row;
}

/// "zone 32N (EPSG:32632)", "projected", "projected, zone 31N (EPSG:32631)",
/// "no UTM zone".
std::string FrameText(const llt& first, const std::optional<UtmZone>& zone)
{
    const std::string named =
        zone ? "zone " + zone->Text() + " (EPSG:" + std::to_string(zone->Epsg()) + ")" : "";
    if (first.isUTM)
        return zone ? "projected, " + named : "projected";
    return zone ? named : "no UTM zone";
}

void PrintSummary(const std::vector<llt>& fixes, const std::optional<UtmZone>& zone)
{
    if (fixes.size() < 2) {
        std::cerr << fixes.size() << " fixes: fewer than two, no spacing or speed\n";
        return;
    }
    const double length = fixes.back().cummulativeDistance;
    const double seconds = fixes.back().t.SecondsSince(fixes.front().t);
    // Fixes that all share one time give no speed.
    const std::string speed = seconds > 0.0 ? Number(length / seconds, 3) : "";
    std::cerr << fixes.size() << " fixes, " << FrameText(fixes.front(), zone) << ", median spacing "
              << Number(ChooseSpacing(fixes), 3) << " m, track length " << Number(length, 3)
              << " m, mean speed " << (speed.empty() ? "unknown" : speed + " m/s") << '\n';
}

void PrintLeftOut(const FixListStats& stats)
{
    // As in the speed correction, a trace without a position is no fix.
    if (stats.withoutNavigation > 0)
        std::cerr << stats.withoutNavigation << " of " << stats.traces
                  << " traces without navigation left out"
                  << (stats.offTheGlobe > 0
                          ? " (" + std::to_string(stats.offTheGlobe) + " off the globe)"
                          : std::string())
                  << '\n';
    if (stats.spikesRepaired > 0)
        std::cerr << "Navigation spikes repaired: " << stats.spikesRepaired << '\n';
}

} // namespace

int RunNavListing(const NavListing& o)
{
    std::vector<llt> fixes;
    FixListStats stats;
    if (!ReadFixes(o.file, o.navAverageFixes, fixes, stats))
        return kExitFailure;
    const std::vector<std::int64_t> numbers = FixTraceNumbers(o.file, fixes);
    if (numbers.size() != fixes.size()) {
        PrintError(o.file, "cannot be read");
        return kExitFailure;
    }
    PrintLeftOut(stats);
    // A single fix has no neighbour to measure a spacing or a speed from.
    if (fixes.size() < 2)
        fixes.front().speed = fixes.front().deltap = std::nan("");
    const std::optional<UtmZone> zone = FixListZone(fixes, o.projectedZone);
    std::vector<std::size_t> listed;
    if (o.pointEveryTraces > 0)
        listed = ShotPointFixes(numbers, o.pointEveryTraces);
    else
        for (std::size_t i = 0; i < fixes.size(); ++i)
            listed.push_back(i);

    Json rows = Json::array();
    if (!o.json) // the names alone, from any fix
        PrintCsvRow(FixFields(0, fixes.front(), 0, zone, o.projectedZone), true);
    for (const std::size_t i : listed) {
        const std::vector<Field> fields = FixFields(i, fixes[i], numbers[i], zone, o.projectedZone);
        if (o.json)
            rows.push_back(JsonRow(fields));
        else
            PrintCsvRow(fields, false);
    }
    if (o.json)
        PrintJsonLine(Json{{"file", o.file},
                           {"nav_average_fixes", o.navAverageFixes},
                           {"zone", zone ? Json(zone->Text()) : Json(nullptr)},
                           {"epsg", zone ? Json(zone->Epsg()) : Json(nullptr)},
                           {"fixes", rows}});
    std::cout.flush();
    PrintSummary(fixes, zone);
    return kExitOk;
}

} // namespace tessara::cli
