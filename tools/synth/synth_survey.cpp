#include "synth_survey.h"

#include "segy/format/byte_order.h"
#include "segy/format/sample_codec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>

namespace tessara::synth
{

namespace
{

constexpr int kFileHeaderBytes = 3600;
constexpr int kTraceHeaderBytes = 240;

// Streams of the seeded random decisions; each decision hashes its own
// coordinates, so any trace can be produced without producing those before it.
enum Stream : std::uint64_t {
    kGlitch = 1,
    kZeroCount,
    kZeroInterval,
    kMissingNav,
    kNoise,
    kShuffle,
    kLayerSign,
};

constexpr std::uint64_t SplitMix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::uint64_t Hash(std::uint64_t seed, std::uint64_t a, std::uint64_t b, std::uint64_t stream)
{
    return SplitMix(SplitMix(SplitMix(seed ^ (stream << 56)) ^ a) ^ (b * 0x9E3779B97F4A7C15ull));
}

/// Uniform in [0, 1).
double Uniform(std::uint64_t h)
{
    return static_cast<double>(h >> 11) * 0x1.0p-53;
}

bool Happens(const SurveyOptions& o, double rate, int file, int trace, Stream s)
{
    return rate > 0.0 &&
           Uniform(Hash(
               o.seed, static_cast<std::uint64_t>(file), static_cast<std::uint64_t>(trace), s)) <
               rate;
}

int PingsPerFile(const SurveyOptions& o)
{
    return (o.tracesPerFile + o.channelCount - 1) / o.channelCount;
}

// Times are whole milliseconds since 1970 so that the calendar (midnight, New
// Year, leap days) comes from the standard library, not from hand arithmetic.
std::int64_t StartMs(const SurveyOptions& o)
{
    using namespace std::chrono;
    const sys_days jan1 = year{o.year} / January / 1;
    const sys_days day = jan1 + days{o.dayOfYear - 1};
    return duration_cast<milliseconds>(day.time_since_epoch()).count() +
           ((static_cast<std::int64_t>(o.hour) * 60 + o.minute) * 60 + o.second) * 1000 +
           o.millisecond;
}

std::int64_t GapMs(const SurveyOptions& o, int boundary)
{
    const bool isLong = o.longGapEvery > 0 && boundary % o.longGapEvery == 0;
    return std::llround((isLong ? o.longGapS : o.shortGapS) * 1000.0);
}

std::int64_t PingOffsetMs(const SurveyOptions& o, std::int64_t ping)
{
    return std::llround(static_cast<double>(ping) * o.pingIntervalS * 1000.0);
}

std::int64_t FileStartMs(const SurveyOptions& o, int fileIndex)
{
    std::int64_t t = StartMs(o);
    for (int f = 1; f <= fileIndex; ++f)
        t += PingOffsetMs(o, PingsPerFile(o)) + GapMs(o, f);
    return t;
}

TraceTime ToTraceTime(std::int64_t ms)
{
    using namespace std::chrono;
    const sys_days day = floor<days>(sys_time<milliseconds>(milliseconds(ms)));
    const year_month_day ymd(day);
    const sys_days jan1 = ymd.year() / January / 1;
    std::int64_t rest = ms - duration_cast<milliseconds>(day.time_since_epoch()).count();
    TraceTime t;
    t.year = static_cast<int>(ymd.year());
    t.dayOfYear = static_cast<int>((day - jan1).count()) + 1;
    t.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    t.second = static_cast<int>(rest % 60);
    rest /= 60;
    t.minute = static_cast<int>(rest % 60);
    t.hour = static_cast<int>(rest / 60);
    return t;
}

std::int16_t ScalarFor(const SurveyOptions& o)
{
    if (o.coordinateScalar)
        return *o.coordinateScalar;
    return o.coordinateUnits == CoordinateUnits::Degrees ? std::int16_t{-10000}
                                                         : std::int16_t{-100};
}

/// Stored integer of a coordinate value under the SEG-Y scalar rule:
/// negative divides the stored value, positive multiplies it.
double ToStored(double value, std::int16_t scalar)
{
    if (scalar < 0)
        return value * -static_cast<double>(scalar);
    if (scalar > 0)
        return value / scalar;
    return value;
}

/// Degrees packed as DDDMMSS.ss, the seconds rounded to what the scalar can
/// hold and carried into minutes and degrees, so 59.999 s never shows as 60.
double PackDddmmss(double degrees, std::int16_t scalar)
{
    const double resolution = scalar < 0   ? 1.0 / -static_cast<double>(scalar)
                              : scalar > 0 ? scalar
                                           : 1.0;
    const double a = std::fabs(degrees);
    double d = std::floor(a);
    double m = std::floor((a - d) * 60.0);
    double s = std::round(((a - d) * 60.0 - m) * 60.0 / resolution) * resolution;
    if (s >= 60.0) {
        s -= 60.0;
        m += 1.0;
    }
    if (m >= 60.0) {
        m -= 60.0;
        d += 1.0;
    }
    const double packed = d * 10000.0 + m * 100.0 + s;
    return degrees < 0 ? -packed : packed;
}

struct Position {
    double x = 0; // stored sourceX
    double y = 0; // stored sourceY
};

// Metres north and east of the start `seconds` after the first ping.
void OffsetAt(const SurveyOptions& o, double seconds, double& north, double& east)
{
    const double along = AlongTrackMetres(o, seconds);
    // A gentle cross-track wobble, as a ship steering a line does.
    const double cross = 5.0 * std::sin(2.0 * std::numbers::pi * seconds / 120.0);
    const double h = o.headingDegrees * std::numbers::pi / 180.0;
    north = along * std::cos(h) - cross * std::sin(h);
    east = along * std::sin(h) + cross * std::cos(h);
}

constexpr double kMetresPerDegree = 111320.0;

// Latitude and longitude `north` and `east` metres from the start.
void LatLonAt(const SurveyOptions& o, double north, double east, double& lat, double& lon)
{
    lat = o.startLatitude + north / kMetresPerDegree;
    lon = o.startLongitude +
          east / (kMetresPerDegree * std::cos(o.startLatitude * std::numbers::pi / 180.0));
}

/// Where the ship is `seconds` after the first ping; `offNorthMetres` moves
/// the position off the track.
Position PositionAt(const SurveyOptions& o, double seconds, double offNorthMetres = 0.0)
{
    double north = 0;
    double east = 0;
    OffsetAt(o, seconds, north, east);
    north += offNorthMetres;
    const std::int16_t scalar = ScalarFor(o);

    if (o.coordinateUnits == CoordinateUnits::Metres)
        return {ToStored(o.startEasting + east, scalar), ToStored(o.startNorthing + north, scalar)};
    double lat = 0;
    double lon = 0;
    LatLonAt(o, north, east, lat, lon);
    switch (o.coordinateUnits) {
    case CoordinateUnits::ArcSeconds:
        return {ToStored(lon * 3600.0, scalar), ToStored(lat * 3600.0, scalar)};
    case CoordinateUnits::Degrees:
        return {ToStored(lon, scalar), ToStored(lat, scalar)};
    default:
        return {ToStored(PackDddmmss(lon, scalar), scalar),
                ToStored(PackDddmmss(lat, scalar), scalar)};
    }
}

bool FitsInt32(double v)
{
    return std::fabs(v) < 2147483647.0;
}

/// Text of the EBCDIC code page most recorders use, for the characters the
/// text header is made of; anything else becomes a blank.
unsigned char ToEbcdic(char c)
{
    static const std::array<unsigned char, 128> table = [] {
        std::array<unsigned char, 128> t{};
        t.fill(0x40);
        const auto run = [&t](char first, char last, unsigned char code) {
            for (char ch = first; ch <= last; ++ch)
                t[static_cast<unsigned char>(ch)] = static_cast<unsigned char>(code + (ch - first));
        };
        run('0', '9', 0xF0);
        run('A', 'I', 0xC1);
        run('J', 'R', 0xD1);
        run('S', 'Z', 0xE2);
        run('a', 'i', 0x81);
        run('j', 'r', 0x91);
        run('s', 'z', 0xA2);
        const char* punct = ".<(+|&!$*);-/,%_>?:#@'=\"";
        const unsigned char codes[] = {0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50, 0x5A, 0x5B,
                                       0x5C, 0x5D, 0x5E, 0x60, 0x61, 0x6B, 0x6C, 0x6D,
                                       0x6E, 0x6F, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};
        for (int i = 0; punct[i] != 0; ++i)
            t[static_cast<unsigned char>(punct[i])] = codes[i];
        return t;
    }();
    const auto u = static_cast<unsigned char>(c);
    return u < 128 ? table[u] : 0x40;
}

/// Little byte writer over a record, in the survey's byte order.
class CRecord
{
public:
    CRecord(unsigned char* bytes, bool bigEndian) : m_bytes(bytes), m_big(bigEndian) {}

    void Put8(int offset, int value) { m_bytes[offset] = static_cast<unsigned char>(value & 0xFF); }
    void Put16(int offset, int value)
    {
        const auto v = static_cast<std::uint16_t>(value);
        m_bytes[offset + (m_big ? 0 : 1)] = static_cast<unsigned char>(v >> 8);
        m_bytes[offset + (m_big ? 1 : 0)] = static_cast<unsigned char>(v & 0xFF);
    }
    void Put32(int offset, std::int64_t value)
    {
        const auto v = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            m_bytes[offset + (m_big ? i : 3 - i)] =
                static_cast<unsigned char>((v >> (8 * (3 - i))) & 0xFF);
    }

private:
    unsigned char* m_bytes;
    bool m_big;
};

const char* FormatName(int code)
{
    switch (code) {
    case 1:
        return "IBM FLOAT";
    case 2:
        return "INT32";
    case 3:
        return "INT16";
    case 5:
        return "IEEE FLOAT";
    default:
        return "INT8";
    }
}

void BuildFileHeader(const SurveyOptions& o, int fileIndex, unsigned char* out)
{
    const TraceTime t = FileStartTime(o, fileIndex);
    char lines[40][81];
    for (auto& line : lines)
        line[0] = 0;
    std::snprintf(lines[0],
                  81,
                  "CLIENT TESSARA TEST DATA   LINE L%03d   FILE %04d",
                  fileIndex + 1,
                  o.firstSequence + fileIndex);
    std::snprintf(lines[1],
                  81,
                  "SYNTHETIC SUB-BOTTOM PROFILER SURVEY   SEED %llu",
                  static_cast<unsigned long long>(o.seed));
    std::snprintf(lines[2],
                  81,
                  "SAMPLE FORMAT %d %s   %s",
                  o.formatCode,
                  FormatName(o.formatCode),
                  o.bigEndian ? "BIG-ENDIAN" : "LITTLE-ENDIAN");
    std::snprintf(lines[3],
                  81,
                  "SAMPLES PER TRACE %d   SAMPLE INTERVAL %d US",
                  o.samplesPerTrace,
                  o.sampleIntervalUs);
    std::snprintf(
        lines[4], 81, "PING INTERVAL %.3f S   CHANNELS %d", o.pingIntervalS, o.channelCount);
    std::snprintf(lines[5],
                  81,
                  "FIRST PING %04d-%03d %02d:%02d:%02d.%03d",
                  t.year,
                  t.dayOfYear,
                  t.hour,
                  t.minute,
                  t.second,
                  t.millisecond);
    std::snprintf(lines[6],
                  81,
                  "COORDINATE UNITS %d   SCALAR %d",
                  static_cast<int>(o.coordinateUnits),
                  static_cast<int>(ScalarFor(o)));
    std::snprintf(lines[38], 81, "SEG Y REV1");
    std::snprintf(lines[39], 81, "END TEXTUAL HEADER");

    for (int card = 0; card < 40; ++card) {
        char number[8];
        std::snprintf(number, sizeof number, "C%2d ", card + 1);
        std::string text = std::string(number) + lines[card];
        text.resize(80, ' ');
        for (int i = 0; i < 80; ++i) {
            const char c = text[static_cast<std::size_t>(i)];
            out[card * 80 + i] = o.ebcdicText ? ToEbcdic(c) : static_cast<unsigned char>(c);
        }
    }

    std::memset(out + 3200, 0, 400);
    CRecord r(out, o.bigEndian);
    r.Put32(3200, 1);              // job id
    r.Put32(3204, fileIndex + 1);  // line number
    r.Put32(3208, 1);              // reel number
    r.Put16(3212, o.channelCount); // traces per ensemble
    r.Put16(3216, o.sampleIntervalUs);
    r.Put16(3218, o.sampleIntervalUs);
    r.Put16(3220, o.samplesPerTrace);
    r.Put16(3222, o.samplesPerTrace);
    r.Put16(3224, o.formatCode);
    r.Put16(3226, 1);      // ensemble fold
    r.Put16(3228, 1);      // sorting: as recorded
    r.Put16(3254, 1);      // measurement system: metres
    r.Put16(3500, 0x0100); // revision 1.0
    r.Put16(3502, 1);      // fixed-length traces
}

void BuildTraceHeader(
    const SurveyOptions& o, int fileIndex, std::int64_t fileStartMs, int k, unsigned char* out)
{
    std::memset(out, 0, kTraceHeaderBytes);
    CRecord r(out, o.bigEndian);
    const int pingInFile = k / o.channelCount;
    const int channel = o.firstChannel + k % o.channelCount;
    const std::int64_t pingGlobal =
        static_cast<std::int64_t>(fileIndex) * PingsPerFile(o) + pingInFile;

    const std::int64_t traceNumber = static_cast<std::int64_t>(fileIndex) * o.tracesPerFile + k + 1;
    r.Put32(0, traceNumber);
    r.Put32(4, k + 1);
    r.Put32(8, pingGlobal + 1);
    r.Put32(12, k % o.channelCount + 1);
    r.Put32(24, 1);
    r.Put16(28, 1); // seismic data

    const std::int64_t ms = fileStartMs + PingOffsetMs(o, pingInFile);
    const double seconds = static_cast<double>(ms - StartMs(o)) / 1000.0;
    r.Put16(70, traceNumber == o.scalarSlipTrace ? o.slipScalar : ScalarFor(o));
    if (o.headerPositions && !Happens(o, o.missingNavRate, fileIndex, pingInFile, kMissingNav)) {
        const Position p =
            PositionAt(o, seconds, traceNumber == o.spikeTrace ? o.spikeMetres : 0.0);
        r.Put32(72, std::llround(p.x));
        r.Put32(76, std::llround(p.y));
        r.Put32(80, std::llround(p.x));
        r.Put32(84, std::llround(p.y));
    }
    r.Put16(88, static_cast<int>(o.coordinateUnits));

    const bool glitch = Happens(o, o.delayGlitchRate, fileIndex, k, kGlitch);
    r.Put16(108, glitch ? o.glitchDelayMs : o.delayMs);
    r.Put16(114, Happens(o, o.zeroCountRate, fileIndex, k, kZeroCount) ? 0 : o.samplesPerTrace);
    r.Put16(116,
            Happens(o, o.zeroIntervalRate, fileIndex, k, kZeroInterval) ? 0 : o.sampleIntervalUs);

    const TraceTime t = ToTraceTime(ms);
    r.Put16(156, o.twoDigitYear ? t.year % 100 : t.year);
    r.Put16(158, k < o.zeroDayLeadingTraces ? 0 : t.dayOfYear + o.headerDayShift);
    const bool clockGlitch = fileIndex == o.clockGlitchFile && k == o.clockGlitchTrace;
    r.Put16(160, clockGlitch ? (t.hour + o.clockGlitchHours) % 24 : t.hour);
    r.Put16(162, t.minute);
    r.Put16(164, t.second);
    r.Put16(166, t.millisecond);

    switch (o.channelField) {
    case ChannelField::None:
        break;
    case ChannelField::TraceSequenceFile:
        r.Put32(4, channel);
        break;
    case ChannelField::TraceInEnsemble:
        r.Put32(24, channel);
        break;
    case ChannelField::TraceIdCode:
        r.Put16(28, channel);
        break;
    case ChannelField::DigitizerChannel:
        r.Put8(180, channel);
        break;
    case ChannelField::UserBytes:
        if (o.channelByteWidth == 1)
            r.Put8(o.channelByteOffset, channel);
        else if (o.channelByteWidth == 2)
            r.Put16(o.channelByteOffset, channel);
        else
            r.Put32(o.channelByteOffset, channel);
        break;
    }
}

double Amplitude(int formatCode)
{
    switch (formatCode) {
    case 2:
        return 1.0e6;
    case 3:
        return 8000.0;
    case 8:
        return 90.0;
    default:
        return 1000.0;
    }
}

/// Encodes samples in the survey's byte order. The project's encoder writes
/// big-endian; a little-endian survey reverses each word afterwards.
void EncodeSamples(const SurveyOptions& o, const double* in, int n, unsigned char* out)
{
    EncodeSamplesBigEndian(o.formatCode, in, n, out);
    if (o.bigEndian)
        return;
    if (o.formatCode == 3)
        SwapBytes16(out, n);
    else if (o.formatCode != 8)
        SwapBytes32(out, n);
}

std::string FileError(const std::string& what, const std::filesystem::path& path)
{
    return what + " " + path.string() + ": " + std::strerror(errno);
}

} // namespace

double AlongTrackMetres(const SurveyOptions& o, double seconds)
{
    double metres = 0.0;
    double from = 0.0;
    double speed = o.speedMps;
    for (const SpeedChange& c : o.speedChanges) {
        if (c.atSeconds >= seconds)
            break;
        metres += speed * (c.atSeconds - from);
        from = c.atSeconds;
        speed = c.speedMps;
    }
    return metres + speed * (seconds - from);
}

std::string CheckOptions(const SurveyOptions& o)
{
    const auto range = [](const char* name, double v, double lo, double hi) -> std::string {
        if (std::isfinite(v) && v >= lo && v <= hi)
            return {};
        char text[160];
        std::snprintf(text, sizeof text, "%s %g not in %g..%g", name, v, lo, hi);
        return text;
    };
    std::string e;
    const auto check = [&e](std::string m) {
        if (e.empty())
            e = std::move(m);
    };
    if (o.outDir.empty())
        check("No output directory given");
    check(range("Files", o.fileCount, 1, 9999));
    check(range("First sequence number", o.firstSequence, 0, 9999 - (o.fileCount - 1)));
    check(range("Traces per file", o.tracesPerFile, 1, 2147483647.0));
    if (!IsReadableFormat(o.formatCode)) {
        check("Sample format " + std::to_string(o.formatCode) + " not in {1,2,3,5,8}");
    }
    check(range("Samples per trace", o.samplesPerTrace, 1, 65535));
    check(range("Sample interval (us)", o.sampleIntervalUs, 1, 32767));
    check(range("Ping interval (s)", o.pingIntervalS, 0.001, 3600));
    check(range("Year", o.year, 1, 9999));
    const bool leap = (o.year % 4 == 0 && o.year % 100 != 0) || o.year % 400 == 0;
    check(range("Day of year", o.dayOfYear, 1, leap ? 366 : 365));
    check(range("Hour", o.hour, 0, 23));
    check(range("Minute", o.minute, 0, 59));
    check(range("Second", o.second, 0, 59));
    check(range("Millisecond", o.millisecond, 0, 999));
    check(range("Coordinate units", static_cast<int>(o.coordinateUnits), 1, 4));
    check(range("Latitude", o.startLatitude, -89, 89));
    check(range("Longitude", o.startLongitude, -180, 180));
    check(range("Speed (m/s)", o.speedMps, 0, 50));
    double lastChange = 0.0;
    for (const SpeedChange& c : o.speedChanges) {
        check(range("Speed change time (s)", c.atSeconds, lastChange, 1e9));
        check(range("Speed (m/s)", c.speedMps, 0, 50));
        lastChange = c.atSeconds;
    }
    check(range("Heading", o.headingDegrees, -360, 360));
    check(range("Missing navigation rate", o.missingNavRate, 0, 1));
    check(range("Spike trace", static_cast<double>(o.spikeTrace), 0, 2147483647.0));
    check(range("Spike (m)", o.spikeMetres, -1e7, 1e7));
    check(range("Scalar slip trace", static_cast<double>(o.scalarSlipTrace), 0, 2147483647.0));
    check(range("Channels", o.channelCount, 1, 1000));
    if (o.channelCount > 1 && o.channelField == ChannelField::None)
        check("Channels " + std::to_string(o.channelCount) + " need a channel field");
    const double lastChannel = o.firstChannel + o.channelCount - 1.0;
    switch (o.channelField) {
    case ChannelField::TraceIdCode:
        check(range("Last channel", lastChannel, -32768, 32767));
        check(range("First channel", o.firstChannel, -32768, 32767));
        break;
    case ChannelField::DigitizerChannel:
        check(range("Last channel", lastChannel, -128, 127));
        check(range("First channel", o.firstChannel, -128, 127));
        break;
    case ChannelField::UserBytes:
        if (o.channelByteWidth != 1 && o.channelByteWidth != 2 && o.channelByteWidth != 4)
            check("Channel byte width " + std::to_string(o.channelByteWidth) + " not in {1,2,4}");
        check(range("Channel byte offset", o.channelByteOffset, 0, 240 - o.channelByteWidth));
        // Bytes 114-117 give the record length: a channel there would break the file.
        if (o.channelByteOffset < 118 && o.channelByteOffset + o.channelByteWidth > 114)
            check("Channel bytes " + std::to_string(o.channelByteOffset) +
                  " overlap the sample count and interval at 114..117");
        if (o.channelByteWidth == 1)
            check(range("Last channel", lastChannel, -128, 255));
        else if (o.channelByteWidth == 2)
            check(range("Last channel", lastChannel, -32768, 65535));
        break;
    default:
        break;
    }
    check(range("Delay (ms)", o.delayMs, -32768, 32767));
    check(range("Glitch delay (ms)", o.glitchDelayMs, -32768, 32767));
    check(range("Glitch rate", o.delayGlitchRate, 0, 1));
    check(range("Zero sample count rate", o.zeroCountRate, 0, 1));
    check(range("Zero sample interval rate", o.zeroIntervalRate, 0, 1));
    check(range("Header day shift", o.headerDayShift, -366, 366));
    check(range("Zero-day leading traces", o.zeroDayLeadingTraces, 0, 2147483647.0));
    check(range("Clock glitch file", o.clockGlitchFile, -1, o.fileCount - 1));
    check(range("Clock glitch trace", o.clockGlitchTrace, 0, o.tracesPerFile - 1));
    check(range("Clock glitch hours", o.clockGlitchHours, 0, 23));
    check(range("Short gap (s)", o.shortGapS, 0, 1e7));
    check(range("Long gap (s)", o.longGapS, 0, 1e7));
    check(range("Long gap every", o.longGapEvery, 0, 9999));
    if (!e.empty())
        return e;

    // The whole survey must stay inside years 1..9999 and every coordinate
    // inside a signed 32-bit integer.
    const double spanS =
        static_cast<double>(FileStartMs(o, o.fileCount - 1) - StartMs(o)) / 1000.0 +
        PingsPerFile(o) * o.pingIntervalS;
    if (ToTraceTime(StartMs(o) + std::llround(spanS * 1000.0)).year > 9999)
        return "Survey of " + std::to_string(spanS) + " s runs past the year 9999";
    for (double s : {0.0, spanS}) {
        const Position p = PositionAt(o, s, std::fabs(o.spikeMetres));
        const Position q = PositionAt(o, s, -std::fabs(o.spikeMetres));
        if (!FitsInt32(p.x) || !FitsInt32(p.y) || !FitsInt32(q.x) || !FitsInt32(q.y))
            return "Coordinate scalar " + std::to_string(ScalarFor(o)) +
                   " makes coordinates overflow 32 bits";
    }
    return {};
}

std::int64_t FileBytes(const SurveyOptions& o)
{
    const std::int64_t traceBytes =
        kTraceHeaderBytes +
        static_cast<std::int64_t>(o.samplesPerTrace) * ReaderBytesPerSample(o.formatCode);
    return kFileHeaderBytes + traceBytes * o.tracesPerFile;
}

SurveyOptions BigSurveyOptions(const std::filesystem::path& outDir, std::int64_t totalBytes)
{
    SurveyOptions o;
    o.outDir = outDir;
    o.fileCount = 24;
    o.bigEndian = false;
    o.formatCode = 5;
    o.ebcdicText = false;
    o.samplesPerTrace = 5000;
    o.sampleIntervalUs = 20;
    o.pingIntervalS = 0.5;
    const std::int64_t traceBytes = kTraceHeaderBytes + 4 * 5000;
    const std::int64_t perFile = totalBytes / o.fileCount - kFileHeaderBytes;
    o.tracesPerFile = static_cast<int>(
        std::clamp<std::int64_t>((perFile + traceBytes / 2) / traceBytes, 1, 2147483647));
    return o;
}

SurveyOptions DemoSurveyOptions(const std::filesystem::path& outDir)
{
    SurveyOptions o;
    o.outDir = outDir;
    o.fileCount = 6;
    o.tracesPerFile = 240; // one minute at 4 pings a second
    o.shuffleList = true;
    o.shortGapS = 20.0;
    o.longGapS = 7200.0;
    o.longGapEvery = 3;
    o.zeroCountRate = 0.02;
    o.truncation = Truncation::LastFile;
    return o;
}

TraceTime FileStartTime(const SurveyOptions& o, int fileIndex)
{
    return ToTraceTime(FileStartMs(o, fileIndex));
}

TraceTime TraceTimeOf(const SurveyOptions& o, int fileIndex, int traceIndex)
{
    return ToTraceTime(FileStartMs(o, fileIndex) + PingOffsetMs(o, traceIndex / o.channelCount));
}

std::string FileName(const SurveyOptions& o, int fileIndex)
{
    const TraceTime t = FileStartTime(o, fileIndex);
    char name[64];
    if (o.nameLayout == NameLayout::YearDay)
        std::snprintf(name,
                      sizeof name,
                      "%04d_%04d_%03d_%02d%02d",
                      o.firstSequence + fileIndex,
                      t.year,
                      t.dayOfYear,
                      t.hour,
                      t.minute);
    else
        std::snprintf(name,
                      sizeof name,
                      "%04d_%03d_%02d%02d",
                      o.firstSequence + fileIndex,
                      t.dayOfYear,
                      t.hour,
                      t.minute);
    return name + o.extension;
}

void TraceSamples(const SurveyOptions& o, int fileIndex, int traceIndex, std::vector<double>& out)
{
    const int n = o.samplesPerTrace;
    out.assign(static_cast<std::size_t>(n), 0.0);
    const int channel = traceIndex % o.channelCount;
    const double ping =
        static_cast<double>(fileIndex) * PingsPerFile(o) + traceIndex / o.channelCount;
    const double dt = o.sampleIntervalUs * 1e-6;
    constexpr double kTwoPi = 2.0 * std::numbers::pi;

    // Source wavelet: a gaussian-windowed 4 kHz pulse, slower when the
    // sampling cannot carry it.
    const double f0 = std::min(4000.0, 0.15 / dt);
    const double sigma = 0.5 / f0;
    const int halfLength = std::max(1, static_cast<int>(std::ceil(3.0 * sigma / dt)));

    // Seabed and layers follow the ping number, so the section is continuous
    // across files; the layers thicken and thin slowly.
    const double seabed = n * (0.28 + 0.06 * std::sin(kTwoPi * ping / 700.0) +
                               0.02 * std::sin(kTwoPi * ping / 131.0 + 1.0));
    const double gain = 1.0 / (1.0 + 0.3 * channel);
    constexpr int kLayers = 6;
    for (int j = 0; j < kLayers; ++j) {
        const double depth =
            seabed + n * 0.05 * j * (1.0 + 0.2 * std::sin(kTwoPi * ping / (300.0 + 50 * j) + j));
        const double sign =
            j == 0 || Uniform(Hash(o.seed, 0, static_cast<std::uint64_t>(j), kLayerSign)) < 0.7
                ? 1.0
                : -1.0;
        const double amplitude = (j == 0 ? 1.0 : 0.5 * std::exp(-0.35 * j)) * sign * gain;
        const int centre = static_cast<int>(std::lround(depth));
        for (int i = std::max(0, centre - halfLength); i <= std::min(n - 1, centre + halfLength);
             ++i) {
            const double t = (i - depth) * dt;
            out[static_cast<std::size_t>(i)] +=
                amplitude * std::exp(-0.5 * (t / sigma) * (t / sigma)) * std::cos(kTwoPi * f0 * t);
        }
    }

    // Background noise everywhere, and scattering that decays below the seabed.
    std::uint64_t state = Hash(o.seed,
                               static_cast<std::uint64_t>(fileIndex),
                               static_cast<std::uint64_t>(traceIndex),
                               kNoise);
    const double decay = std::exp(-1.0 / (0.25 * n));
    double scatter = 0.15 * gain;
    const int seabedSample = static_cast<int>(seabed);
    const double scale = Amplitude(o.formatCode);
    const bool integral = o.formatCode == 2 || o.formatCode == 3 || o.formatCode == 8;
    for (int i = 0; i < n; ++i) {
        state = SplitMix(state);
        // Two 16-bit uniforms: a triangular variate in -1..1 is noise enough.
        const double u =
            (static_cast<double>(state & 0xFFFF) + static_cast<double>((state >> 16) & 0xFFFF)) /
                65535.0 -
            1.0;
        double v = out[static_cast<std::size_t>(i)] + 0.01 * u;
        if (i >= seabedSample) {
            const double u2 = static_cast<double>((state >> 32) & 0xFFFF) / 32767.5 - 1.0;
            v += scatter * u2;
            scatter *= decay;
        }
        v = std::clamp(v, -1.25, 1.25) * scale;
        out[static_cast<std::size_t>(i)] = integral ? std::nearbyint(v) : v;
    }
}

SurveyResult WriteSurvey(const SurveyOptions& o)
{
    SurveyResult result;
    result.error = CheckOptions(o);
    if (!result.error.empty())
        return result;

    std::error_code ec;
    std::filesystem::create_directories(o.outDir, ec);
    if (ec) {
        result.error = "Cannot create directory " + o.outDir.string() + ": " + ec.message();
        return result;
    }

    const int n = o.samplesPerTrace;
    const int sampleBytes = n * ReaderBytesPerSample(o.formatCode);
    std::vector<unsigned char> record(static_cast<std::size_t>(kTraceHeaderBytes + sampleBytes));
    std::vector<unsigned char> header(kFileHeaderBytes);
    std::vector<double> samples;
    constexpr std::size_t kBufferBytes = 1 << 20;
    auto buffer = std::make_unique<char[]>(kBufferBytes);

    std::vector<SynthFile> files;
    for (int f = 0; f < o.fileCount; ++f) {
        SynthFile file;
        file.path = o.outDir / FileName(o, f);
        file.sequence = o.firstSequence + f;
        file.timeOrder = f;
        file.truncated = o.truncation == Truncation::EveryFile ||
                         (o.truncation == Truncation::LastFile && f == o.fileCount - 1);

        std::FILE* fp = std::fopen(file.path.c_str(), "wb");
        if (fp == nullptr) {
            result.error = FileError("Cannot create", file.path);
            return result;
        }
        (void)std::setvbuf(fp, buffer.get(), _IOFBF, kBufferBytes); // only a speed hint
        BuildFileHeader(o, f, header.data());
        bool written = std::fwrite(header.data(), 1, header.size(), fp) == header.size();
        std::int64_t bytes = kFileHeaderBytes;
        const int records = o.tracesPerFile + (file.truncated ? 1 : 0);
        const std::int64_t startMs = FileStartMs(o, f);
        for (int k = 0; k < records && written; ++k) {
            BuildTraceHeader(o, f, startMs, k, record.data());
            TraceSamples(o, f, k, samples);
            EncodeSamples(o, samples.data(), n, record.data() + kTraceHeaderBytes);
            // An incomplete last record: the whole header, half of the samples.
            const bool cut = k == o.tracesPerFile;
            const std::size_t size =
                static_cast<std::size_t>(kTraceHeaderBytes + (cut ? sampleBytes / 2 : sampleBytes));
            written = std::fwrite(record.data(), 1, size, fp) == size;
            bytes += static_cast<std::int64_t>(size);
        }
        // fclose flushes the buffer: a full disk shows up here.
        if (std::fclose(fp) != 0 || !written) {
            result.error = FileError("Cannot write", file.path);
            return result;
        }
        file.traces = o.tracesPerFile;
        file.bytes = bytes;
        files.push_back(file);
    }

    if (o.shuffleList && files.size() > 1) {
        // Own Fisher-Yates: std::shuffle's order differs between libraries.
        for (std::size_t i = files.size() - 1; i > 0; --i) {
            const auto j = static_cast<std::size_t>(Hash(o.seed, i, 0, kShuffle) % (i + 1));
            std::swap(files[i], files[j]);
        }
        // A shuffled list that came out in time order would test nothing.
        if (std::is_sorted(files.begin(), files.end(), [](const SynthFile& a, const SynthFile& b) {
                return a.timeOrder < b.timeOrder;
            }))
            std::rotate(files.begin(), files.begin() + 1, files.end());
    }
    result.files = std::move(files);
    result.ok = true;
    return result;
}

namespace
{

// ddmm.mmmmmm (or dddmm.mmmmmm) and the hemisphere letter.
std::string NmeaAngle(double degrees, int width, char positive, char negative)
{
    const double a = std::fabs(degrees);
    double whole = std::floor(a);
    double minutes = (a - whole) * 60.0;
    if (std::llround(minutes * 1e6) >= 60'000'000) {
        whole += 1;
        minutes = 0;
    }
    char text[32];
    std::snprintf(text,
                  sizeof text,
                  "%0*d%09.6f,%c",
                  width,
                  static_cast<int>(whole),
                  minutes,
                  degrees < 0 ? negative : positive);
    return text;
}

} // namespace

std::string NmeaSentence(const std::string& body)
{
    unsigned sum = 0;
    for (const char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

std::string WriteNmeaLog(const SurveyOptions& o, const std::filesystem::path& path)
{
    if (o.coordinateUnits == CoordinateUnits::Metres)
        return "an NMEA log needs geographic units";
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    if (fp == nullptr)
        return FileError("Cannot create", path);
    const std::int64_t first = StartMs(o);
    const std::int64_t last = FileStartMs(o, o.fileCount - 1) + PingOffsetMs(o, PingsPerFile(o));
    constexpr std::int64_t kMarginMs = 5000;
    bool written = true;
    bool dated = false;
    // Whole seconds, as a receiver stamps them.
    for (std::int64_t ms = (first - kMarginMs) / 1000 * 1000; ms <= last + kMarginMs && written;
         ms += 1000) {
        using namespace std::chrono;
        const TraceTime t = ToTraceTime(ms);
        char clock[16];
        std::snprintf(clock, sizeof clock, "%02d%02d%02d.00", t.hour, t.minute, t.second);
        std::string text;
        if (!dated || t.second == 0) {
            dated = true;
            const year_month_day ymd{floor<days>(sys_time<milliseconds>(milliseconds(ms)))};
            char date[32];
            std::snprintf(date,
                          sizeof date,
                          ",%02u,%02u,%04d,00,00",
                          static_cast<unsigned>(ymd.day()),
                          static_cast<unsigned>(ymd.month()),
                          static_cast<int>(ymd.year()));
            text += NmeaSentence(std::string("GPZDA,") + clock + date) + "\r\n";
        }
        double north = 0;
        double east = 0;
        OffsetAt(o, static_cast<double>(ms - first) / 1000.0, north, east);
        double lat = 0;
        double lon = 0;
        LatLonAt(o, north, east, lat, lon);
        text += NmeaSentence(std::string("GPGGA,") + clock + "," + NmeaAngle(lat, 2, 'N', 'S') +
                             "," + NmeaAngle(lon, 3, 'E', 'W') + ",1,08,0.9,10.0,M,40.0,M,,") +
                "\r\n";
        written = std::fwrite(text.data(), 1, text.size(), fp) == text.size();
    }
    if (std::fclose(fp) != 0 || !written)
        return FileError("Cannot write", path);
    return "";
}

} // namespace tessara::synth
