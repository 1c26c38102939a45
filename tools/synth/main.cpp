// tessara-synth: writes synthetic marine SEG-Y surveys for tests, demos and
// benchmarks. Prints the files written, one path a line, in list order.
// Exit codes: 0 written, 1 the survey could not be written, 2 usage error.
#include "tools/synth/synth_survey.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>

namespace
{

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

/// "1e9", "750M", "2G", "64k": bytes, suffixes in powers of 1000.
bool ParseBytes(const std::string& text, std::int64_t& bytes)
{
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    const std::string suffix = text.substr(used);
    double factor = 1;
    if (suffix == "k" || suffix == "K")
        factor = 1e3;
    else if (suffix == "M")
        factor = 1e6;
    else if (suffix == "G")
        factor = 1e9;
    else if (!suffix.empty())
        return false;
    value *= factor;
    if (!(value >= 1e5 && value <= 1e13))
        return false;
    bytes = static_cast<std::int64_t>(value);
    return true;
}

/// "HH:MM", "HH:MM:SS" or "HH:MM:SS.mmm".
bool ParseTime(const std::string& text, tessara::synth::SurveyOptions& o)
{
    int h = 0, m = 0, s = 0, ms = 0;
    char tail = 0;
    const int n = std::sscanf(text.c_str(), "%d:%d:%d.%3d%c", &h, &m, &s, &ms, &tail);
    if (n < 2 || n > 4)
        return false;
    o.hour = h;
    o.minute = m;
    o.second = n >= 3 ? s : 0;
    o.millisecond = n >= 4 ? ms : 0;
    return true;
}

/// "TRACE:VALUE", the whole text.
bool ParseTraceValue(const std::string& text, std::int64_t& trace, double& value)
{
    long long t = 0;
    double v = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%lld:%lf%n", &t, &v, &used) != 2 ||
        static_cast<std::size_t>(used) != text.size())
        return false;
    trace = t;
    value = v;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tessara::synth;
    SurveyOptions o;
    CLI::App app{"Writes a synthetic marine SEG-Y survey (deterministic from --seed)",
                 "tessara-synth"};
    // A later option overrides an earlier one, so scripts can append to a base line.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    std::string outDir;
    app.add_option("--out", outDir, "Output directory (created when missing)")->required();
    app.add_option("--files", o.fileCount, "Number of files")->capture_default_str();
    app.add_option("--traces", o.tracesPerFile, "Complete traces per file, all channels")
        ->capture_default_str();
    app.add_option("--samples", o.samplesPerTrace, "Samples per trace")->capture_default_str();
    app.add_option("--interval", o.sampleIntervalUs, "Sample interval in microseconds")
        ->capture_default_str();
    app.add_option("--ping", o.pingIntervalS, "Ping interval in seconds")->capture_default_str();
    app.add_option("--format", o.formatCode, "Sample format code: 1, 2, 3, 5 or 8")
        ->capture_default_str();
    std::string order = "big";
    app.add_option("--byte-order", order, "big or little")
        ->check(CLI::IsMember({"big", "little"}))
        ->capture_default_str();
    std::string text = "ebcdic";
    app.add_option("--text", text, "Text header encoding: ebcdic or ascii")
        ->check(CLI::IsMember({"ebcdic", "ascii"}))
        ->capture_default_str();
    const std::map<std::string, NameLayout> layouts{{"year-day", NameLayout::YearDay},
                                                    {"day-only", NameLayout::DayOnly}};
    std::string names = "year-day";
    app.add_option(
           "--names", names, "year-day (0001_2003_255_1735.sgy) or day-only (0001_255_1735.sgy)")
        ->check(CLI::IsMember(layouts))
        ->capture_default_str();
    app.add_option("--first-sequence", o.firstSequence, "Sequence number of the first file")
        ->capture_default_str();
    app.add_option("--extension", o.extension, "File name extension")->capture_default_str();

    app.add_option("--year", o.year, "Year of the first ping")->capture_default_str();
    app.add_option("--day", o.dayOfYear, "Day of year of the first ping (1 = 1 January)")
        ->capture_default_str();
    std::string time;
    app.add_option("--time", time, "Time of the first ping: HH:MM[:SS[.mmm]] (default 17:35)");

    const std::map<std::string, CoordinateUnits> units{{"metres", CoordinateUnits::Metres},
                                                       {"arcsec", CoordinateUnits::ArcSeconds},
                                                       {"degrees", CoordinateUnits::Degrees},
                                                       {"dddmmss", CoordinateUnits::Dddmmss}};
    std::string unitName = "arcsec";
    app.add_option(
           "--units", unitName, "Coordinate units (88): 1 metres, 2 arcsec, 3 degrees, 4 dddmmss")
        ->check(CLI::IsMember(units))
        ->capture_default_str();
    std::int16_t scalar = 0;
    auto* scalarOption =
        app.add_option("--scalar", scalar, "Coordinate scalar (default -100, degrees -10000)");
    app.add_option("--lat", o.startLatitude, "Start latitude, degrees")->capture_default_str();
    app.add_option("--lon", o.startLongitude, "Start longitude, degrees")->capture_default_str();
    app.add_option("--easting", o.startEasting, "Start easting, metres (--units metres)")
        ->capture_default_str();
    app.add_option("--northing", o.startNorthing, "Start northing, metres (--units metres)")
        ->capture_default_str();
    app.add_option("--heading", o.headingDegrees, "Ship heading, degrees")->capture_default_str();
    app.add_option("--speed", o.speedMps, "Ship speed, m/s")->capture_default_str();
    std::vector<std::string> speedChanges;
    app.add_option("--speed-change",
                   speedChanges,
                   "SECONDS:SPEED: from that time after the first ping on, the ship runs at "
                   "SPEED m/s (repeatable, in ascending time)")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--missing-nav-rate", o.missingNavRate, "Fraction of pings without position");
    bool noHeaderPositions = false;
    app.add_flag("--no-header-positions", noHeaderPositions, "Write no position into any trace");
    std::string nmeaPath;
    app.add_option("--nmea", nmeaPath, "Also write the track as a GPS's NMEA 0183 log (GGA, ZDA)");
    std::string spike;
    app.add_option("--spike",
                   spike,
                   "TRACE:METRES: that trace (numbered through the survey from 1, bytes 0-3) "
                   "lies METRES north of the track");
    std::string slip;
    app.add_option("--scalar-slip",
                   slip,
                   "TRACE:SCALAR: that trace carries coordinate scalar SCALAR while its "
                   "coordinates stay stored for the survey's scalar");

    app.add_option("--channels", o.channelCount, "Interleaved channels")->capture_default_str();
    app.add_option("--first-channel", o.firstChannel, "Number of the first channel")
        ->capture_default_str();
    const std::map<std::string, ChannelField> fields{{"none", ChannelField::None},
                                                     {"seq-file", ChannelField::TraceSequenceFile},
                                                     {"in-ensemble", ChannelField::TraceInEnsemble},
                                                     {"trace-id", ChannelField::TraceIdCode},
                                                     {"digitizer", ChannelField::DigitizerChannel},
                                                     {"bytes", ChannelField::UserBytes}};
    std::string field = "none";
    app.add_option("--channel-field",
                   field,
                   "Channel number in: seq-file (4), in-ensemble (24), trace-id (28), "
                   "digitizer (180), bytes (--channel-offset, --channel-width)")
        ->check(CLI::IsMember(fields))
        ->capture_default_str();
    app.add_option(
           "--channel-offset", o.channelByteOffset, "Channel bytes: offset 0..239, file byte order")
        ->capture_default_str();
    app.add_option("--channel-width", o.channelByteWidth, "Channel bytes: width 1, 2 or 4")
        ->capture_default_str();

    app.add_option("--delay", o.delayMs, "Delay recording time, ms")->capture_default_str();
    app.add_option("--glitch-rate", o.delayGlitchRate, "Fraction of traces with a glitch delay");
    app.add_option("--glitch-delay", o.glitchDelayMs, "Delay of a glitch trace, ms")
        ->capture_default_str();
    app.add_option("--zero-count-rate", o.zeroCountRate, "Fraction of headers with sampleCount 0");
    app.add_option(
        "--zero-interval-rate", o.zeroIntervalRate, "Fraction of headers with sampleInterval 0");
    const std::map<std::string, Truncation> truncations{
        {"none", Truncation::None}, {"last", Truncation::LastFile}, {"all", Truncation::EveryFile}};
    std::string truncate = "none";
    app.add_option("--truncate", truncate, "Incomplete last trace in: none, last (file), all")
        ->check(CLI::IsMember(truncations))
        ->capture_default_str();
    app.add_option("--header-day-shift", o.headerDayShift, "Added to the day in trace headers");
    app.add_option("--zero-day-traces", o.zeroDayLeadingTraces, "Leading traces with day 0");
    app.add_flag("--two-digit-year", o.twoDigitYear, "Write the year as two digits");
    app.add_option("--clock-glitch-file",
                   o.clockGlitchFile,
                   "File (0-based, time order) with a trace of a wrong hour; -1: none")
        ->capture_default_str();
    app.add_option("--clock-glitch-trace", o.clockGlitchTrace, "Trace (0-based) of the wrong hour")
        ->capture_default_str();
    app.add_option("--clock-glitch-hours", o.clockGlitchHours, "Hours added to its clock")
        ->capture_default_str();

    app.add_option("--gap", o.shortGapS, "Gap between files, seconds");
    app.add_option("--long-gap", o.longGapS, "Long gap, seconds");
    app.add_option("--long-gap-every", o.longGapEvery, "Every n-th boundary gets the long gap");
    app.add_flag("--shuffle", o.shuffleList, "List the files out of time order");
    app.add_option("--seed", o.seed, "Random seed")->capture_default_str();

    std::string preset;
    app.add_option("--preset",
                   preset,
                   "demo: 6 small files listed out of order, a short and a long gap; "
                   "big: 24 little-endian IEEE files of 5000 samples, --total-bytes in all. "
                   "Options given explicitly override the preset")
        ->check(CLI::IsMember({"demo", "big"}));
    std::string total = "1G";
    app.add_option("--total-bytes", total, "Size of the big preset, e.g. 1G, 300M")
        ->capture_default_str();
    std::string listPath;
    app.add_option("--list", listPath, "Also write the list of files to this file");
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "Print traces, bytes and start time per file");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        (void)app.exit(e); // prints the message; every usage error has one exit code
        return kExitUsage;
    }

    if (!preset.empty()) {
        std::int64_t totalBytes = 0;
        if (preset == "big" && !ParseBytes(total, totalBytes)) {
            std::cerr << "Total size " << total << " not in 100k..10000G\n";
            return kExitUsage;
        }
        const SurveyOptions p =
            preset == "big" ? BigSurveyOptions(outDir, totalBytes) : DemoSurveyOptions(outDir);
        // The preset fills in what the command line left open.
        const auto unset = [&app](const char* name) { return app.count(name) == 0; };
        if (unset("--files"))
            o.fileCount = p.fileCount;
        if (unset("--byte-order"))
            order = p.bigEndian ? "big" : "little";
        if (unset("--format"))
            o.formatCode = p.formatCode;
        if (unset("--text"))
            text = p.ebcdicText ? "ebcdic" : "ascii";
        if (unset("--samples"))
            o.samplesPerTrace = p.samplesPerTrace;
        if (unset("--interval"))
            o.sampleIntervalUs = p.sampleIntervalUs;
        if (unset("--ping"))
            o.pingIntervalS = p.pingIntervalS;
        if (unset("--gap"))
            o.shortGapS = p.shortGapS;
        if (unset("--long-gap"))
            o.longGapS = p.longGapS;
        if (unset("--long-gap-every"))
            o.longGapEvery = p.longGapEvery;
        if (unset("--shuffle"))
            o.shuffleList = p.shuffleList;
        if (unset("--zero-count-rate"))
            o.zeroCountRate = p.zeroCountRate;
        if (unset("--truncate")) {
            for (const auto& [name, value] : truncations) {
                if (value == p.truncation)
                    truncate = name;
            }
        }
        if (unset("--traces")) {
            o.tracesPerFile = p.tracesPerFile;
            if (preset == "big") {
                // Sized for the total with the file layout finally chosen.
                SurveyOptions sized = o;
                sized.tracesPerFile = 1;
                const std::int64_t traceBytes = FileBytes(sized) - 3600;
                const std::int64_t perFile = totalBytes / std::max(1, o.fileCount) - 3600;
                o.tracesPerFile = static_cast<int>(std::clamp<std::int64_t>(
                    (perFile + traceBytes / 2) / traceBytes, 1, 2147483647));
            }
        }
    }
    o.outDir = outDir;
    o.nameLayout = layouts.at(names);
    o.coordinateUnits = units.at(unitName);
    o.channelField = fields.at(field);
    o.truncation = truncations.at(truncate);
    o.bigEndian = order == "big";
    o.ebcdicText = text == "ebcdic";
    if (*scalarOption)
        o.coordinateScalar = scalar;
    if (!time.empty() && !ParseTime(time, o)) {
        std::cerr << "Time " << time << " not in the form HH:MM[:SS[.mmm]]\n";
        return kExitUsage;
    }
    for (const std::string& change : speedChanges) {
        SpeedChange c;
        int used = 0;
        if (std::sscanf(change.c_str(), "%lf:%lf%n", &c.atSeconds, &c.speedMps, &used) != 2 ||
            static_cast<std::size_t>(used) != change.size()) {
            std::cerr << "Speed change " << change << " not in the form SECONDS:SPEED\n";
            return kExitUsage;
        }
        o.speedChanges.push_back(c);
    }

    if (!spike.empty() && !ParseTraceValue(spike, o.spikeTrace, o.spikeMetres)) {
        std::cerr << "Spike " << spike << " not in the form TRACE:METRES\n";
        return kExitUsage;
    }
    if (!slip.empty()) {
        double slipScalar = 0;
        if (!ParseTraceValue(slip, o.scalarSlipTrace, slipScalar) ||
            !(slipScalar >= -32768 && slipScalar <= 32767) ||
            slipScalar != std::trunc(slipScalar)) {
            std::cerr << "Scalar slip " << slip
                      << " not in the form TRACE:SCALAR (-32768..32767)\n";
            return kExitUsage;
        }
        o.slipScalar = static_cast<std::int16_t>(slipScalar);
    }

    o.headerPositions = !noHeaderPositions;
    const SurveyResult result = WriteSurvey(o);
    if (!result.ok) {
        std::cerr << result.error << '\n';
        return kExitFailed;
    }
    if (!nmeaPath.empty()) {
        if (const std::string error = WriteNmeaLog(o, nmeaPath); !error.empty()) {
            std::cerr << error << '\n';
            return kExitFailed;
        }
    }
    std::ofstream list;
    if (!listPath.empty()) {
        list.open(listPath);
        if (!list) {
            std::cerr << "Cannot write the list " << listPath << '\n';
            return kExitFailed;
        }
    }
    for (const SynthFile& f : result.files) {
        std::cout << f.path.string();
        if (verbose) {
            const TraceTime t = FileStartTime(o, f.timeOrder);
            char start[32];
            std::snprintf(start,
                          sizeof start,
                          "%04d-%03d %02d:%02d:%02d.%03d",
                          t.year,
                          t.dayOfYear,
                          t.hour,
                          t.minute,
                          t.second,
                          t.millisecond);
            std::cout << "  " << f.traces << " traces" << (f.truncated ? " + 1 truncated" : "")
                      << "  " << f.bytes << " bytes  first ping " << start;
        }
        std::cout << '\n';
        if (list)
            list << f.path.string() << '\n';
    }
    if (list) {
        list.close();
        if (!list) {
            std::cerr << "Cannot write the list " << listPath << '\n';
            return kExitFailed;
        }
    }
    return 0;
}
