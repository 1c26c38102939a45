// The rules of the speed correction that need no output: the spacing it
// chooses and its text, and the header of a trace that stands for a point
// between two fixes.
#include "nav/speed_correction.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessara::test
{
namespace
{

// ---------------------------------------------------------------------------
// Spacing choice and its text.

struct MedianCase {
    std::vector<double> deltap;
    double median;
};

class MedianSpacing : public ::testing::TestWithParam<MedianCase>
{
};

TEST_P(MedianSpacing, IsTheUpperMedian)
{
    std::vector<llt> fixes;
    for (double d : GetParam().deltap) {
        fixes.emplace_back();
        fixes.back().deltap = d;
    }
    EXPECT_EQ(ChooseSpacing(fixes), GetParam().median);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Lists,
                         MedianSpacing,
                         ::testing::Values(MedianCase{{9, 1, 3, 2, 4, 1, 3}, 3.0},
                                           MedianCase{{6, 5, 4, 3, 2, 1}, 4.0},
                                           MedianCase{{kNaN, 2, 1}, 2.0},
                                           MedianCase{{0, 0, 7}, 0.0}));

TEST(ChooseSpacing, AFixedSpacingIsTakenAsItIs)
{
    std::vector<llt> fixes(3);
    for (llt& f : fixes)
        f.deltap = 10.0;
    EXPECT_EQ(ChooseSpacing(fixes, 7.25), 7.25);
    EXPECT_EQ(ChooseSpacing({}, 7.25), 7.25);
    EXPECT_EQ(ChooseSpacing({}), 0.0);
}

struct TextCase {
    double metres;
    const char* text;
};

class SpacingTextTable : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(SpacingTextTable, OneDecimalOrTwoFiguresHalvesAwayFromZero)
{
    EXPECT_EQ(SpacingText(GetParam().metres), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values,
                         SpacingTextTable,
                         ::testing::Values(TextCase{2.25, "2.3"},
                                           TextCase{1.25, "1.3"},
                                           TextCase{0.15, "0.2"},
                                           TextCase{5.0, "5.0"},
                                           TextCase{2.5, "2.5"},
                                           TextCase{4.87, "4.9"},
                                           TextCase{4.84999, "4.8"},
                                           TextCase{0.1, "0.1"},
                                           // Under 0.1 m two figures: "0.0" said nothing.
                                           TextCase{0.04, "0.040"},
                                           TextCase{0.023, "0.023"},
                                           TextCase{0.0235, "0.024"},
                                           TextCase{0.0999, "0.10"},
                                           TextCase{123456.75, "123456.8"}));

// ---------------------------------------------------------------------------
// The header of a trace between two fixes.

/// A trace header recorded on day 100 of 2003 at 12:00:00 at sourceX 111,
/// sourceY 222.
SegyHeaderType RecordedHeader(int units, int scalar)
{
    SegyHeaderType h{};
    h.coordinateUnits = static_cast<std::int16_t>(units);
    h.coordinateScalar = static_cast<std::int16_t>(scalar);
    h.sourceX = 111;
    h.sourceY = 222;
    h.year = 2003;
    h.dayOfYear = 100;
    h.hour = 12;
    return h;
}

/// Fixes at (latA, lonA) on day 100 of 2003 at 12:00:00 and (latB, lonB)
/// ten seconds later.
std::pair<llt, llt> Fixes(double latA, double lonA, double latB, double lonB)
{
    llt a;
    llt b;
    a.t = CTimestamp::FromYear(2003);
    EXPECT_TRUE(a.t.AddDays(99) && a.t.AddHours(12));
    b.t = a.t;
    EXPECT_TRUE(b.t.AddSeconds(10));
    a.lat = latA;
    a.lon = lonA;
    b.lat = latB;
    b.lon = lonB;
    return {a, b};
}

struct PositionCase {
    const char* name;
    int units;
    int scalar;
    double latA, lonA, latB, lonB;
    double f;
    int wantUnits;
    std::int32_t wantX;
    std::int32_t wantY;
};

class InterpolatedPosition : public ::testing::TestWithParam<PositionCase>
{
};

TEST_P(InterpolatedPosition, IsWrittenInArcSecondsWhenTheFieldsHoldIt)
{
    const PositionCase& c = GetParam();
    SegyHeaderType h = RecordedHeader(c.units, c.scalar);
    const auto [a, b] = Fixes(c.latA, c.lonA, c.latB, c.lonB);
    InterpolateHeader(h, a, b, c.f);
    EXPECT_EQ(h.coordinateUnits, c.wantUnits);
    EXPECT_EQ(h.coordinateScalar, c.scalar);
    EXPECT_EQ(h.sourceX, c.wantX);
    EXPECT_EQ(h.sourceY, c.wantY);
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    InterpolatedPosition,
    ::testing::Values(
        // Lengths of a projection keep their recorded values.
        PositionCase{"ProjectedKeepsThePosition", 1, 0, 6e6, 5e5, 6e6, 5.1e5, 0.5, 1, 111, 222},
        PositionCase{"UnitsZeroKeepThePosition", 0, -100, 6e6, 5e5, 6e6, 5.1e5, 0.5, 0, 111, 222},
        // 3.125 degrees east, 0.5 north.
        PositionCase{
            "DegreesScaledBy10000", 3, -10000, 0.5, 3.0, 0.5, 3.5, 0.25, 2, 112500000, 18000000},
        PositionCase{"PositiveScalarDivides", 3, 8, 0.5, 3.0, 0.5, 3.5, 0.25, 2, 1406, 225},
        PositionCase{"NoScalar", 3, 0, 0.5, 3.0, 0.5, 3.5, 0.25, 2, 11250, 1800},
        PositionCase{
            "ArcSecondsStayArcSeconds", 2, -100, 0.5, 3.0, 0.5, 3.5, 0.25, 2, 1125000, 180000},
        PositionCase{"DddmmssBecomesArcSeconds", 4, 0, 0.5, 3.0, 0.5, 3.5, 0.25, 2, 11250, 1800},
        // -3600.45 and 3601.35 seconds of arc: toward zero, not down.
        PositionCase{"TruncatedTowardZero",
                     3,
                     0,
                     1.000375,
                     -1.000125,
                     1.000375,
                     -1.000125,
                     0.5,
                     2,
                     -3600,
                     3601},
        // 60 degrees in seconds of arc with scalar -10000 is 2.16e9: no
        // 32-bit field. Neither coordinate is written when one does not fit.
        PositionCase{"TooLargeKeepsTheRecordedOne", 3, -10000, 60, 60, 60, 60.5, 0.5, 3, 111, 222},
        PositionCase{
            "TooFarSouthKeepsTheRecordedOne", 3, -10000, -60, 3, -60, 3.5, 0.5, 3, 111, 222},
        PositionCase{"LongitudeAloneTooLarge", 3, -10000, 0.5, 60, 0.5, 60.5, 0.5, 3, 111, 222},
        PositionCase{"LatitudeAloneTooLarge", 3, -10000, 60, 3, 60, 3.5, 0.5, 3, 111, 222}),
    [](const auto& p) { return std::string(p.param.name); });

/// The header's time fields: year, day of year, hour, minute, second, ms.
std::vector<int> TimeOf(const SegyHeaderType& h)
{
    return {h.year, h.dayOfYear, h.hour, h.minute, h.second, h.millisecond};
}

TEST(InterpolateHeader, TimeLiesAtTheFractionBetweenTheFixes)
{
    SegyHeaderType h = RecordedHeader(1, 0);
    const auto [a, b] = Fixes(6e6, 5e5, 6e6, 5.1e5);
    InterpolateHeader(h, a, b, 0.25);
    EXPECT_EQ(TimeOf(h), (std::vector<int>{2003, 100, 12, 0, 2, 500}));
}

TEST(InterpolateHeader, TimeInTheNextYearKeepsTheYearField)
{
    SegyHeaderType h = RecordedHeader(1, 0);
    auto [a, b] = Fixes(6e6, 5e5, 6e6, 5.1e5);
    a.t = CTimestamp::FromYear(2004);
    ASSERT_TRUE(a.t.AddSeconds(-1)); // 2003-12-31 23:59:59
    b.t = a.t;
    ASSERT_TRUE(b.t.AddSeconds(2));
    InterpolateHeader(h, a, b, 0.75);
    EXPECT_EQ(TimeOf(h), (std::vector<int>{2003, 1, 0, 0, 0, 500}));
}

TEST(InterpolateHeader, TimeOutsideTheCalendarKeepsTheRecordedTime)
{
    SegyHeaderType h = RecordedHeader(3, -10000);
    auto [a, b] = Fixes(0.5, 3.0, 0.5, 3.5);
    a.t = CTimestamp::FromTicks(-600); // placeholders before year one
    b.t = CTimestamp::FromTicks(-500);
    InterpolateHeader(h, a, b, 0.5);
    EXPECT_EQ(TimeOf(h), TimeOf(RecordedHeader(3, -10000)));
    EXPECT_EQ(h.coordinateUnits, 2) << "the position is still interpolated";
    EXPECT_EQ(h.sourceX, 117000000);
}

} // namespace
} // namespace tessara::test
