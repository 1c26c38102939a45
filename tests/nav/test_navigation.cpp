// Navigation buffering: the per-trace conversion, time repair, zone choice,
// smoothing and spacing, with hand-worked values and, where the numbers need
// geodesy, GeographicLib's own command-line tools.
#include "nav/navigation.h"
#include "tests/nav/nav_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace tessara::test
{
namespace
{

// ---------------------------------------------------------------------------
// One header to one fix.

struct ConvertCase {
    const char* name;
    FixSpec in;
    int headerYearAfter;
    std::int64_t ticks; // expected t; from an independent calendar or the placeholder
    bool isUTM;
    double lat;
    double lon;
    int zone;
};

SegyHeaderType HeaderOf(const FixSpec& f)
{
    SegyHeaderType h{};
    h.coordinateUnits = static_cast<std::int16_t>(f.units);
    h.coordinateScalar = static_cast<std::int16_t>(f.scalar);
    h.sourceX = static_cast<std::int32_t>(f.x);
    h.sourceY = static_cast<std::int32_t>(f.y);
    h.year = static_cast<std::int16_t>(f.year);
    h.dayOfYear = static_cast<std::int16_t>(f.day);
    h.hour = static_cast<std::int16_t>(f.hour);
    h.minute = static_cast<std::int16_t>(f.minute);
    h.second = static_cast<std::int16_t>(f.second);
    h.millisecond = static_cast<std::int16_t>(f.ms);
    h.traceSequenceFile = f.sequence;
    return h;
}

FixSpec Spec(int units, int scalar, std::int64_t x, std::int64_t y, int year, int day, int seq)
{
    FixSpec f;
    f.units = units;
    f.scalar = scalar;
    f.x = x;
    f.y = y;
    f.year = year;
    f.day = day;
    f.hour = 0;
    f.sequence = seq;
    return f;
}

class ConvertTraceHeader : public ::testing::TestWithParam<ConvertCase>
{
};

TEST_P(ConvertTraceHeader, GivesTimePositionAndZone)
{
    const ConvertCase& c = GetParam();
    SegyHeaderType h = HeaderOf(c.in);
    llt fix;
    Convert_Trace_Data_to_Normal_Units(h, fix);
    EXPECT_EQ(h.year, c.headerYearAfter);
    EXPECT_EQ(fix.t.GetTicks(), c.ticks);
    EXPECT_EQ(fix.isUTM, c.isUTM);
    EXPECT_NEAR(fix.lat, c.lat, 1e-12);
    EXPECT_NEAR(fix.lon, c.lon, 1e-12);
    EXPECT_EQ(fix.zone, c.zone);
}

// Ticks of 1995-01-01 and 2003-01-01 from an independent calendar.
constexpr std::int64_t k1995 = 629245152000000000;
constexpr std::int64_t kDay = 864000000000;

INSTANTIATE_TEST_SUITE_P(Headers,
                         ConvertTraceHeader,
                         ::testing::Values(ConvertCase{"TwoDigitYear95Is1995",
                                                       Spec(2, -100, 360000, 1620000, 95, 1, 1),
                                                       1995,
                                                       k1995,
                                                       false,
                                                       4.5,
                                                       1.0,
                                                       31},
                                           ConvertCase{"Year30GivesThePlaceholder",
                                                       Spec(2, -100, 360000, 1620000, 30, 1, 7),
                                                       30,
                                                       7,
                                                       false,
                                                       4.5,
                                                       1.0,
                                                       31},
                                           ConvertCase{"ArcSecondsScalarMinus100",
                                                       Spec(2, -100, 360000, 1620000, 1995, 2, 1),
                                                       1995,
                                                       k1995 + kDay,
                                                       false,
                                                       4.5,
                                                       1.0,
                                                       31},
                                           ConvertCase{"DmsNegativeLongitude",
                                                       Spec(4, 0, -1233000, 453000, 1995, 1, 1),
                                                       1995,
                                                       k1995,
                                                       false,
                                                       45.5,
                                                       -123.5,
                                                       10},
                                           ConvertCase{"DecimalDegrees",
                                                       Spec(3, -10000, 102500, 545000, 1995, 1, 1),
                                                       1995,
                                                       k1995,
                                                       false,
                                                       54.5,
                                                       10.25,
                                                       32},
                                           ConvertCase{"UnknownUnitsAreDegrees",
                                                       Spec(7, 0, 10, 54, 1995, 1, 1),
                                                       1995,
                                                       k1995,
                                                       false,
                                                       54.0,
                                                       10.0,
                                                       32},
                                           ConvertCase{"ProjectedScalarTen",
                                                       Spec(1, 10, 50000, 600000, 1995, 1, 1),
                                                       1995,
                                                       k1995,
                                                       true,
                                                       6000000.0,
                                                       500000.0,
                                                       0},
                                           ConvertCase{"NegativePlaceholderIsKept",
                                                       Spec(3, 0, 10, 54, 0, 1, -5),
                                                       0,
                                                       -5,
                                                       false,
                                                       54.0,
                                                       10.0,
                                                       32}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ConvertTraceHeaderFailure, PositionBeyondThePoleGetsNoZoneAndTheOrigin)
{
    SegyHeaderType h = HeaderOf(Spec(3, 0, 10, 95, 2003, 1, 1));
    llt fix;
    Convert_Trace_Data_to_Normal_Units(h, fix);
    EXPECT_EQ(fix.zone, 0);
    EXPECT_FALSE(fix.northp);
    EXPECT_EQ(fix.x, 0.0);
    EXPECT_EQ(fix.y, 0.0);
    EXPECT_EQ(fix.lat, 95.0);
}

TEST(NavigationTest, RawHeaderValuesDecide)
{
    SegyHeaderType h = HeaderOf(Spec(2, -100, 1, 1, 2003, 1, 1));
    EXPECT_TRUE(TraceHasNavigation(h));
    for (int units : {0, 5, -1}) {
        h.coordinateUnits = static_cast<std::int16_t>(units);
        EXPECT_FALSE(TraceHasNavigation(h)) << units;
    }
    h.coordinateUnits = 4;
    h.sourceX = 0;
    EXPECT_FALSE(TraceHasNavigation(h));
    h.sourceX = 1;
    h.sourceY = 0;
    EXPECT_FALSE(TraceHasNavigation(h));
}

struct GlobeCase {
    const char* name;
    std::int64_t x, y; // decimal degrees at scalar -10000
    bool onTheGlobe;
};

class PositionOnTheGlobe : public ::testing::TestWithParam<GlobeCase>
{
};

TEST_P(PositionOnTheGlobe, IsNavigation)
{
    const SegyHeaderType h = HeaderOf(Spec(3, -10000, GetParam().x, GetParam().y, 2003, 1, 1));
    EXPECT_EQ(CheckHeaderPosition(h),
              GetParam().onTheGlobe ? HeaderPosition::Usable : HeaderPosition::OffTheGlobe);
    EXPECT_EQ(TraceHasNavigation(h), GetParam().onTheGlobe);
}

// Recorders count east longitudes up to 360 degrees; 99.9999 degrees is
// their fill value.
INSTANTIATE_TEST_SUITE_P(Edges,
                         PositionOnTheGlobe,
                         ::testing::Values(GlobeCase{"FillValue", 102500, 999999, false},
                                           GlobeCase{"PastTheSouthPole", 102500, -900001, false},
                                           GlobeCase{"East360", 3600000, 545000, true},
                                           GlobeCase{"PastEast360", 3600001, 545000, false},
                                           GlobeCase{"PastWest180", -1800001, 545000, false}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// Time repair.

std::vector<llt> TimedFixes(const std::vector<double>& seconds)
{
    std::vector<llt> fixes;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        llt f;
        f.t = CTimestamp::FromYear(2003);
        EXPECT_TRUE(f.t.AddSeconds(seconds[i]));
        f.x = 100.0 * static_cast<double>(i);
        f.y = -f.x;
        f.lat = f.y;
        f.lon = f.x;
        fixes.push_back(f);
    }
    return fixes;
}

double SecondsOf(const llt& f)
{
    return f.t.SecondsSince(CTimestamp::FromYear(2003));
}

TEST(RepairFixTimes, EarlyFixGetsTheTimeAndPositionHalfwayBetweenItsAnchors)
{
    std::vector<llt> fixes = TimedFixes({0, -1, 2, 3, 4});
    fixes[1].x = 999; // the recorded position of a bad fix does not count
    RepairFixTimes(fixes);
    ASSERT_EQ(fixes.size(), 5u);
    EXPECT_DOUBLE_EQ(SecondsOf(fixes[1]), 1.0);
    EXPECT_DOUBLE_EQ(fixes[1].x, 100.0);
    EXPECT_DOUBLE_EQ(fixes[1].lat, -100.0);
}

TEST(RepairFixTimes, RunOfBadFixesIsSpreadOverTheGap)
{
    // Fix 2: anchors 1 (1 s) and 4 (4 s), w = 1/3 -> 2 s; fix 3: anchors 2
    // (now 2 s) and 4, w = 1/2 -> 3 s.
    std::vector<llt> fixes = TimedFixes({0, 1, -1, -1, 4, 5});
    RepairFixTimes(fixes);
    ASSERT_EQ(fixes.size(), 6u);
    EXPECT_DOUBLE_EQ(SecondsOf(fixes[2]), 2.0);
    EXPECT_DOUBLE_EQ(SecondsOf(fixes[3]), 3.0);
    EXPECT_NEAR(fixes[2].x, 200.0, 1e-9);
    EXPECT_NEAR(fixes[3].x, 300.0, 1e-9);
}

TEST(RepairFixTimes, BadTimeAtTheSecondToLastFixCutsTheLastTwo)
{
    std::vector<llt> fixes = TimedFixes({0, 1, 2, 3, -5, 5});
    RepairFixTimes(fixes);
    EXPECT_EQ(fixes.size(), 4u);
}

TEST(RepairFixTimes, WeightRoundsTheTimeToTheMillisecond)
{
    // Anchors 0 s and 1 s three fixes apart: 1/3 s is 333 ms.
    std::vector<llt> fixes = TimedFixes({0, -1, -1, 1, 2});
    RepairFixTimes(fixes);
    EXPECT_EQ(fixes[1].t.GetTicks() - fixes[0].t.GetTicks(), 3330000);
}

// ---------------------------------------------------------------------------
// Zone choice.

std::vector<llt> GeographicFixes(const std::vector<std::pair<double, double>>& latLon)
{
    std::vector<llt> fixes;
    for (const auto& [lat, lon] : latLon) {
        SegyHeaderType h = HeaderOf(
            Spec(3, -10000, std::llround(lon * 10000), std::llround(lat * 10000), 2003, 1, 1));
        llt fix;
        Convert_Trace_Data_to_Normal_Units(h, fix);
        fixes.push_back(fix);
    }
    return fixes;
}

struct ZoneCase {
    std::vector<double> longitudes;
    int zone;
};

class ZoneChoice : public ::testing::TestWithParam<ZoneCase>
{
};

TEST_P(ZoneChoice, UpperMedianOfTheStandardZones)
{
    std::vector<std::pair<double, double>> points;
    for (double lon : GetParam().longitudes)
        points.emplace_back(45.0, lon);
    std::vector<llt> fixes = GeographicFixes(points);
    RunThroughZoneInfoAndChooseMostCommonZone(fixes);
    for (const llt& f : fixes)
        EXPECT_EQ(f.zone, GetParam().zone);
    // A fix on the chosen zone's central meridian lies at the false easting.
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        if (GetParam().longitudes[i] == 6.0 * GetParam().zone - 183.0) {
            EXPECT_NEAR(fixes[i].x, 500000.0, 1e-6);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Zones,
                         ZoneChoice,
                         ::testing::Values(ZoneCase{{-121, -121, -117, -117}, 11},
                                           ZoneCase{{-121, -117, -117}, 11},
                                           ZoneCase{{-121, -121, -117}, 10},
                                           ZoneCase{{-117, -123, -123, -121}, 10}));

TEST(ZoneChoiceProjected, ProjectedFirstFixLeavesTheListAlone)
{
    std::vector<llt> fixes = GeographicFixes({{45.0, -121.0}, {45.0, -117.0}});
    fixes[0].isUTM = true;
    fixes[0].x = 123.0;
    const double x1 = fixes[1].x;
    RunThroughZoneInfoAndChooseMostCommonZone(fixes);
    EXPECT_EQ(fixes[0].x, 123.0);
    EXPECT_EQ(fixes[1].x, x1);
    EXPECT_EQ(fixes[1].zone, 11);
}

// ---------------------------------------------------------------------------
// Smoothing.

struct HalfWidthCase {
    int setting;
    std::size_t fixes;
    int halfWidth;
};

class SmoothingHalfWidth : public ::testing::TestWithParam<HalfWidthCase>
{
};

TEST_P(SmoothingHalfWidth, IsClampedToHalfTheListLessOne)
{
    EXPECT_EQ(tessara::SmoothingHalfWidth(GetParam().setting, GetParam().fixes),
              GetParam().halfWidth);
}

INSTANTIATE_TEST_SUITE_P(Counts,
                         SmoothingHalfWidth,
                         ::testing::Values(HalfWidthCase{30, 10, 4},
                                           HalfWidthCase{30, 100, 30},
                                           HalfWidthCase{2, 3, 0},
                                           HalfWidthCase{30, 1, -1}));

std::vector<llt> SquareFixes(int n)
{
    // Projected fixes with x = i^2: the mean over i - N .. i + N is
    // i^2 + N (N + 1) / 3.
    std::vector<llt> fixes(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        llt& f = fixes[static_cast<std::size_t>(i)];
        f.isUTM = true;
        f.x = f.lon = static_cast<double>(i) * i;
        f.y = f.lat = 7.0;
    }
    return fixes;
}

TEST(SmoothFixes, TenFixesSmoothOnlyTheFifth)
{
    std::vector<llt> fixes = SquareFixes(10);
    SmoothFixes(fixes, tessara::SmoothingHalfWidth(30, fixes.size()));
    for (int i = 0; i < 10; ++i) {
        const double expected = i == 4 ? 16.0 + 4.0 * 5.0 / 3.0 : i * i;
        EXPECT_DOUBLE_EQ(fixes[static_cast<std::size_t>(i)].x, expected) << i;
        EXPECT_DOUBLE_EQ(fixes[static_cast<std::size_t>(i)].lon, expected) << i;
        EXPECT_DOUBLE_EQ(fixes[static_cast<std::size_t>(i)].lat, 7.0) << i;
    }
}

TEST(SmoothFixes, HundredFixesSmoothThirtyToSixtyEight)
{
    std::vector<llt> fixes = SquareFixes(100);
    SmoothFixes(fixes, 30);
    for (int i = 0; i < 100; ++i) {
        const bool smoothed = i >= 30 && i <= 68;
        const double expected = i * i + (smoothed ? 310.0 : 0.0);
        EXPECT_NEAR(fixes[static_cast<std::size_t>(i)].x, expected, 1e-9) << i;
    }
}

TEST(SmoothFixes, MeanDoesNotDependOnTheFixesBeforeTheWindow)
{
    // The same five values smoothed behind huge ones must give the same bits:
    // a running sum would carry the rounding of the huge values along.
    const std::vector<double> values{0.1, 0.7, 3.3, 1e-3, 2.9, 0.6, 4.4};
    std::vector<llt> plain(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        plain[i].isUTM = true;
        plain[i].x = values[i];
    }
    std::vector<llt> behind(3);
    for (llt& f : behind)
        f.isUTM = true;
    behind[0].x = 1e15;
    behind[1].x = -3e15 / 7;
    behind[2].x = 3.3e14;
    behind.insert(behind.end(), plain.begin(), plain.end());
    SmoothFixes(plain, 2);
    SmoothFixes(behind, 2);
    for (std::size_t i = 2; i <= 3; ++i)
        EXPECT_EQ(plain[i].x, behind[i + 3].x) << i;
}

TEST(SmoothFixes, GeographicFixesFollowTheirSmoothedProjection)
{
    // Three fixes on a meridian: smoothing with N = 0 keeps the positions.
    std::vector<llt> fixes = GeographicFixes({{54.5, 9.0}, {54.6, 9.0}, {54.7, 9.0}});
    RunThroughZoneInfoAndChooseMostCommonZone(fixes);
    SmoothFixes(fixes, 0);
    EXPECT_NEAR(fixes[1].lat, 54.6, 1e-9);
    EXPECT_NEAR(fixes[1].lon, 9.0, 1e-9);
}

// ---------------------------------------------------------------------------
// Spacing, and the whole buffering of a file.

TEST(CalculateTraceToTraceSeparation, ProjectedLineTenMetresApart)
{
    std::vector<llt> fixes = SquareFixes(6);
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        fixes[i].lon = 10.0 * static_cast<double>(i);
        fixes[i].t = CTimestamp::FromTicks(static_cast<std::int64_t>(i) * 20000000); // 2 s
    }
    CalculateTraceToTraceSeparation(fixes, 30);
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        EXPECT_DOUBLE_EQ(fixes[i].deltap, 10.0) << i;
        EXPECT_DOUBLE_EQ(fixes[i].speed, 5.0) << i;
        EXPECT_DOUBLE_EQ(fixes[i].cummulativeDistance, 10.0 * static_cast<double>(i)) << i;
    }
}

class BufferFile : public ::testing::Test
{
protected:
    TempDir dir;
    std::string path = dir.File("nav.sgy");
};

TEST_F(BufferFile, FifthTraceWithoutNumberOrYearGetsFiveTicks)
{
    std::vector<FixSpec> specs = LineFixes(6, 10);
    for (FixSpec& f : specs) {
        f.year = 0;
        f.sequence = 0;
    }
    ASSERT_TRUE(WriteFixFile(path, specs));
    std::vector<llt> fixes;
    EXPECT_EQ(ReadAndBufferTraceHeaderData(path, 30, fixes).traces, 6);
    ASSERT_EQ(fixes.size(), 6u);
    EXPECT_EQ(fixes[4].t.GetTicks(), 5);
    EXPECT_EQ(fixes[4].position, 3600 + 4 * (240 + 16));
}

TEST_F(BufferFile, LittleEndianFileGivesTheSameFixes)
{
    ASSERT_TRUE(WriteFixFile(path, LineFixes(8, 10), false));
    std::vector<llt> fixes;
    EXPECT_EQ(ReadAndBufferTraceHeaderData(path, 2, fixes).traces, 8);
    ASSERT_EQ(fixes.size(), 8u);
    EXPECT_DOUBLE_EQ(fixes.back().cummulativeDistance, 70.0);
}

// Traces without a position were fixes at 0/0, thousands of kilometres off
// the track.
TEST_F(BufferFile, TracesWithoutPositionAreNoFixes)
{
    std::vector<FixSpec> specs = LineFixes(7, 10);
    specs[2].x = 0;
    specs[4].units = 5;
    ASSERT_TRUE(WriteFixFile(path, specs));
    std::vector<llt> fixes;
    const FixListStats stats = ReadAndBufferTraceHeaderData(path, 2, fixes);
    EXPECT_EQ(stats.traces, 7);
    EXPECT_EQ(stats.withoutNavigation, 2);
    ASSERT_EQ(fixes.size(), 5u);
    EXPECT_EQ(fixes[2].position, 3600 + 3 * (240 + 16));
    EXPECT_EQ(fixes[2].x, 500030.0);
    // Eastings 0, 10, 30, 50, 60 smoothed over three fixes: 0, 40/3, 30, 50, 60.
    EXPECT_NEAR(fixes.back().cummulativeDistance, 190.0 / 3.0, 1e-6);
}

TEST_F(BufferFile, CheckNavTellsAbsentFromUnreadable)
{
    std::vector<FixSpec> specs = LineFixes(3, 10);
    for (FixSpec& f : specs)
        f.x = 0;
    ASSERT_TRUE(WriteFixFile(path, specs));
    specs[2].x = 5;
    ASSERT_TRUE(WriteFixFile(path, specs));
    EXPECT_EQ(CheckNav(path), NavPresence::Present);
    EXPECT_EQ(CheckNav(dir.File("missing.sgy")), NavPresence::Unreadable);
    std::vector<llt> fixes;
    EXPECT_EQ(ReadAndBufferTraceHeaderData(dir.File("missing.sgy"), 30, fixes).traces, -1);
}

// ---------------------------------------------------------------------------
// Against GeographicLib's command-line tools.

bool HaveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RunTool(const std::string& command, const std::string& input)
{
    const std::string line = "echo '" + input + "' | " + command;
    std::FILE* pipe = ::popen(line.c_str(), "r");
    if (!pipe)
        return {};
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    (void)::pclose(pipe);
    return out;
}

TEST(GeographicLibTools, ConversionZoneAndDistancesAgreeWithGeoConvertAndGeodSolve)
{
    if (!HaveTool("GeoConvert") || !HaveTool("GeodSolve"))
        GTEST_SKIP() << "GeoConvert or GeodSolve (geographiclib-tools) not installed";
    const std::vector<std::pair<double, double>> points{
        {54.5, 10.25}, {54.503, 10.262}, {54.5071, 10.2755}, {-33.9, 18.4}};
    std::vector<llt> fixes = GeographicFixes(points);
    for (std::size_t i = 0; i < points.size(); ++i) {
        std::ostringstream in;
        in.precision(10);
        in << points[i].first << ' ' << points[i].second;
        std::istringstream out(RunTool("GeoConvert -u -p 4", in.str()));
        std::string zone;
        double easting = 0;
        double northing = 0;
        out >> zone >> easting >> northing;
        EXPECT_EQ(zone, std::to_string(fixes[i].zone) + (fixes[i].northp ? "n" : "s")) << i;
        EXPECT_NEAR(fixes[i].x, easting, 1e-3) << i;
        EXPECT_NEAR(fixes[i].y, northing, 1e-3) << i;
    }
    // Re-projection into a forced zone: the first point into zone 33.
    fixes.resize(3);
    fixes.push_back(GeographicFixes({{54.6, 15.0}, {54.7, 15.0}})[0]);
    fixes.push_back(GeographicFixes({{54.7, 15.0}})[0]);
    RunThroughZoneInfoAndChooseMostCommonZone(fixes); // zones 32, 32, 32, 33, 33 -> 32
    {
        std::istringstream out(RunTool("GeoConvert -u -z 32 -p 4", "54.6 15.0"));
        std::string zone;
        double easting = 0;
        double northing = 0;
        out >> zone >> easting >> northing;
        EXPECT_EQ(zone, "32n");
        EXPECT_NEAR(fixes[3].x, easting, 1e-3);
        EXPECT_NEAR(fixes[3].y, northing, 1e-3);
    }
    // Spacing: half the geodesic distance between the neighbours on the
    // ellipsoid a = 6378137 m, f = 1/298.257.
    std::vector<llt> line = GeographicFixes({points[0], points[1], points[2]});
    CalculateTraceToTraceSeparation(line, 30);
    std::istringstream out(
        RunTool("GeodSolve -i -e 6378137 1/298.257 -p 6", "54.5 10.25 54.5071 10.2755"));
    double azi1 = 0;
    double azi2 = 0;
    double s12 = 0;
    out >> azi1 >> azi2 >> s12;
    ASSERT_GT(s12, 0.0);
    EXPECT_NEAR(line[1].deltap, s12 / 2.0, 1e-6);
}

} // namespace
} // namespace tessara::test
