// Pictures of sections against pixels worked by hand: the palettes' shades
// at chosen values, spikes of both signs in a file painted by the bipolar
// greys, and wiggles with their positive lobes filled against a drawn
// reference.
#include "section_paint/section_picture.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace tessara
{
namespace
{

constexpr PictureMargins kNoMargins{0, 0, 0, 0};

struct ShadeRow {
    const char* name;
    SectionPalette palette;
    double value;
    QRgb shade;
    double clip = 2.0;
};

class PaletteShades : public ::testing::TestWithParam<ShadeRow>
{
};

TEST_P(PaletteShades, ValueGivesItsShade)
{
    const ShadeRow& row = GetParam();
    EXPECT_EQ(ShadeOf(row.palette, row.value, row.clip), row.shade) << std::hex << row.shade;
}

using P = SectionPalette;
INSTANTIATE_TEST_SUITE_P(
    ChosenSamples,
    PaletteShades,
    ::testing::Values(
        ShadeRow{"BipolarPositiveClipBlack", P::GreyBipolar, 2, qRgb(0, 0, 0)},
        ShadeRow{"BipolarNegativeClipWhite", P::GreyBipolar, -2, qRgb(255, 255, 255)},
        ShadeRow{"BipolarZeroMidGrey", P::GreyBipolar, 0, qRgb(128, 128, 128)},
        ShadeRow{"NoClipLevelShowsZeros", P::GreyBipolar, 7, qRgb(128, 128, 128), 0.0},
        ShadeRow{"BipolarPastClipStaysBlack", P::GreyBipolar, 50, qRgb(0, 0, 0)},
        ShadeRow{"ReversedPositiveWhite", P::GreyBipolarReversed, 2, qRgb(255, 255, 255)},
        ShadeRow{"SeismicHalfNegative", P::Seismic, -1, qRgb(128, 128, 255)},
        ShadeRow{"EnvelopeHalfOrange", P::Envelope, 1, qRgb(254, 178, 76)},
        ShadeRow{"EnvelopeNegativeByMagnitude", P::Envelope, -2, qRgb(128, 0, 38)}),
    [](const ::testing::TestParamInfo<ShadeRow>& p) { return std::string(p.param.name); });

// Three traces of 100 samples at 1 ms, +500 at trace 1's sample 20 and -500
// at trace 3's sample 70, clipped at the largest magnitude: one pixel per
// sample, the spikes at their pixels in full shade and all else mid-grey.
TEST(BipolarPalettes, SpikesOfBothSignsLandAtTheirPixels)
{
    test::TempDir tmp;
    test::SegyBytes b;
    b.FileHeader(5, 100, 1000);
    for (int k = 0; k < 3; ++k) {
        std::vector<double> samples(100, 0.0);
        if (k == 0)
            samples[20] = 500;
        if (k == 2)
            samples[70] = -500;
        b.TraceHeader(100, 1000).Samples(5, samples);
    }
    ASSERT_TRUE(b.WriteTo(tmp.File("spikes.sgy")));
    SectionOptions o;
    o.columns = 3;
    o.rows = 100;
    o.clipPercent = 100;
    const Section s = BuildSection(tmp.File("spikes.sgy"), o);
    ASSERT_EQ(s.status, SectionStatus::Ok);
    for (const auto& [palette, positive, negative] :
         {std::tuple{P::GreyBipolar, 0, 255}, std::tuple{P::GreyBipolarReversed, 255, 0}}) {
        const QImage image = PaintSection(s, palette, "", kNoMargins);
        ASSERT_EQ(image.size(), QSize(3, 100));
        EXPECT_EQ(qGray(image.pixel(0, 20)), positive);
        EXPECT_EQ(qGray(image.pixel(2, 70)), negative);
        int midGrey = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 3; ++x)
                midGrey += image.pixel(x, y) == qRgb(128, 128, 128) ? 1 : 0;
        EXPECT_EQ(midGrey, 298);
    }
}

/// Two traces over ten columns and six rows, clip level 1: the first
/// rising to past its clip, swinging negative and ending without a sample;
/// the second flat.
Section TwoTraces(int columns)
{
    Section s;
    s.frame = {2, columns, 6, 0.0, 6.0};
    s.clip = 1.0;
    s.columnTraces.assign(static_cast<std::size_t>(columns), {});
    s.columnTraces[0].traceNumber = 1;
    s.columnTraces[static_cast<std::size_t>(columns / 2)].traceNumber = 2;
    const std::vector<float> first{0.0f, 0.4f, 1.0f, 3.0f, -0.6f, NAN};
    for (int c = 0; c < columns; ++c)
        for (const float v : c < columns / 2 ? first : std::vector<float>(6, 0.0f))
            s.cells.push_back(v);
    return s;
}

TEST(Wiggles, LinesAndFilledLobesMatchADrawnReference)
{
    const Section s = TwoTraces(10);
    const SectionLook look{.wiggles = WiggleMode::Only};
    ASSERT_TRUE(bDrawsWiggles(s, look));
    const QImage image = PaintSection(s, look, "", kNoMargins);
    // Baselines at columns 2 and 7; the clip level reaches 5 columns.
    const std::vector<std::string> drawn = {
        "..#....#..", "..###..#..", "..######..", "..######..", "########..", ".......#.."};
    std::vector<std::string> got;
    for (int y = 0; y < image.height(); ++y) {
        std::string row;
        for (int x = 0; x < image.width(); ++x)
            row += image.pixel(x, y) == qRgb(0, 0, 0) ? '#' : '.';
        got.push_back(row);
    }
    EXPECT_EQ(got, drawn);
}

TEST(Wiggles, FewerThanFourColumnsATraceShowTheDensityAlone)
{
    const SectionLook look{.palette = P::GreyBipolar, .wiggles = WiggleMode::Only};
    EXPECT_TRUE(bDrawsWiggles(TwoTraces(8), look));
    const Section narrow = TwoTraces(7);
    ASSERT_FALSE(bDrawsWiggles(narrow, look));
    EXPECT_EQ(PaintSection(narrow, look, "", kNoMargins),
              PaintSection(narrow, P::GreyBipolar, "", kNoMargins));
}

} // namespace
} // namespace tessara
