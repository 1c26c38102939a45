// Axis ticks of the section pictures: round values, whole trace numbers, and
// none at an edge where its label would touch the border.
#include "section_paint/section_picture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessara
{
namespace
{

struct TickRow {
    const char* name;
    double from;
    double to;
    int pixels;
    int spacing;
    double smallestStep;
    int inset;
    std::vector<double> values;
    std::vector<int> pixelsAt; // empty: not checked
};

class AxisTickTable : public ::testing::TestWithParam<TickRow>
{
};

TEST_P(AxisTickTable, RoundValuesInsideTheEnds)
{
    const TickRow& row = GetParam();
    const std::vector<AxisTick> ticks =
        AxisTicks(row.from, row.to, row.pixels, row.spacing, row.smallestStep, row.inset);
    ASSERT_EQ(ticks.size(), row.values.size());
    for (std::size_t k = 0; k < ticks.size(); ++k) {
        EXPECT_NEAR(ticks[k].value, row.values[k], 1e-12) << k;
        EXPECT_FALSE(std::signbit(ticks[k].value) && ticks[k].value == 0.0) << "-0 at " << k;
        EXPECT_GE(ticks[k].pixel, row.inset);
        EXPECT_LE(ticks[k].pixel, row.pixels - row.inset);
        if (!row.pixelsAt.empty()) {
            EXPECT_EQ(ticks[k].pixel, row.pixelsAt[k]) << k;
        }
    }
}

// Trace axes run from half a trace before the first to half after the last,
// so that trace n's tick stands in the middle of its columns.
INSTANTIATE_TEST_SUITE_P(
    Spans,
    AxisTickTable,
    ::testing::Values(
        TickRow{"Traces1To137", 0.5, 137.5, 720, 110, 1.0, 3, {50, 100}, {260, 523}},
        TickRow{"ThreeStretchedTraces", 0.5, 3.5, 300, 40, 1.0, 3, {1, 2, 3}, {50, 150, 250}},
        TickRow{
            "TicksOnBothEndsLeftOut", 0, 100, 100, 20, 0.0, 3, {20, 40, 60, 80}, {20, 40, 60, 80}},
        TickRow{"AcrossZero", -7.5, 7.5, 150, 50, 0.0, 3, {-5, 0, 5}, {25, 75, 125}},
        TickRow{"ThinnerThanAMicrosecond",
                100.0,
                100.000001,
                300,
                40,
                0.0,
                8,
                {100.0000002, 100.0000004, 100.0000006, 100.0000008},
                {60, 120, 180, 240}},
        TickRow{"EmptyAxis", 5.0, 5.0, 300, 40, 0.0, 3, {}, {}},
        TickRow{"NoRoundValueInside", 1.2, 1.8, 100, 200, 1.0, 3, {}, {}}),
    [](const ::testing::TestParamInfo<TickRow>& p) { return std::string(p.param.name); });

TEST(SectionTitle, AFileWithoutAClockSaysSo)
{
    Section s;
    s.firstTrace = 1;
    s.lastTrace = s.fileTraces = 9;
    EXPECT_EQ(SectionTitle("a.sgy", s), "a.sgy: no recording times, traces 1 to 9 of 9");
    s.lastTime.second = 1;
    EXPECT_EQ(SectionTitle("a.sgy", s),
              "a.sgy: 0000-000 00:00:00 to 0000-000 00:00:01, traces 1 to 9 of 9");
}

} // namespace
} // namespace tessara
