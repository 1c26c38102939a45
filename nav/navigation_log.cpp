#include "nav/navigation_log.h"

#include <GeographicLib/UTMUPS.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

namespace tessara
{

namespace
{

using namespace std::chrono;

constexpr std::int64_t kTicksPerMs = 10'000;
constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr std::int64_t kHalfDayMs = kMsPerDay / 2;

// Midnight of a calendar date; empty for a date the calendar has not.
std::optional<CTimestamp> DateStart(int y, unsigned m, unsigned d)
{
    const year_month_day ymd{year{y}, month{m}, day{d}};
    if (!ymd.ok() || y < 1 || y > 9999)
        return std::nullopt;
    constexpr sys_days kOrigin = year{1} / January / 1;
    const auto ticks = duration_cast<CTimestamp::Ticks>(sys_days(ymd) - kOrigin);
    return CTimestamp::FromTicks(ticks.count());
}

CTimestamp Plus(const CTimestamp& t, std::int64_t ms)
{
    return CTimestamp::FromTicks(t.GetTicks() + ms * kTicksPerMs);
}

std::optional<double> Number(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> Digits(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

// The fields of `text` into `fields`, whose room is kept from line to line.
void SplitInto(std::string_view text, char separator, std::vector<std::string_view>& fields)
{
    fields.clear();
    for (;;) {
        const std::size_t at = text.find(separator);
        fields.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return;
        text.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> fields;
    SplitInto(text, separator, fields);
    return fields;
}

constexpr std::int64_t kNoTime = -1;

// "hhmmss.ss" to milliseconds of the day; kNoTime when it is none.
std::int64_t NmeaTimeOfDay(std::string_view text)
{
    if (text.size() < 6)
        return kNoTime;
    const std::optional<int> h = Digits(text.substr(0, 2));
    const std::optional<int> m = Digits(text.substr(2, 2));
    const std::optional<double> s = Number(text.substr(4));
    if (!h || !m || !s || *h > 23 || *m > 59 || *s < 0 || *s >= 61)
        return kNoTime;
    return (*h * 60 + *m) * 60'000 + std::llround(*s * 1000);
}

// "ddmm.mmmm" with "N"/"S" (or "dddmm.mmmm" with "E"/"W") to degrees.
std::optional<double> NmeaAngle(std::string_view value, std::string_view hemisphere, double limit)
{
    const std::optional<double> v = Number(value);
    if (!v || *v < 0 || hemisphere.size() != 1)
        return std::nullopt;
    const double degrees = std::floor(*v / 100);
    const double minutes = *v - degrees * 100;
    const double angle = degrees + minutes / 60;
    if (minutes >= 60 || angle > limit)
        return std::nullopt;
    const char h = hemisphere[0];
    if (h == 'S' || h == 'W')
        return -angle;
    if (h == 'N' || h == 'E')
        return angle;
    return std::nullopt;
}

// A sentence whose checksum matches: its fields without the '$' and the
// "*hh"; empty otherwise.
std::optional<std::string_view> CheckedSentence(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' '))
        line.remove_suffix(1);
    const std::size_t star = line.rfind('*');
    if (star == std::string_view::npos || star + 3 != line.size())
        return std::nullopt;
    std::uint8_t sum = 0;
    for (std::size_t k = 1; k < star; ++k)
        sum ^= static_cast<std::uint8_t>(line[k]);
    unsigned given = 0;
    const auto [end, error] =
        std::from_chars(line.data() + star + 1, line.data() + line.size(), given, 16);
    if (error != std::errc() || end != line.data() + line.size() || given != sum)
        return std::nullopt;
    return line.substr(1, star - 1);
}

// The day of the log, as ZDA and RMC give it and GGA times carry it on.
class CNmeaDay
{
public:
    void SetDate(const CTimestamp& midnight, std::int64_t timeOfDayMs)
    {
        m_midnight = midnight;
        m_lastMs = timeOfDayMs;
    }
    // The time of a GGA fix: the day rolls on when the clock went back by
    // more than half a day; a clock more than half a day ahead is a late
    // sentence of the day before.
    [[nodiscard]] std::optional<CTimestamp> At(std::int64_t timeOfDayMs)
    {
        if (!m_midnight)
            return std::nullopt;
        if (timeOfDayMs < m_lastMs - kHalfDayMs) {
            m_midnight = Plus(*m_midnight, kMsPerDay);
            m_lastMs = timeOfDayMs;
        } else if (timeOfDayMs > m_lastMs + kHalfDayMs) {
            return Plus(*m_midnight, timeOfDayMs - kMsPerDay);
        } else {
            m_lastMs = timeOfDayMs;
        }
        return Plus(*m_midnight, timeOfDayMs);
    }

private:
    std::optional<CTimestamp> m_midnight;
    std::int64_t m_lastMs = 0;
};

// Counts the fix and adds it when it follows the fixes before it in time.
void Keep(std::vector<LogFix>& fixes, LogReadStats& stats, const LogFix& fix)
{
    if (!fixes.empty() && fix.t <= fixes.back().t) {
        ++(fix.t == fixes.back().t ? stats.repeated : stats.outOfOrder);
        return;
    }
    fixes.push_back(fix);
    ++stats.fixes;
}

void NmeaSentence(std::string_view line,
                  CNmeaDay& day,
                  std::vector<std::string_view>& f,
                  std::vector<LogFix>& fixes,
                  LogReadStats& stats)
{
    const std::optional<std::string_view> sentence = CheckedSentence(line);
    // Only the sentences read count: another sentence's checksum is not ours to judge.
    const std::string_view address = line.substr(1, std::min<std::size_t>(line.size() - 1, 5));
    const std::string_view kind = address.size() == 5 ? address.substr(2) : std::string_view();
    if (kind != "GGA" && kind != "RMC" && kind != "ZDA")
        return;
    if (!sentence) {
        ++stats.badChecksum;
        return;
    }
    SplitInto(*sentence, ',', f);
    const std::int64_t ms = f.size() > 1 ? NmeaTimeOfDay(f[1]) : kNoTime;
    if (kind == "ZDA") {
        const std::optional<int> d = f.size() > 4 ? Digits(f[2]) : std::nullopt;
        const std::optional<int> m = f.size() > 4 ? Digits(f[3]) : std::nullopt;
        const std::optional<int> y = f.size() > 4 ? Digits(f[4]) : std::nullopt;
        if (ms != kNoTime && d && m && y) {
            if (const auto midnight =
                    DateStart(*y, static_cast<unsigned>(*m), static_cast<unsigned>(*d)))
                day.SetDate(*midnight, ms);
        }
        return;
    }
    const bool gga = kind == "GGA";
    const std::size_t latAt = gga ? 2 : 3;
    if (f.size() < (gga ? 7U : 10U)) {
        ++stats.noFix;
        return;
    }
    if (ms == kNoTime) {
        ++stats.noTime;
        return;
    }
    const bool valid = gga ? (Digits(f[6]).value_or(0) > 0) : f[2] == "A";
    const std::optional<double> lat = NmeaAngle(f[latAt], f[latAt + 1], 90);
    const std::optional<double> lon = NmeaAngle(f[latAt + 2], f[latAt + 3], 180);
    if (!gga) {
        // ddmmyy: two-digit years are those of GPS receivers, 1980 on.
        const std::optional<int> date = f[9].size() == 6 ? Digits(f[9]) : std::nullopt;
        if (date) {
            const int yy = *date % 100;
            const auto midnight = DateStart(yy < 80 ? 2000 + yy : 1900 + yy,
                                            static_cast<unsigned>(*date / 100 % 100),
                                            static_cast<unsigned>(*date / 10000));
            if (midnight)
                day.SetDate(*midnight, ms);
        }
    }
    if (!valid || !lat || !lon) {
        ++stats.noFix;
        return;
    }
    const std::optional<CTimestamp> t = day.At(ms);
    if (!t) {
        ++stats.noDate;
        return;
    }
    Keep(fixes, stats, {*t, *lat, *lon});
}

std::string Lower(std::string_view text)
{
    std::string lower;
    for (const char c : text) {
        if (c != ' ' && c != '"' && c != '\r')
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

// Index of the first column named one of `names`; -1 when none is.
int Column(const std::vector<std::string_view>& header, std::initializer_list<const char*> names)
{
    for (std::size_t k = 0; k < header.size(); ++k) {
        const std::string name = Lower(header[k]);
        for (const char* wanted : names) {
            if (name == wanted)
                return static_cast<int>(k);
        }
    }
    return -1;
}

// "hh:mm:ss[.sss]" to milliseconds of the day; kNoTime when it is none.
std::int64_t ClockTime(std::string_view text)
{
    const std::vector<std::string_view> p = Split(text, ':');
    if (p.size() != 3)
        return kNoTime;
    const std::optional<int> h = Digits(p[0]);
    const std::optional<int> m = Digits(p[1]);
    const std::optional<double> s = Number(p[2]);
    if (!h || !m || !s || *h > 23 || *m > 59 || *s < 0 || *s >= 61)
        return kNoTime;
    return (*h * 60 + *m) * 60'000 + std::llround(*s * 1000);
}

// An ISO 8601 time: the date, 'T' or a blank, the clock, then an optional
// "Z" or an offset from UTC, which is taken off.
std::optional<CTimestamp> IsoTime(std::string_view text)
{
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' ||
        (text[10] != 'T' && text[10] != ' '))
        return std::nullopt;
    const std::optional<int> y = Digits(text.substr(0, 4));
    const std::optional<int> m = Digits(text.substr(5, 2));
    const std::optional<int> d = Digits(text.substr(8, 2));
    std::string_view clock = text.substr(11);
    std::int64_t offsetMs = 0;
    if (!clock.empty() && clock.back() == 'Z') {
        clock.remove_suffix(1);
    } else if (const std::size_t sign = clock.find_first_of("+-"); sign != std::string_view::npos) {
        const std::string_view zone = clock.substr(sign + 1);
        const std::optional<int> zh =
            zone.size() == 5 && zone[2] == ':' ? Digits(zone.substr(0, 2)) : std::nullopt;
        const std::optional<int> zm = zh ? Digits(zone.substr(3, 2)) : std::nullopt;
        if (!zh || !zm)
            return std::nullopt;
        offsetMs = (*zh * 60 + *zm) * 60'000 * (clock[sign] == '+' ? 1 : -1);
        clock = clock.substr(0, sign);
    }
    const std::int64_t ms = ClockTime(clock);
    const std::optional<CTimestamp> midnight =
        y && m && d ? DateStart(*y, static_cast<unsigned>(*m), static_cast<unsigned>(*d))
                    : std::nullopt;
    if (ms == kNoTime || !midnight)
        return std::nullopt;
    return Plus(*midnight, ms - offsetMs);
}

// "2024/122/12:00:00.5" or "2024 122 12:00:00.5": year, day of year, clock.
std::optional<CTimestamp> YearDayTime(std::string_view text)
{
    std::vector<std::string_view> p =
        Split(text, text.find('/') != std::string_view::npos ? '/' : ' ');
    p.erase(std::remove(p.begin(), p.end(), std::string_view()), p.end());
    if (p.size() != 3)
        return std::nullopt;
    const std::optional<int> y = Digits(p[0]);
    const std::optional<int> doy = Digits(p[1]);
    const std::int64_t ms = ClockTime(p[2]);
    const std::optional<CTimestamp> jan1 = y ? DateStart(*y, 1, 1) : std::nullopt;
    if (!jan1 || !doy || ms == kNoTime || *doy < 1 || *doy > 366)
        return std::nullopt;
    const CTimestamp t = Plus(*jan1, (*doy - 1) * kMsPerDay + ms);
    if (t.Year() != *y)
        return std::nullopt;
    return t;
}

std::optional<CTimestamp> CsvTime(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '"'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '"' || text.back() == '\r'))
        text.remove_suffix(1);
    if (std::optional<CTimestamp> t = IsoTime(text))
        return t;
    return YearDayTime(text);
}

// The UTM zone of an EPSG code: 326zz north, 327zz south.
bool UtmOfEpsg(int epsg, int& zone, bool& north)
{
    zone = epsg % 100;
    north = epsg / 100 == 326;
    return (epsg / 100 == 326 || epsg / 100 == 327) && zone >= 1 && zone <= 60;
}

struct CsvColumns {
    int time = -1;
    int first = -1;  // latitude, or easting
    int second = -1; // longitude, or northing
    bool projected = false;
};

std::string FindColumns(const std::vector<std::string_view>& header, int epsg, CsvColumns& c)
{
    c.time = Column(header, {"time", "datetime", "timestamp"});
    c.first = Column(header, {"lat", "latitude"});
    c.second = Column(header, {"lon", "long", "longitude"});
    const int easting = Column(header, {"easting", "x"});
    const int northing = Column(header, {"northing", "y"});
    if (c.time < 0)
        return "no time column (time, datetime or timestamp)";
    if (c.first >= 0 && c.second >= 0)
        return "";
    if (easting >= 0 && northing >= 0) {
        c.first = easting;
        c.second = northing;
        c.projected = true;
        int zone = 0;
        bool north = true;
        if (epsg == 0)
            return "easting and northing need the EPSG code of their UTM zone";
        if (!UtmOfEpsg(epsg, zone, north))
            return "EPSG " + std::to_string(epsg) +
                   " is not a UTM zone (32601..32660, 32701..32760)";
        return "";
    }
    if (c.first < 0 && c.second < 0)
        return "no latitude and longitude columns (lat, lon) nor easting and northing";
    return c.first < 0 ? "no latitude column (lat or latitude)"
                       : "no longitude column (lon, long or longitude)";
}

// The position of one row in degrees; empty when it has none.
std::optional<std::array<double, 2>>
CsvPosition(const std::vector<std::string_view>& row, const CsvColumns& c, int epsg)
{
    const std::optional<double> a = Number(row[static_cast<std::size_t>(c.first)]);
    const std::optional<double> b = Number(row[static_cast<std::size_t>(c.second)]);
    if (!a || !b)
        return std::nullopt;
    if (!c.projected) {
        if (std::fabs(*a) > 90 || std::fabs(*b) > 180)
            return std::nullopt;
        return std::array<double, 2>{*a, *b};
    }
    int zone = 0;
    bool north = true;
    (void)UtmOfEpsg(epsg, zone, north); // checked with the header
    try {
        double lat = 0;
        double lon = 0;
        GeographicLib::UTMUPS::Reverse(zone, north, *a, *b, lat, lon);
        return std::array<double, 2>{lat, lon};
    } catch (const GeographicLib::GeographicErr&) {
        return std::nullopt;
    }
}

char CsvSeparator(std::string_view header)
{
    if (header.find('\t') != std::string_view::npos)
        return '\t';
    if (header.find(',') == std::string_view::npos && header.find(';') != std::string_view::npos)
        return ';';
    return ',';
}

} // namespace

std::string ReadNmeaLog(const std::string& path, std::vector<LogFix>& fixes, LogReadStats& stats)
{
    // Read whole: a day's log at one fix a second is some 7 MB.
    std::ifstream in(path, std::ios::binary);
    std::string text;
    if (in)
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in || in.bad())
        return "cannot be read";
    std::vector<LogFix> read;
    LogReadStats counts;
    CNmeaDay day;
    std::vector<std::string_view> fields;
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const std::size_t dollar = line.find('$');
        if (dollar != std::string_view::npos)
            NmeaSentence(line.substr(dollar), day, fields, read, counts);
    }
    if (read.empty() && counts.noDate > 0)
        return "no date (ZDA or RMC sentence) before any of its " + std::to_string(counts.noDate) +
               " fixes";
    fixes.insert(fixes.end(), read.begin(), read.end());
    stats = counts;
    return "";
}

std::string
ReadCsvLog(const std::string& path, int epsg, std::vector<LogFix>& fixes, LogReadStats& stats)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "cannot be read";
    std::string line;
    while (std::getline(in, line) && Lower(line).empty()) {
    }
    const char separator = CsvSeparator(line);
    const std::vector<std::string_view> header = Split(line, separator);
    CsvColumns c;
    if (std::string problem = FindColumns(header, epsg, c); !problem.empty())
        return problem;
    const std::size_t needed = static_cast<std::size_t>(std::max({c.time, c.first, c.second})) + 1;
    std::vector<LogFix> read;
    LogReadStats counts;
    while (std::getline(in, line)) {
        if (Lower(line).empty())
            continue;
        const std::vector<std::string_view> row = Split(line, separator);
        const std::optional<CTimestamp> t =
            row.size() >= needed ? CsvTime(row[static_cast<std::size_t>(c.time)]) : std::nullopt;
        if (!t) {
            ++counts.noTime;
            continue;
        }
        const auto position = CsvPosition(row, c, epsg);
        if (!position) {
            ++counts.noFix;
            continue;
        }
        Keep(read, counts, {*t, (*position)[0], (*position)[1]});
    }
    if (in.bad())
        return "cannot be read";
    fixes.insert(fixes.end(), read.begin(), read.end());
    stats = counts;
    return "";
}

std::string ReadNavigationFile(const std::string& path,
                               int epsg,
                               std::vector<LogFix>& fixes,
                               LogReadStats& stats)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "cannot be read";
    std::string line;
    while (std::getline(in, line) && Lower(line).empty()) {
    }
    in.close();
    if (line.find('$') != std::string::npos)
        return ReadNmeaLog(path, fixes, stats);
    return ReadCsvLog(path, epsg, fixes, stats);
}

std::int64_t SortLogFixes(std::vector<LogFix>& fixes)
{
    std::stable_sort(
        fixes.begin(), fixes.end(), [](const LogFix& a, const LogFix& b) { return a.t < b.t; });
    const auto end = std::unique(
        fixes.begin(), fixes.end(), [](const LogFix& a, const LogFix& b) { return a.t == b.t; });
    const auto dropped = static_cast<std::int64_t>(fixes.end() - end);
    fixes.erase(end, fixes.end());
    return dropped;
}

} // namespace tessara
