// Repairs of a fix list: bad times (against a plain reference search on
// random and adversarial runs), position spikes, jumps of the spacing, and
// the count of traces a corrected file would hold.
#include "nav/navigation.h"
#include "nav/speed_correction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace tessara::test
{
namespace
{

// ---------------------------------------------------------------------------
// Time repair: the same result as a direct search for both anchors.

/// The repair as first written: both anchors searched fix by fix for every
/// bad fix, which is quadratic in a run of bad times but plainly right.
void ReferenceRepairFixTimes(std::vector<llt>& fixes)
{
    for (std::size_t i = 1; i + 1 < fixes.size(); ++i) {
        const CTimestamp first = fixes[0].t;
        if (!(fixes[i].t < first))
            continue;
        std::size_t a = 0;
        for (std::size_t j = i - 1; j >= 1; --j) {
            if (fixes[j].t > first) {
                a = j;
                break;
            }
        }
        std::size_t b = i + 1;
        for (;; ++b) {
            if (b == fixes.size() - 1) {
                fixes.erase(fixes.begin() + static_cast<std::ptrdiff_t>(i), fixes.end());
                return;
            }
            if (fixes[b].t > fixes[a].t)
                break;
        }
        const llt& A = fixes[a];
        const llt& B = fixes[b];
        const double w = static_cast<double>(i - a) / static_cast<double>(b - a);
        llt& f = fixes[i];
        CTimestamp t = A.t;
        if (t.AddSeconds(w * B.t.SecondsSince(A.t)))
            f.t = t;
        f.x = A.x + w * (B.x - A.x);
        f.y = A.y + w * (B.y - A.y);
        f.lat = A.lat + w * (B.lat - A.lat);
        f.lon = A.lon + w * (B.lon - A.lon);
    }
}

/// Fixes at the given tick counts, each at its own position.
std::vector<llt> FixesAtTicks(const std::vector<std::int64_t>& ticks)
{
    std::vector<llt> fixes;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        llt f;
        f.t = CTimestamp::FromTicks(ticks[i]);
        f.x = 7.0 * static_cast<double>(i) + 0.5;
        f.y = -3.0 * static_cast<double>(i);
        f.lat = 54.0 + 1e-4 * static_cast<double>(i);
        f.lon = 10.0 - 1e-4 * static_cast<double>(i);
        fixes.push_back(f);
    }
    return fixes;
}

void ExpectSameRepair(const std::vector<std::int64_t>& ticks, const std::string& what)
{
    std::vector<llt> expected = FixesAtTicks(ticks);
    std::vector<llt> actual = expected;
    ReferenceRepairFixTimes(expected);
    RepairFixTimes(actual);
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        ASSERT_EQ(actual[i].t.GetTicks(), expected[i].t.GetTicks()) << what << " fix " << i;
        ASSERT_EQ(actual[i].x, expected[i].x) << what << " fix " << i;
        ASSERT_EQ(actual[i].y, expected[i].y) << what << " fix " << i;
        ASSERT_EQ(actual[i].lat, expected[i].lat) << what << " fix " << i;
        ASSERT_EQ(actual[i].lon, expected[i].lon) << what << " fix " << i;
    }
}

constexpr std::int64_t kSecond = 10'000'000;            // ticks
constexpr std::int64_t kBase = 631'770'624'000'000'000; // 2003-01-01

TEST(RepairFixTimesEquivalence, HandWorkedRunsMatchTheDirectSearch)
{
    const std::int64_t s = kSecond;
    // Fix 2 and 3 bad: anchors 1 and 4, then 2 (repaired) and 4.
    ExpectSameRepair({kBase, kBase + s, 0, 0, kBase + 4 * s, kBase + 5 * s}, "run");
    // The bad fix before the last cuts the last two.
    ExpectSameRepair({kBase, kBase + s, kBase + 2 * s, 5, kBase + 5 * s}, "cut");
    // A fix at the first fix's own time is neither bad nor an anchor.
    ExpectSameRepair({kBase, kBase, 3, kBase, 4, kBase + 9 * s, kBase + 10 * s}, "equal");
    // Sub-millisecond placeholder steps round the repaired time onto the anchor.
    ExpectSameRepair({kBase, 1, 2, kBase + 1000, kBase + 3000, kBase + 6000}, "rounding");
    // Falling good times after bad ones: the threshold drops.
    ExpectSameRepair({kBase,
                      kBase + 9 * s,
                      1,
                      kBase + 8 * s,
                      2,
                      kBase + 7 * s,
                      3,
                      kBase + 20 * s,
                      kBase + 21 * s},
                     "falling");
}

TEST(RepairFixTimesEquivalence, RandomAndAdversarialListsMatchTheDirectSearch)
{
    std::mt19937_64 random(18);
    const auto pick = [&random](int n) {
        return static_cast<int>(random() % static_cast<std::uint64_t>(n));
    };
    for (int round = 0; round < 3000; ++round) {
        const int n = 3 + pick(round < 2500 ? 14 : 300);
        const int shape = pick(6);
        std::vector<std::int64_t> ticks{kBase};
        for (int i = 1; i < n; ++i) {
            std::int64_t t = 0;
            switch (shape) {
            case 0: // times from a handful of values around the first fix's
                t = kBase + (pick(7) - 3) * kSecond;
                break;
            case 1: // a rising track with runs of clock resets
                t = pick(4) == 0 ? pick(1000) : kBase + i * kSecond;
                break;
            case 2: // bad runs counting up, as a recorder restarting its clock
                t = (i / 5) % 2 ? i : kBase + i * kSecond;
                break;
            case 3: // falling good times between bad ones
                t = i % 2 ? kBase + (n - i) * kSecond : i;
                break;
            case 4: // sub-millisecond steps, so that repaired times round
                t = kBase + (pick(5) - 2) * 3000;
                break;
            default: // anything
                t = kBase + (pick(2001) - 1000) * kSecond / 10;
                break;
            }
            ticks.push_back(t);
        }
        ExpectSameRepair(ticks, "round " + std::to_string(round));
        if (HasFatalFailure())
            return;
    }
}

// ---------------------------------------------------------------------------
// Spikes.

/// Projected fixes one second apart at the given eastings, northing 0.
std::vector<llt> ProjectedFixes(const std::vector<double>& eastings)
{
    std::vector<llt> fixes;
    for (std::size_t i = 0; i < eastings.size(); ++i) {
        llt f;
        f.isUTM = true;
        f.t = CTimestamp::FromTicks(kBase + static_cast<std::int64_t>(i) * kSecond);
        f.x = eastings[i];
        f.lon = eastings[i];
        fixes.push_back(f);
    }
    return fixes;
}

TEST(RepairNavigationSpikes, ProjectedSpikeTakesThePointBetweenItsNeighbours)
{
    std::vector<llt> fixes = ProjectedFixes({0, 10, 2e9, 30, 40});
    fixes[2].y = 7e6;
    fixes[2].lat = 7e6;
    EXPECT_EQ(RepairNavigationSpikes(fixes), 1);
    EXPECT_EQ(fixes[2].x, 20.0);
    EXPECT_EQ(fixes[2].y, 0.0);
    EXPECT_EQ(fixes[2].lon, 20.0); // projected: lat and lon are y and x
    EXPECT_EQ(fixes[2].lat, 0.0);
    EXPECT_EQ(fixes[1].x, 10.0);
    EXPECT_EQ(fixes[3].x, 30.0);
}

TEST(RepairNavigationSpikes, WeightFollowsTheTimes)
{
    // Fix 1 at 1 s between 0 s and 4 s: a quarter of the way.
    std::vector<llt> fixes = ProjectedFixes({0, 9000, 100, 110});
    fixes[2].t = CTimestamp::FromTicks(kBase + 4 * kSecond);
    fixes[3].t = CTimestamp::FromTicks(kBase + 5 * kSecond);
    EXPECT_EQ(RepairNavigationSpikes(fixes), 1);
    EXPECT_EQ(fixes[1].x, 25.0);
}

TEST(RepairNavigationSpikes, NeighboursSharingATimeGiveTheMidpoint)
{
    // Neighbours 2 cm apart at one time: a step over at least a second.
    std::vector<llt> fixes = ProjectedFixes({0, 2, 5000, 2.02, 3});
    fixes[2].t = fixes[1].t;
    fixes[3].t = fixes[1].t;
    EXPECT_EQ(RepairNavigationSpikes(fixes), 1);
    EXPECT_DOUBLE_EQ(fixes[2].x, 2.01);
}

TEST(RepairNavigationSpikes, SpeedOfExactlyFiftyIsNotAbove)
{
    // From fix 0 to fix 2: 100 m in 2 s, 50 m/s, a believable step.
    std::vector<llt> spike = ProjectedFixes({0, 1000, 100, 150});
    EXPECT_EQ(RepairNavigationSpikes(spike), 1);
    // Fix 1 only 50 m/s from fix 0: no spike.
    std::vector<llt> fast = ProjectedFixes({0, 50, 1000, 1010});
    EXPECT_EQ(RepairNavigationSpikes(fast), 0);
    EXPECT_EQ(fast[1].x, 50.0);
}

// Runs of bad positions 9 km east of a line of 20 fixes at 3 m a fix,
// `perSecond` fixes stamped with each whole second (0: all at one time).
struct RunCase {
    const char* name;
    int perSecond;
    int first, length; // the run
    bool notANumber;   // instead of 9 km off
    std::int64_t repaired;
};

class SpikeRuns : public ::testing::TestWithParam<RunCase>
{
};

TEST_P(SpikeRuns, AreMendedUpToTenFixes)
{
    const RunCase& c = GetParam();
    std::vector<llt> fixes = ProjectedFixes(std::vector<double>(20));
    for (int i = 0; i < 20; ++i) {
        llt& f = fixes[static_cast<std::size_t>(i)];
        f.t = CTimestamp::FromTicks(kBase + (c.perSecond ? i / c.perSecond * kSecond : 0));
        const bool bad = i >= c.first && i < c.first + c.length;
        f.x = f.lon = !bad ? 3.0 * i : c.notANumber ? std::nan("") : 9000.0 + 3.0 * i;
    }
    EXPECT_EQ(RepairNavigationSpikes(fixes), c.repaired);
    // Back on the line, at most half a step off where fixes share a time.
    for (int i = 0; i < 20; ++i) {
        const llt& f = fixes[static_cast<std::size_t>(i)];
        const bool left = i >= c.first && i < c.first + c.length && c.repaired == 0;
        EXPECT_NEAR(f.x, 3.0 * i + (left ? 9000.0 : 0.0), c.perSecond == 2 ? 1.5 : 1e-9) << i;
        EXPECT_EQ(f.lon, f.x) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Runs,
                         SpikeRuns,
                         ::testing::Values(RunCase{"Two", 1, 5, 2, false, 2},
                                           RunCase{"TwoNotANumber", 1, 5, 2, true, 2},
                                           RunCase{"Nine", 1, 3, 9, false, 9},
                                           RunCase{"Ten", 1, 3, 10, false, 10},
                                           RunCase{"ElevenAreLeft", 1, 3, 11, false, 0},
                                           RunCase{"EndingBeforeTheLast", 1, 16, 3, false, 3},
                                           RunCase{"ReachingTheLastIsLeft", 1, 17, 3, false, 0},
                                           // 3 m between fixes of one second is no jump.
                                           RunCase{"WholeSecondStampsGood", 2, 0, 0, false, 0},
                                           RunCase{"WholeSecondStamps", 2, 6, 2, false, 2},
                                           // Anchors of one time: evenly by index.
                                           RunCase{"AllAtOneTime", 0, 1, 2, false, 2}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(RepairNavigationSpikes, ShipFasterThanFiftyMetresASecondIsNoSpike)
{
    std::vector<llt> fixes = ProjectedFixes({0, 60, 120, 180});
    EXPECT_EQ(RepairNavigationSpikes(fixes), 0);
}

/// Geographic fixes after the zone choice: a line north from 54.5 N 10.25 E,
/// one second and about 11 m apart.
std::vector<llt> GeographicLine(int count)
{
    std::vector<llt> fixes;
    for (int i = 0; i < count; ++i) {
        SegyHeaderType h{};
        h.coordinateUnits = 3;
        h.coordinateScalar = -10000;
        h.sourceX = 102500;
        h.sourceY = 545000 + i;
        h.year = 2003;
        h.dayOfYear = 100;
        h.hour = 12;
        h.second = static_cast<std::int16_t>(i);
        llt f;
        Convert_Trace_Data_to_Normal_Units(h, f);
        fixes.push_back(f);
    }
    return fixes;
}

TEST(RepairNavigationSpikes, GeographicSpikeGetsItsLatitudeAndLongitudeBack)
{
    std::vector<llt> fixes = GeographicLine(5);
    // Coordinates 1/1 at scalar -10000: near 0 N 0 E, thousands of km away.
    fixes[2].lat = 0.0001;
    fixes[2].lon = 0.0001;
    RunThroughZoneInfoAndChooseMostCommonZone(fixes);
    EXPECT_EQ(RepairNavigationSpikes(fixes), 1);
    EXPECT_DOUBLE_EQ(fixes[2].x, (fixes[1].x + fixes[3].x) / 2);
    EXPECT_DOUBLE_EQ(fixes[2].y, (fixes[1].y + fixes[3].y) / 2);
    EXPECT_NEAR(fixes[2].lat, 54.5002, 1e-9);
    EXPECT_NEAR(fixes[2].lon, 10.25, 1e-9);
}

TEST(RepairNavigationSpikes, PositionBeyondThePoleIsASpike)
{
    // A scalar of +10 instead of -10000 puts the latitude at 5450020
    // degrees, which no projection takes: its speeds are not numbers.
    std::vector<llt> fixes = GeographicLine(5);
    fixes[2].lat *= 1e5;
    fixes[2].lon *= 1e5;
    RunThroughZoneInfoAndChooseMostCommonZone(fixes);
    ASSERT_TRUE(std::isnan(fixes[2].x));
    EXPECT_EQ(RepairNavigationSpikes(fixes), 1);
    EXPECT_NEAR(fixes[2].lat, 54.5002, 1e-9);
    EXPECT_NEAR(fixes[2].lon, 10.25, 1e-9);
}

// ---------------------------------------------------------------------------
// Spacing: distances along the track and jumps of the position source.

std::vector<double> Distances(const std::vector<llt>& fixes)
{
    std::vector<double> d;
    for (const llt& f : fixes)
        d.push_back(f.cummulativeDistance);
    return d;
}

TEST(CalculateTraceToTraceSeparation, UnevenlySpacedFixes)
{
    std::vector<llt> fixes = ProjectedFixes({0, 10, 30, 60});
    CalculateTraceToTraceSeparation(fixes, 30);
    EXPECT_EQ(Distances(fixes), (std::vector<double>{0, 15, 40, 65}));
}

TEST(CalculateTraceToTraceSeparation, JumpOfMoreThanAHundredMediansAddsNoDistance)
{
    // Spacings 10 (fixes 0 to 5) and 1005 (fixes 6, 7): the median of the
    // positive ones is 10, and 1005 > 1000.
    std::vector<llt> fixes = ProjectedFixes({0, 10, 20, 30, 40, 50, 60, 2060});
    CalculateTraceToTraceSeparation(fixes, 30);
    EXPECT_EQ(Distances(fixes), (std::vector<double>{0, 10, 20, 30, 40, 50, 50, 50}));
    EXPECT_EQ(fixes[6].deltap, 0.0);
    EXPECT_DOUBLE_EQ(fixes[6].speed, 1005.0); // speeds are charted as computed
}

TEST(CalculateTraceToTraceSeparation, JumpOfExactlyAHundredMediansCounts)
{
    std::vector<llt> fixes = ProjectedFixes({0, 10, 20, 30, 40, 50, 60, 2050});
    CalculateTraceToTraceSeparation(fixes, 30);
    EXPECT_EQ(fixes.back().cummulativeDistance, 2050.0);
}

TEST(CalculateTraceToTraceSeparation, StandingStillDoesNotMakeEveryStepAJump)
{
    // Six zero spacings: the median of all would be 0.
    std::vector<llt> fixes = ProjectedFixes({0, 0, 0, 0, 0, 0, 0, 10, 20, 30});
    CalculateTraceToTraceSeparation(fixes, 30);
    EXPECT_EQ(fixes.back().cummulativeDistance, 35.0);
}

TEST(CalculateTraceToTraceSeparation, SpacingThatIsNotANumberAddsNoDistance)
{
    std::vector<llt> fixes = GeographicLine(6);
    fixes[3].lat = std::numeric_limits<double>::quiet_NaN();
    CalculateTraceToTraceSeparation(fixes, 30);
    EXPECT_EQ(fixes[2].deltap, 0.0);
    EXPECT_EQ(fixes[4].deltap, 0.0);
    EXPECT_GT(fixes[3].deltap, 11.0); // fixes 2 and 4 are still there
    EXPECT_TRUE(std::isfinite(fixes.back().cummulativeDistance));
}

// ---------------------------------------------------------------------------
// Traces of the corrected file.

TEST(CorrectedTraceCount, OneTraceForEverySpacingBelowTheEnd)
{
    std::vector<llt> fixes = ProjectedFixes({0, 100, 200, 300});
    CalculateTraceToTraceSeparation(fixes, 30); // end 300
    EXPECT_EQ(CorrectedTraceCount(fixes, 2.0), 150);
    EXPECT_EQ(CorrectedTraceCount(fixes, 100.0), 3);
    EXPECT_EQ(CorrectedTraceCount(fixes, 299.0), 2);
    EXPECT_EQ(CorrectedTraceCount(fixes, 1000.0), 1);
    EXPECT_EQ(CorrectedTraceCount(fixes, 0.0), 0);
    EXPECT_EQ(CorrectedTraceCount(fixes, std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(CorrectedTraceCount, HugeCountIsTheLengthOverTheSpacing)
{
    // 2^-40 m on 300 m: 300 * 2^40 traces, far too many to step through; at
    // 1e-300 m the count saturates, and the steps would no longer move D.
    std::vector<llt> fixes = ProjectedFixes({0, 100, 200, 300});
    CalculateTraceToTraceSeparation(fixes, 30);
    EXPECT_EQ(CorrectedTraceCount(fixes, std::ldexp(1.0, -40)), 329'853'488'332'800);
    EXPECT_EQ(CorrectedTraceCount(fixes, 1e-300), std::numeric_limits<std::int64_t>::max());
}

} // namespace
} // namespace tessara::test
