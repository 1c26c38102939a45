// Sections of fixture files written by the independent byte writer: every
// sample format and both byte orders give the same grid, delays are read
// from the headers, the clip level matches a sorted exact percentile, and
// the refusals say why.
#include "section/section_file.h"
#include "tests/section/exact_percentile.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

namespace tessara
{
namespace
{

using test::SegyBytes;
using test::TempDir;

constexpr std::size_t kDelayOffset = 108;
constexpr std::size_t kIdCodeOffset = 28;

/// A trace of the fixtures: its delay (ms), samples and id code.
struct FixtureTrace {
    int delayMs = 0;
    std::vector<double> samples;
    int idCode = 1;
};

bool WriteFixture(const std::string& path,
                  const std::vector<FixtureTrace>& traces,
                  int format,
                  bool bigEndian,
                  int intervalUs = 1000)
{
    SegyBytes b(bigEndian);
    b.FileHeader(format, static_cast<int>(traces.front().samples.size()), intervalUs);
    for (std::size_t k = 0; k < traces.size(); ++k) {
        b.TraceHeader(static_cast<int>(traces[k].samples.size()), intervalUs);
        b.Trace16(kDelayOffset, traces[k].delayMs);
        b.Trace16(kIdCodeOffset, traces[k].idCode);
        b.TraceTime(2019, 200, 10, 0, static_cast<int>(k));
        b.Samples(format, traces[k].samples);
    }
    return b.WriteTo(path);
}

class SectionFormats : public ::testing::TestWithParam<std::tuple<int, bool>>
{
protected:
    TempDir m_tmp;
};

// Three traces of 70 ms whose delays grow by 20 ms, each with a spike at 60 ms
// two-way time and a second, negative one at its own sample 5; 10 ms rows.
TEST_P(SectionFormats, DelaysFromTheHeadersLineUpTheSpikes)
{
    const auto [format, bigEndian] = GetParam();
    std::vector<FixtureTrace> traces;
    for (int k = 0; k < 3; ++k) {
        FixtureTrace t;
        t.delayMs = 20 * k;
        t.samples.assign(70, 0.0);                                  // 1 ms samples
        t.samples[static_cast<std::size_t>(60 - t.delayMs)] = 64.0; // at 60 ms
        t.samples[5] = -32.0;
        traces.push_back(t);
    }
    const std::string path = m_tmp.File("delays.sgy");
    ASSERT_TRUE(WriteFixture(path, traces, format, bigEndian));
    SectionOptions o;
    o.columns = 3;
    o.rows = 11; // 0 .. 110 ms, the span of the traces
    const Section s = BuildSection(path, o);
    ASSERT_EQ(s.status, SectionStatus::Ok);
    EXPECT_DOUBLE_EQ(s.frame.startMs, 0.0);
    EXPECT_DOUBLE_EQ(s.frame.endMs, 110.0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(s.Cell(k, 6), 64.0f) << "trace " << k;
        EXPECT_EQ(s.Cell(k, 2 * k), -32.0f) << "trace " << k;
    }
    EXPECT_TRUE(std::isnan(s.Cell(2, 3))) << "trace 3 starts at 40 ms";
    EXPECT_TRUE(std::isnan(s.Cell(0, 7))) << "trace 1 ends at 70 ms";
    EXPECT_TRUE(s.anyNegative);
    EXPECT_EQ(s.fileTraces, 3);
    EXPECT_EQ(s.lastTime.second, 2);
    EXPECT_EQ(s.columnTraces[1].traceNumber, 2);
    EXPECT_DOUBLE_EQ(s.columnTraces[1].secondOfDay, 36001.0);
}

INSTANTIATE_TEST_SUITE_P(EveryFormatBothOrders,
                         SectionFormats,
                         ::testing::Combine(::testing::Values(1, 2, 3, 5, 8), ::testing::Bool()));

class SectionFile : public ::testing::Test
{
protected:
    TempDir m_tmp;
};

TEST_F(SectionFile, ClipLevelMatchesTheExactPercentileOfItsSamples)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> small(-300, 300);
    std::uniform_int_distribution<int> rare(-30000, 30000);
    std::vector<FixtureTrace> traces(37);
    std::vector<double> magnitudes;
    for (std::size_t k = 0; k < traces.size(); ++k) {
        // Uneven lengths are not possible in one fixed-length file; uneven
        // amplitudes are: a few large values over many small ones.
        for (int i = 0; i < 251; ++i) {
            const double v = i % 50 == 0 ? rare(random) : small(random);
            traces[k].samples.push_back(v);
            magnitudes.push_back(std::fabs(v));
        }
    }
    const std::string path = m_tmp.File("random.sgy");
    ASSERT_TRUE(WriteFixture(path, traces, 3, false));
    for (double p : {50.0, 99.0, 99.9}) {
        SectionOptions o;
        o.columns = 5; // many traces and samples per cell: the estimate sees them all
        o.rows = 7;
        o.clipPercent = p;
        const Section s = BuildSection(path, o);
        ASSERT_EQ(s.status, SectionStatus::Ok);
        const double exact = test::ExactPercentile(magnitudes, p);
        EXPECT_NEAR(s.clip, exact, exact * 0.002) << p;
    }
}

/// Bit for bit, NaN equal to NaN.
void ExpectSameSection(const Section& got, const Section& want)
{
    ASSERT_EQ(got.status, want.status);
    ASSERT_EQ(got.cells.size(), want.cells.size());
    for (std::size_t k = 0; k < got.cells.size(); ++k) {
        if (std::isnan(want.cells[k]))
            EXPECT_TRUE(std::isnan(got.cells[k])) << "cell " << k;
        else
            EXPECT_EQ(got.cells[k], want.cells[k]) << "cell " << k;
    }
    EXPECT_EQ(got.clip, want.clip);
    EXPECT_EQ(got.anyNegative, want.anyNegative);
    EXPECT_EQ(got.fileTraces, want.fileTraces);
    EXPECT_EQ(got.lastTrace, want.lastTrace);
    EXPECT_EQ(got.waterfall, want.waterfall);
    EXPECT_EQ(got.frame.startMs, want.frame.startMs);
    EXPECT_EQ(got.frame.endMs, want.frame.endMs);
    EXPECT_EQ(got.firstTime.second, want.firstTime.second);
    EXPECT_EQ(got.lastTime.second, want.lastTime.second);
    ASSERT_EQ(got.columnTraces.size(), want.columnTraces.size());
    for (std::size_t c = 0; c < got.columnTraces.size(); ++c)
        EXPECT_EQ(got.columnTraces[c].traceNumber, want.columnTraces[c].traceNumber) << c;
}

/// 500 traces of 20 to 90 samples (more than one reader buffer of them),
/// delays changing in runs, values that IBM and IEEE singles hold exactly.
std::vector<FixtureTrace> UnevenTraces()
{
    std::mt19937 random(17);
    std::uniform_int_distribution<int> value(-40, 40);
    std::uniform_int_distribution<int> length(20, 90);
    std::vector<FixtureTrace> traces(500);
    for (std::size_t k = 0; k < traces.size(); ++k) {
        traces[k].delayMs = static_cast<int>(10 * ((k / 30) % 4));
        traces[k].samples.resize(static_cast<std::size_t>(k % 3 == 0 ? length(random) : 64));
        for (double& v : traces[k].samples)
            v = value(random) / 4.0;
    }
    return traces;
}

/// `traces` and after them a last trace cut short: its header and part of
/// its samples.
bool WriteCutShort(const std::string& path,
                   const std::vector<FixtureTrace>& traces,
                   int format,
                   bool bigEndian)
{
    SegyBytes b(bigEndian);
    b.FileHeader(format, 64, 1000);
    for (std::size_t k = 0; k < traces.size(); ++k) {
        b.TraceHeader(static_cast<int>(traces[k].samples.size()), 1000);
        b.Trace16(kDelayOffset, traces[k].delayMs);
        b.TraceTime(2019, 200, 10, 0, static_cast<int>(k % 60));
        b.Samples(format, traces[k].samples);
    }
    b.TraceHeader(64, 1000).Raw(std::vector<unsigned char>(40, 0x41));
    return b.WriteTo(path);
}

// The traces in range split between two readers give the grid of one:
// variable-length traces, a short last trace, both byte orders, the float
// and the double path (32-bit integers), a range that starts mid-file.
TEST_F(SectionFile, TwoReadersGiveTheGridOfOne)
{
    const std::vector<FixtureTrace> traces = UnevenTraces();
    for (const auto& [format, bigEndian] :
         {std::pair{1, true}, std::pair{5, false}, std::pair{2, true}, std::pair{3, false}}) {
        const std::string path = m_tmp.File("uneven" + std::to_string(format) + ".sgy");
        ASSERT_TRUE(WriteCutShort(path, traces, format, bigEndian));
        for (std::int64_t firstTrace : {1, 77}) {
            SectionOptions o;
            o.columns = 37;
            o.rows = 23;
            o.firstTrace = firstTrace;
            o.readers = 1;
            const Section one = BuildSection(path, o);
            ASSERT_EQ(one.status, SectionStatus::Ok);
            EXPECT_EQ(one.fileTraces, 500) << "the short last trace is no trace";
            o.readers = 2;
            SCOPED_TRACE("format " + std::to_string(format) + " from trace " +
                         std::to_string(firstTrace));
            ExpectSameSection(BuildSection(path, o), one);
        }
    }
}

/// The files a list of traces is read from, and the file the section is
/// then built of.
enum class ListFixture {
    Uneven,      ///< UnevenTraces, IBM big-endian
    UnevenCut,   ///< the same with a last trace cut short
    Longer,      ///< the same traces two samples longer each
    FewerTraces, ///< the first 300 of them
    MoreTraces,  ///< 20 more of them
    MarkedPairs, ///< 40 traces of 64 samples marked as pairs
    /// Trace 250 recorded at 200 ms: every trace starts where it did.
    OneLaterDelay,
};

bool WriteListFixture(const std::string& path, ListFixture fixture)
{
    std::vector<FixtureTrace> traces = UnevenTraces();
    if (fixture == ListFixture::MarkedPairs)
        traces.assign(40, FixtureTrace{5, std::vector<double>(64, 0.5), 25});
    if (fixture == ListFixture::FewerTraces)
        traces.resize(300);
    if (fixture == ListFixture::MoreTraces)
        traces.insert(traces.end(), traces.begin(), traces.begin() + 20);
    if (fixture == ListFixture::OneLaterDelay)
        traces[249].delayMs = 200;
    for (FixtureTrace& t : traces)
        if (fixture == ListFixture::Longer)
            t.samples.insert(t.samples.end(), {1.0, -1.0});
    return fixture == ListFixture::UnevenCut ? WriteCutShort(path, traces, 1, true)
                                             : WriteFixture(path, traces, 1, true);
}

struct ListRow {
    const char* name;
    ListFixture listed; ///< the file the list was read of
    ListFixture now;    ///< the file when the section is built
    std::int64_t firstTrace;
    std::int64_t lastTrace;
    std::int64_t traceStep;
    bool fromList; ///< the section is the listed file's, not the file's now
};

class SectionFromList : public SectionFile, public ::testing::WithParamInterface<ListRow>
{
};

// A section built over the list of a file's traces is the one reading the
// file gives; a list that no longer fits the file is put aside.
TEST_P(SectionFromList, GivesTheSectionOfReadingTheFile)
{
    const ListRow& row = GetParam();
    const std::string path = m_tmp.File("listed.sgy");
    ASSERT_TRUE(WriteListFixture(path, row.listed));
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(path));
    const std::vector<FileTrace> listed = ReadFileTraces(in);
    in.Close();
    SectionOptions o;
    o.columns = 37;
    o.rows = 23;
    o.firstTrace = row.firstTrace;
    o.lastTrace = row.lastTrace;
    o.traceStep = row.traceStep;
    o.waterfallWhenMarked = true;
    o.readers = 2;
    const Section ofListed = BuildSection(path, o);
    ASSERT_EQ(ofListed.status, SectionStatus::Ok);
    ASSERT_TRUE(WriteListFixture(path, row.now));
    const Section ofNow = BuildSection(path, o);
    ExpectSameSection(BuildSection(path, o, listed, {}), row.fromList ? ofListed : ofNow);
}

using LF = ListFixture;

INSTANTIATE_TEST_SUITE_P(
    Lists,
    SectionFromList,
    ::testing::Values(
        ListRow{"UnevenLengths", LF::Uneven, LF::Uneven, 1, 0, 1, true},
        ListRow{"FirstLookFromMidFile", LF::Uneven, LF::Uneven, 77, 0, 7, true},
        ListRow{"LastTraceCutShort", LF::UnevenCut, LF::UnevenCut, 480, 0, 1, true},
        ListRow{"RangeEndsBeforeTheLast", LF::UnevenCut, LF::UnevenCut, 3, 410, 3, true},
        ListRow{"MarkedPairsDrawnAsAWaterfall", LF::MarkedPairs, LF::MarkedPairs, 1, 0, 1, true},
        ListRow{"FileGrownSinceShowsTheListed", LF::Uneven, LF::MoreTraces, 1, 0, 1, true},
        ListRow{"FileRewrittenLongerIsRead", LF::Uneven, LF::Longer, 1, 0, 5, false},
        ListRow{"FileCutShortIsRead", LF::Uneven, LF::FewerTraces, 1, 0, 1, false},
        ListRow{"DelayChangedMidFileIsRead", LF::Uneven, LF::OneLaterDelay, 1, 0, 1, false}),
    [](const ::testing::TestParamInfo<ListRow>& p) { return std::string(p.param.name); });

// The same values stored as IBM big-endian and IEEE little-endian give the
// same grid and clip level.
TEST_F(SectionFile, IbmAndIeeeGiveTheSameGrid)
{
    const std::vector<FixtureTrace> traces = UnevenTraces();
    const std::string ibm = m_tmp.File("ibm.sgy");
    const std::string ieee = m_tmp.File("ieee.sgy");
    ASSERT_TRUE(WriteFixture(ibm, traces, 1, true));
    ASSERT_TRUE(WriteFixture(ieee, traces, 5, false));
    SectionOptions o;
    o.columns = 50;
    o.rows = 40;
    const Section fromIbm = BuildSection(ibm, o);
    ASSERT_EQ(fromIbm.status, SectionStatus::Ok);
    EXPECT_TRUE(fromIbm.anyNegative);
    EXPECT_GT(fromIbm.clip, 0.0);
    ExpectSameSection(BuildSection(ieee, o), fromIbm);
}

TEST_F(SectionFile, TraceRangeAndTimeWindowChooseWhatIsShown)
{
    std::vector<FixtureTrace> traces(6);
    for (std::size_t k = 0; k < traces.size(); ++k)
        traces[k].samples.assign(20, static_cast<double>(k + 1));
    const std::string path = m_tmp.File("range.sgy");
    ASSERT_TRUE(WriteFixture(path, traces, 5, true));
    SectionOptions o;
    o.columns = 2;
    o.rows = 2;
    o.firstTrace = 3;
    o.lastTrace = 4;
    o.startMs = 5.0;
    o.endMs = 10.0;
    const Section s = BuildSection(path, o);
    ASSERT_EQ(s.status, SectionStatus::Ok);
    EXPECT_EQ(s.Cell(0, 0), 3.0f);
    EXPECT_EQ(s.Cell(1, 1), 4.0f);
    EXPECT_EQ(s.firstTrace, 3);
    EXPECT_EQ(s.lastTrace, 4);
    EXPECT_FALSE(s.anyNegative);

    o.firstTrace = 7;
    o.lastTrace = 9;
    EXPECT_EQ(BuildSection(path, o).status, SectionStatus::TracesOutOfRange);
    o.firstTrace = 1;
    o.lastTrace = 0;
    o.startMs = 20.0; // the traces end at 20 ms
    o.endMs = 30.0;
    EXPECT_EQ(BuildSection(path, o).status, SectionStatus::EmptyTimeWindow);
}

// Pairs of 4 + 4 samples of 1 ms; pair k's port trace recorded -(k+1) x
// 1, 2, 3, 4 from nadir out, its starboard trace (k+1) x 1, 2, 3, 4. Whatever
// marks the pairs and however the job laid the port half out, the waterfall
// shows far port on the left, nadir in the middle, far starboard on the
// right, one pair per row, and the water column a delay left unrecorded empty.
struct WaterfallRow {
    const char* name;
    int idCode;
    bool portFlipped; // the job's default; else the port half nadir first
    int delayMs;
    bool asked; // --waterfall; else chosen by the marks
    bool drawn; // as a waterfall
};

class SectionWaterfall : public SectionFile, public ::testing::WithParamInterface<WaterfallRow>
{
};

TEST_P(SectionWaterfall, PortLeftNadirInTheMiddleStarboardRight)
{
    const WaterfallRow& row = GetParam();
    std::vector<FixtureTrace> pairs(3);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const double a = static_cast<double>(k + 1);
        pairs[k].idCode = row.idCode;
        pairs[k].delayMs = row.delayMs;
        pairs[k].samples =
            row.portFlipped
                ? std::vector<double>{-4 * a, -3 * a, -2 * a, -a, a, 2 * a, 3 * a, 4 * a}
                : std::vector<double>{-a, -2 * a, -3 * a, -4 * a, a, 2 * a, 3 * a, 4 * a};
    }
    const std::string path = m_tmp.File("pairs.sgy");
    ASSERT_TRUE(WriteFixture(path, pairs, 5, false));
    SectionOptions o;
    o.waterfall = row.asked;
    o.waterfallWhenMarked = !row.asked;
    o.portFlipped = row.portFlipped;
    const int side = 4 + row.delayMs; // 1 ms columns
    o.columns = 2 * side;
    o.rows = 3;
    const Section s = BuildSection(path, o);
    ASSERT_EQ(s.status, SectionStatus::Ok);
    ASSERT_EQ(s.waterfall, row.drawn);
    if (!row.drawn)
        return;
    EXPECT_DOUBLE_EQ(s.frame.startMs, -side);
    EXPECT_DOUBLE_EQ(s.frame.endMs, side);
    for (int k = 0; k < 3; ++k) {
        const auto a = static_cast<float>(k + 1);
        for (int j = 0; j < 4; ++j) {
            const auto n = static_cast<float>(j);
            EXPECT_EQ(s.Cell(j, k), -(4.0f - n) * a) << "port column " << j << " pair " << k;
            EXPECT_EQ(s.Cell(o.columns - 4 + j, k), (n + 1.0f) * a)
                << "starboard column " << j << " pair " << k;
        }
        for (int c = 4; c < o.columns - 4; ++c)
            EXPECT_TRUE(std::isnan(s.Cell(c, k))) << "water column " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts,
    SectionWaterfall,
    ::testing::Values(WaterfallRow{"UnmarkedAskedFor", 1, true, 0, true, true},
                      WaterfallRow{"PortAsRecordedTurnedRound", 1, false, 0, true, true},
                      WaterfallRow{"DelayLeavesTheWaterColumnEmpty", 25, true, 2, true, true},
                      WaterfallRow{"MarkedChosenByItself", 25, true, 0, false, true},
                      WaterfallRow{"UnmarkedStaysASection", 1, true, 0, false, false}),
    [](const ::testing::TestParamInfo<WaterfallRow>& p) { return std::string(p.param.name); });

TEST_F(SectionFile, WaterfallRefusesATraceOfAnOddCount)
{
    std::vector<FixtureTrace> pairs(3, FixtureTrace{0, std::vector<double>(8, 1.0)});
    pairs[1].samples.pop_back();
    ASSERT_TRUE(WriteFixture(m_tmp.File("odd.sgy"), pairs, 5, false));
    SectionOptions o;
    o.waterfall = true;
    const Section refused = BuildSection(m_tmp.File("odd.sgy"), o);
    EXPECT_EQ(refused.status, SectionStatus::NotSidescanPairs);
    EXPECT_EQ(refused.unpairedTrace, 2);
    EXPECT_EQ(refused.unpairedSamples, 7u);
    EXPECT_TRUE(refused.cells.empty());
}

TEST_F(SectionFile, UnreadableAndEmptyFilesGiveNoGrid)
{
    const Section missing = BuildSection(m_tmp.File("none.sgy"), SectionOptions{});
    EXPECT_EQ(missing.status, SectionStatus::CannotOpen);
    EXPECT_EQ(missing.openError.reason, SegyOpenReason::NoSuchFile);

    SegyBytes b;
    b.FileHeader(5, 10, 1000);
    b.TraceHeader(10, 1000);
    b.Samples(5, std::vector<double>(9, 1.0)); // one sample short
    ASSERT_TRUE(b.WriteTo(m_tmp.File("short.sgy")));
    const Section empty = BuildSection(m_tmp.File("short.sgy"), SectionOptions{});
    EXPECT_EQ(empty.status, SectionStatus::NoTraces);
    EXPECT_TRUE(empty.cells.empty());
}

TEST_F(SectionFile, AgcLevelsTracesOfDifferentStrength)
{
    std::vector<FixtureTrace> traces(2);
    traces[0].samples.assign(30, 0.5);
    traces[1].samples.assign(30, -800.0);
    const std::string path = m_tmp.File("agc.sgy");
    ASSERT_TRUE(WriteFixture(path, traces, 5, true));
    SectionOptions o;
    o.columns = 2;
    o.rows = 3;
    o.gain = SectionGain::Agc;
    o.agcWindowMs = 7.0;
    const Section s = BuildSection(path, o);
    ASSERT_EQ(s.status, SectionStatus::Ok);
    for (int row = 0; row < 3; ++row) {
        EXPECT_FLOAT_EQ(s.Cell(0, row), 1.0f);
        EXPECT_FLOAT_EQ(s.Cell(1, row), -1.0f);
    }
    EXPECT_NEAR(s.clip, 1.0, 0.002);
}

} // namespace
} // namespace tessara
