// Positions between the fixes of a log, the gap beyond which a trace takes
// none, and a sensor placed by its offsets on straight and turning tracks.
#include "nav/navigation_track.h"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace tessara::test
{
namespace
{

const GeographicLib::Geodesic& Wgs84()
{
    return GeographicLib::Geodesic::WGS84();
}

CTimestamp At(double seconds)
{
    CTimestamp t = CTimestamp::FromYear(2024);
    EXPECT_TRUE(t.AddSeconds(seconds));
    return t;
}

double Metres(const GeoPosition& a, double lat, double lon)
{
    double s12 = 0;
    Wgs84().Inverse(a.lat, a.lon, lat, lon, s12);
    return s12;
}

struct GapCase {
    const char* name;
    double seconds; ///< of the trace; fixes at 0, 20.002 and 21.002 s
    double maxGap;  ///< s
    double wantLat; ///< NaN: no position
};

const GapCase kGapCases[] = {
    {"on_first_fix", 0.0, 10, 54.0},
    {"exactly_at_the_gap", 10.0, 10, 54.0 + 0.01 * 10.0 / 20.002},
    {"just_over_the_gap", 10.001, 10, NAN},
    {"gap_zero_on_a_fix", 20.002, 0, 54.01},
    {"between_close_fixes", 20.502, 0.5, 54.015},
    {"on_last_fix", 21.002, 10, 54.02},
    {"before_the_log", -0.001, 10, NAN},
    {"after_the_log", 21.003, 10, NAN},
};

class TrackGap : public ::testing::TestWithParam<GapCase>
{
};

TEST_P(TrackGap, InterpolatesInTimeOnlyNearAFix)
{
    const GapCase& c = GetParam();
    const CNavigationTrack track(
        {{At(0), 54.0, 10.0}, {At(20.002), 54.01, 10.0}, {At(21.002), 54.02, 10.0}}, 30);
    const std::optional<GeoPosition> p = track.AntennaAt(At(c.seconds), c.maxGap);
    ASSERT_EQ(p.has_value(), !std::isnan(c.wantLat));
    if (p) {
        EXPECT_NEAR(p->lat, c.wantLat, 1e-9);
        EXPECT_DOUBLE_EQ(p->lon, 10.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Times,
                         TrackGap,
                         ::testing::ValuesIn(kGapCases),
                         [](const ::testing::TestParamInfo<GapCase>& p) { return p.param.name; });

/// A track at 2 m/s, one fix a second: `northFirst` seconds north along
/// 10 deg E from 54 deg N, then (when `turnRadius` > 0) a half circle to the
/// east, then south. Where the fix of every second lies is kept.
struct TurningTrack {
    std::vector<LogFix> fixes;
    int turnStart = 0; ///< index of the fix that begins the turn
    int turnEnd = 0;   ///< index of the fix that ends it
};

TurningTrack MakeTrack(int northFirst, double turnRadius, int southAfter)
{
    constexpr double kSpeed = 2.0;
    TurningTrack track;
    double lat = 54.0;
    double lon = 10.0;
    double azimuth = 0;
    int second = 0;
    const auto add = [&] { track.fixes.push_back({At(second++), lat, lon}); };
    const auto step = [&](double metres, double azi) {
        double a2 = 0;
        Wgs84().Direct(lat, lon, azi, metres, lat, lon, a2);
    };
    for (int k = 0; k < northFirst; ++k, step(kSpeed, azimuth))
        add();
    track.turnStart = second;
    if (turnRadius > 0) {
        // Chords of the half circle, each turning by the same angle.
        const int chords = static_cast<int>(std::ceil(std::numbers::pi * turnRadius / kSpeed));
        const double turn = 180.0 / chords;
        for (int k = 0; k < chords; ++k) {
            add();
            step(2 * turnRadius * std::sin(turn * std::numbers::pi / 360.0),
                 azimuth + turn * (k + 0.5));
        }
        azimuth = 180;
    }
    track.turnEnd = second;
    for (int k = 0; k <= southAfter; ++k, step(kSpeed, azimuth))
        add();
    return track;
}

TEST(SensorOffsets, ForwardAndStarboardOfAStraightNorthgoingLine)
{
    const TurningTrack line = MakeTrack(100, 0, 0);
    const CNavigationTrack track(line.fixes, 5);
    const LogFix& antenna = line.fixes[50];
    const std::optional<GeoPosition> p = track.SensorAt(antenna.t, 10, {5.0, 3.0, 0.0});
    ASSERT_TRUE(p);
    double s12 = 0;
    double azi1 = 0;
    double azi2 = 0;
    Wgs84().Inverse(antenna.lat, antenna.lon, p->lat, p->lon, s12, azi1, azi2);
    EXPECT_NEAR(s12, std::hypot(5.0, 3.0), 0.01);
    EXPECT_NEAR(azi1, std::atan2(3.0, 5.0) * 180 / std::numbers::pi, 0.1);
}

TEST(SensorOffsets, LaybackFollowsTheTrackAroundAHalfTurn)
{
    // Radius 20 m: 32 chords of about 1.96 m, a half circle of 62.8 m.
    const TurningTrack u = MakeTrack(60, 20.0, 40);
    const CNavigationTrack track(u.fixes, 5);
    double turnLength = 0;
    for (int k = u.turnStart; k < u.turnEnd; ++k)
        turnLength += Metres(
            {u.fixes[static_cast<std::size_t>(k)].lon, u.fixes[static_cast<std::size_t>(k)].lat},
            u.fixes[static_cast<std::size_t>(k) + 1].lat,
            u.fixes[static_cast<std::size_t>(k) + 1].lon);
    const auto fix = [&u](int k) { return u.fixes[static_cast<std::size_t>(k)]; };
    const int trace = u.turnEnd + 15; // 30 m down the southgoing leg
    const struct {
        const char* name;
        double layback;
        int at;
    } cases[] = {
        {"straight_leg", 20.0, trace - 10},
        {"to_the_turns_end", 30.0, u.turnEnd},
        {"back_round_the_turn", 30.0 + turnLength, u.turnStart},
        {"onto_the_northgoing_leg", 30.0 + turnLength + 40.0, u.turnStart - 20},
    };
    for (const auto& c : cases) {
        const std::optional<GeoPosition> p = track.SensorAt(fix(trace).t, 10, {0, 0, c.layback});
        ASSERT_TRUE(p) << c.name;
        EXPECT_LT(Metres(*p, fix(c.at).lat, fix(c.at).lon), 0.1) << c.name;
    }
    // Before the log's first fix there is no track to take the body's place from.
    EXPECT_FALSE(track.SensorAt(fix(10).t, 10, {0, 0, 20.01 + 0.5}));
}

TEST(SensorOffsets, NoCourseWhileTheShipStandsStill)
{
    const CNavigationTrack track({{At(0), 54.0, 10.0}, {At(1), 54.0, 10.0}, {At(2), 54.0, 10.0}},
                                 5);
    EXPECT_FALSE(track.SensorAt(At(1), 10, {2.0, 0.0, 0.0}));
    EXPECT_TRUE(track.SensorAt(At(1), 10, {}));
}

TEST(SensorOffsets, PositionsGoIntoTheHeaderInThousandthsOfArcSeconds)
{
    SegyHeaderType h{};
    WritePositionToHeader(h, {-179.9999998, -45.5});
    EXPECT_EQ(h.sourceX, -647999999);
    EXPECT_EQ(h.sourceY, -163800000);
    EXPECT_EQ(h.groupX, h.sourceX);
    EXPECT_EQ(h.groupY, h.sourceY);
    EXPECT_EQ(h.coordinateScalar, -1000);
    EXPECT_EQ(h.coordinateUnits, 2);
    WritePositionToHeader(h, {359.5, 0.25});
    EXPECT_EQ(h.sourceX, -1800000);
}

} // namespace
} // namespace tessara::test
