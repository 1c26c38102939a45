// nav: the navigation of one SEG-Y file as the speed correction sees it: the
// fixes after time repair, zone choice, spike repair and smoothing, with
// speed, spacing and distance along the track. CSV (or JSON) on stdout for
// plotting elsewhere, the summary on stderr.
#include "cli/cli_format.h"
#include "cli/commands.h"
#include "nav/navigation.h"
#include "nav/speed_correction.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace tessara::cli
{
namespace
{

struct NavOptions {
    std::string file;
    int navAverageFixes = 30;
    bool json = false;
};

/// A number with `decimals` decimals; "nan", "inf" or, for JSON, null.
std::string Number(double value, int decimals, bool json)
{
    if (!std::isfinite(value))
        return json ? "null" : std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void PrintCsv(const std::vector<llt>& fixes)
{
    std::cout << "trace,byte_offset,time,latitude,longitude,easting,northing,zone,speed_m_s,"
                 "spacing_m,distance_m\n";
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        const llt& f = fixes[i];
        // Projected positions have no latitude and longitude.
        std::cout << i << ',' << f.position << ',' << f.t.IsoText() << ','
                  << (f.isUTM ? "" : Number(f.lat, 8, false)) << ','
                  << (f.isUTM ? "" : Number(f.lon, 8, false)) << ',' << Number(f.x, 3, false) << ','
                  << Number(f.y, 3, false) << ',' << f.zone << ',' << Number(f.speed, 3, false)
                  << ',' << Number(f.deltap, 3, false) << ','
                  << Number(f.cummulativeDistance, 3, false) << '\n';
    }
}

void PrintJson(const NavOptions& o, const std::vector<llt>& fixes)
{
    std::cout << "{\"file\": " << JsonString(o.file)
              << ", \"nav_average_fixes\": " << o.navAverageFixes << ", \"fixes\": [";
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        const llt& f = fixes[i];
        std::cout << (i ? ",\n  " : "\n  ") << "{\"trace\": " << i
                  << ", \"byte_offset\": " << f.position << ", \"time\": \"" << f.t.IsoText()
                  << "\", \"latitude\": " << (f.isUTM ? "null" : Number(f.lat, 8, true))
                  << ", \"longitude\": " << (f.isUTM ? "null" : Number(f.lon, 8, true))
                  << ", \"easting\": " << Number(f.x, 3, true)
                  << ", \"northing\": " << Number(f.y, 3, true) << ", \"zone\": " << f.zone
                  << ", \"speed_m_s\": " << Number(f.speed, 3, true)
                  << ", \"spacing_m\": " << Number(f.deltap, 3, true)
                  << ", \"distance_m\": " << Number(f.cummulativeDistance, 3, true) << "}";
    }
    std::cout << "]}\n";
}

int RunNav(const NavOptions& o)
{
    switch (CheckNav(o.file)) {
    case NavPresence::Unreadable:
        PrintError(o.file, SegyOpenFailure(o.file));
        return kExitFailure;
    case NavPresence::Absent:
        PrintError(o.file, "no trace carries navigation");
        return kExitFailure;
    case NavPresence::Present:
        break;
    }
    std::vector<llt> fixes;
    const FixListStats stats = ReadAndBufferTraceHeaderData(o.file, o.navAverageFixes, fixes);
    if (stats.traces < 0) {
        PrintError(o.file, "cannot be read");
        return kExitFailure;
    }
    // As in the speed correction, a trace without a position is no fix.
    if (stats.withoutNavigation > 0)
        std::cerr << stats.withoutNavigation << " of " << stats.traces
                  << " traces without navigation left out\n";
    if (fixes.empty()) {
        PrintError(o.file, "no trace carries navigation");
        return kExitFailure;
    }
    if (stats.spikesRepaired > 0)
        std::cerr << "Navigation spikes repaired: " << stats.spikesRepaired << '\n';
    if (o.json)
        PrintJson(o, fixes);
    else
        PrintCsv(fixes);
    std::cout.flush();

    if (fixes.size() < 2) {
        std::cerr << fixes.size() << " fixes: fewer than two, no spacing or speed\n";
        return kExitOk;
    }
    const CombineSettings median; // spacing_mode median
    const double length = fixes.back().cummulativeDistance;
    const double seconds = fixes.back().t.SecondsSince(fixes.front().t);
    std::cerr << fixes.size() << " fixes, "
              << (fixes.front().isUTM ? std::string("projected")
                                      : "zone " + std::to_string(fixes.front().zone))
              << ", median spacing " << Number(ChooseSpacing(fixes, median), 3, false)
              << " m, track length " << Number(length, 3, false) << " m, mean speed "
              << Number(length / seconds, 3, false) << " m/s\n";
    return kExitOk;
}

} // namespace

void RegisterNav(CLI::App& app, std::vector<Command>& commands)
{
    auto o = std::make_shared<NavOptions>();
    auto* sub = app.add_subcommand(
        "nav",
        "List the navigation fixes of a SEG-Y file (traces without a position are left out) "
        "after time repair, zone choice, spike repair and smoothing, as CSV: trace, byte "
        "offset, time, latitude, longitude, easting, northing, zone, speed (m/s), spacing (m), "
        "distance along the track (m). A summary line goes to stderr, after the count of "
        "traces left out and of spikes repaired when there are any; its mean speed is the "
        "track length over the time from the first to the last fix. Exit 0 listed, 1 "
        "unreadable or without navigation, 2 usage");
    sub->add_option("FILE", o->file, "SEG-Y file")->required();
    sub->add_option("--nav-average-fixes",
                    o->navAverageFixes,
                    "Half-width of the smoothing window in fixes (2..100)")
        ->check(CLI::Range(2, 100))
        ->capture_default_str();
    sub->add_flag("--json", o->json, "One JSON object with one object per fix");
    commands.push_back({sub, [o] { return RunNav(*o); }});
}

} // namespace tessara::cli
