// Channel selection while writing: single-channel mode on every channel
// field, sidescan pairing, the pair's plausibility test, and fill traces made
// from the pair. Every input starts with its reference trace, which the job
// never writes; outputs are read back with the reader.
#include "combine/demultiplex.h"
#include "combine/job_state.h"
#include "segy/io/segy_file_in.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <tuple>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

/// Samples of a sidescan trace: the smallest count whose pair (250 samples)
/// passes the plausibility test.
constexpr int kS = 125;

/// One trace of a channel fixture.
struct FixtureTrace {
    Stamp time;
    int channel = 0;  ///< put into the fixture's channel field
    int samples = -1; ///< sampleCount; -1: the file's samples per trace
    int year = 2003;
    int delayMs = 0;
    int traceIdCode = 1; ///< unless the channel goes there
};

/// Puts trace k's channel value into its header (the last trace appended).
using PlaceChannel = std::function<void(SegyBytes&, int channel)>;

PlaceChannel InField(int field)
{
    return [field](SegyBytes& b, int channel) {
        switch (field) {
        case 0:
            b.Trace32(4, channel);
            break;
        case 1:
            b.Trace32(24, channel);
            break;
        case 2:
            b.Trace16(28, channel);
            break;
        case 3:
            b.Put8(b.TraceHeaderOffset() + 180, channel);
            break;
        default:
            break;
        }
    };
}

/// Raw bytes at `offset` of the trace header, the same in either byte order.
PlaceChannel RawBytes(std::size_t offset, std::vector<unsigned char> bytes)
{
    return [offset, bytes](SegyBytes& b, int /*channel*/) {
        for (std::size_t k = 0; k < bytes.size(); ++k)
            b.Put8(b.TraceHeaderOffset() + offset + k, bytes[k]);
    };
}

struct ChannelInput {
    int id = 1;
    bool bigEndian = true;
    int samples = kS;
    std::vector<FixtureTrace> traces;
    PlaceChannel place = InField(3);
};

/// Traces with channels `channels`, one second apart from day 100 10:00:00.
std::vector<FixtureTrace>
Traces(const std::vector<int>& channels, Stamp first = {}, int stepMs = 1000)
{
    const std::vector<Stamp> times = Series(first, static_cast<int>(channels.size()), stepMs);
    std::vector<FixtureTrace> traces;
    for (std::size_t k = 0; k < channels.size(); ++k) {
        FixtureTrace t;
        t.time = times[k];
        t.channel = channels[k];
        traces.push_back(t);
    }
    return traces;
}

/// Sample j of trace k of input `id` (SampleValue), for any trace length.
std::vector<double> SamplesOf(int id, int k, int count)
{
    std::vector<double> values;
    for (int j = 0; j < count; ++j)
        values.push_back(SampleValue(id, k, j));
    return values;
}

std::string WriteChannelInput(const std::string& path, const ChannelInput& in)
{
    SegyBytes b(in.bigEndian);
    b.FileHeader(5, in.samples, 1000);
    for (std::size_t k = 0; k < in.traces.size(); ++k) {
        const FixtureTrace& t = in.traces[k];
        const int n = t.samples < 0 ? in.samples : t.samples;
        b.TraceHeader(n, 1000);
        b.Trace32(4, static_cast<std::int64_t>(k) + 1); // traceSequenceFile
        b.Trace16(28, t.traceIdCode);
        b.Trace16(108, t.delayMs);
        b.TraceTime(
            t.year, t.time.day, t.time.hour, t.time.minute, t.time.second, t.time.millisecond);
        in.place(b, t.channel);
        b.Samples(5, SamplesOf(in.id, static_cast<int>(k), n));
    }
    EXPECT_TRUE(b.WriteTo(path)) << path;
    return path;
}

/// A trace of an output, whole header and samples as read back.
struct OutTrace {
    SegyHeaderType h{};
    std::vector<double> samples;
};

struct OutFile {
    bool opened = false;
    std::uint32_t samplesPerTrace = 0;
    std::vector<OutTrace> traces;
};

OutFile ReadAll(const std::string& path)
{
    OutFile out;
    CSegyFileIn in;
    out.opened = in.Open(path);
    if (!out.opened)
        return out;
    out.samplesPerTrace = in.GetSamples();
    CSegyTrace trace(in.GetSamples());
    for (;;) {
        in.Read(trace, -1);
        if (in.atEnd)
            break;
        OutTrace t;
        t.h = *trace.header;
        t.samples.assign(trace.samples.begin(), trace.samples.begin() + t.h.sampleCount);
        out.traces.push_back(t);
    }
    return out;
}

/// Which trace of input `id` a written trace (or half of a pair) came from:
/// its first sample is id * 1000 + k * 10.
int TraceIndexOf(const std::vector<double>& samples, std::size_t first, int id)
{
    return static_cast<int>((samples[first] - id * 1000) / 10);
}

class DemultiplexTest : public CombineJobTest
{
protected:
    std::string AddChannelInput(const std::string& name, const ChannelInput& in)
    {
        const std::string path = WriteChannelInput((fs::path(m_in) / name).string(), in);
        m_settings.input_files.push_back(path);
        return path;
    }

    /// The only output of the job, read back.
    OutFile OnlyOutput()
    {
        const std::vector<std::string> files = FilesIn(m_out);
        EXPECT_EQ(files.size(), 1u);
        if (files.size() != 1)
            return {};
        return ReadAll(Out(files[0]));
    }

    /// Expects `t` to be the pair of port trace `port` and starboard trace
    /// `stbd` of `in`: the port's header with twice its samples, the port's
    /// samples (reversed when `flipped`), then the starboard's first kS.
    static void ExpectPair(const OutTrace& t,
                           const ChannelInput& in,
                           int port,
                           int stbd,
                           bool flipped,
                           int stbdSamples = kS)
    {
        const FixtureTrace& p = in.traces[static_cast<std::size_t>(port)];
        EXPECT_EQ(t.h.traceSequenceFile, port + 1) << "the port trace's header";
        EXPECT_EQ(t.h.second, p.time.second);
        EXPECT_EQ(t.h.millisecond, p.time.millisecond);
        ASSERT_EQ(t.h.sampleCount, 2 * kS);
        ASSERT_EQ(t.samples.size(), static_cast<std::size_t>(2 * kS));
        for (int j = 0; j < kS; ++j) {
            const int from = flipped ? kS - 1 - j : j;
            EXPECT_EQ(t.samples[static_cast<std::size_t>(j)], SampleValue(in.id, port, from))
                << "port half, sample " << j;
        }
        for (int j = 0; j < kS; ++j) {
            const double want = j < stbdSamples ? SampleValue(in.id, stbd, j) : 0.0;
            EXPECT_EQ(t.samples[static_cast<std::size_t>(kS + j)], want)
                << "starboard half, sample " << j;
        }
    }

    void Sidescan(int port, int stbd, bool flip, int field = 3)
    {
        m_settings.demultiplex_sidescan = true;
        m_settings.port_id = port;
        m_settings.stbd_id = stbd;
        m_settings.flip_port = flip;
        m_settings.channel_field = field;
    }
};

// ---------------------------------------------------------------------------
// Single channel on each field

struct SingleChannelCase {
    const char* name;
    PlaceChannel place;
    std::vector<int> channels; ///< of traces 1..n (trace 0 is the reference)
    int field;
    int start;
    int length;
    int channelId;
    std::vector<int> kept; ///< trace indices written
};

void PrintTo(const SingleChannelCase& c, std::ostream* os)
{
    *os << c.name;
}

class SingleChannel : public DemultiplexTest,
                      public ::testing::WithParamInterface<std::tuple<SingleChannelCase, bool>>
{
};

TEST_P(SingleChannel, KeepsExactlyTheTracesOfTheChannelWhole)
{
    const auto& [c, bigEndian] = GetParam();
    ChannelInput in;
    in.bigEndian = bigEndian;
    in.samples = 4;
    std::vector<int> channels{c.channels.front()}; // reference trace
    channels.insert(channels.end(), c.channels.begin(), c.channels.end());
    in.traces = Traces(channels);
    in.place = c.place;
    AddChannelInput("a.sgy", in);
    m_settings.demultiplex_single_channel = true;
    m_settings.channel_field = c.field;
    m_settings.channel_start = c.start;
    m_settings.channel_length = c.length;
    m_settings.channel_id = c.channelId;

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const std::int64_t kept = static_cast<std::int64_t>(c.kept.size());
    EXPECT_EQ(Result().summary.traces_written, kept);
    EXPECT_EQ(Result().summary.dropped_channel,
              static_cast<std::int64_t>(c.channels.size()) - kept);
    if (c.kept.empty()) {
        EXPECT_TRUE(FilesIn(m_out).empty()) << "an output without traces is discarded";
        return;
    }
    const OutFile out = OnlyOutput();
    EXPECT_EQ(out.samplesPerTrace, 4u) << "single channel keeps the input's trace length";
    ASSERT_EQ(out.traces.size(), c.kept.size());
    for (std::size_t i = 0; i < c.kept.size(); ++i) {
        const int k = c.kept[i];
        const OutTrace& t = out.traces[i];
        EXPECT_EQ(t.h.second, in.traces[static_cast<std::size_t>(k)].time.second);
        EXPECT_EQ(t.samples, SamplesOf(in.id, k, 4)) << "written trace " << i;
    }
}

const SingleChannelCase kSingleChannelCases[] = {
    {"SequenceNumberInFile", InField(0), {7, 2, 7, -5, 7, 2}, 0, 0, 0, 7, {1, 3, 5}},
    {"TraceInEnsemble", InField(1), {1, 2, 1, 2, 1, 2}, 1, 0, 0, 2, {2, 4, 6}},
    // Only traceIdCode 1, not 257 (whose low byte is 1) nor -1.
    {"TraceIdCode", InField(2), {1, 257, 1, -1, 2, 1}, 2, 0, 0, 1, {1, 3, 6}},
    // Byte 180 is signed: 0xFF is channel -1, never 255.
    {"DigitizerChannelIsSigned", InField(3), {-1, 1, -1, 0, 1, -1}, 3, 0, 0, -1, {1, 3, 6}},
    {"DigitizerChannelNever255", InField(3), {-1, 1, -1, 0, 1, -1}, 3, 0, 0, 255, {}},
    // The same byte through the user-defined field of length 1 is unsigned.
    {"UserByteIsUnsigned", InField(3), {-1, 1, -1, 0, 1, -1}, 4, 180, 1, 255, {1, 3, 6}},
    {"UserByteNeverNegative", InField(3), {-1, 1, -1, 0, 1, -1}, 4, 180, 1, -1, {}},
    // A standard field is held in host order after reading, so two bytes at
    // 28 give traceIdCode itself: 258, not the 513 of the bytes reversed.
    {"UserTwoBytesOverTraceIdCode",
     InField(2),
     {258, 1, 258, 513, 2, 258},
     4,
     28,
     2,
     258,
     {1, 3, 6}},
    {"UserFourBytesOverSequenceNumber",
     InField(1), // the sequence number is k + 1 by the writer
     {0, 0, 0, 0, 0, 0},
     4,
     4,
     4,
     3,
     {2}},
    // Bytes 188-239 are never reversed: FE FF is -2 least significant byte
    // first in either byte order.
    {"UserTwoBytesSignedInTheCarriedArea",
     RawBytes(200, {0xFE, 0xFF}),
     {0, 0, 0},
     4,
     200,
     2,
     -2,
     {1, 2, 3}},
    {"UserTwoBytesLeastSignificantFirst",
     RawBytes(200, {0x01, 0x00}),
     {0, 0, 0},
     4,
     200,
     2,
     1,
     {1, 2, 3}},
    // Channel numbers lie in -1000..1000: 18 FC FF FF is -1000, and E8 03 00 01
    // is not 1000 because its last byte is the most significant.
    {"UserFourBytesLeastSignificantFirst",
     RawBytes(236, {0x18, 0xFC, 0xFF, 0xFF}),
     {0, 0},
     4,
     236,
     4,
     -1000,
     {1, 2}},
    {"UserFourBytesMostSignificantLast",
     RawBytes(236, {0xE8, 0x03, 0x00, 0x01}),
     {0, 0},
     4,
     236,
     4,
     1000,
     {}},
    // Lengths 0 and 3 give channel 0 to every trace.
    {"LengthZeroIsChannelZero", RawBytes(200, {5, 5, 5, 5}), {0, 0, 0}, 4, 200, 0, 0, {1, 2, 3}},
    {"LengthThreeIsChannelZero", RawBytes(200, {5, 5, 5, 5}), {0, 0, 0}, 4, 200, 3, 0, {1, 2, 3}},
    {"LengthThreeKeepsNothingElse", RawBytes(200, {5, 5, 5, 5}), {0, 0, 0}, 4, 200, 3, 5, {}},
    // The last byte of the header is readable; a field reaching past it is not.
    {"LastHeaderByte", RawBytes(239, {5}), {0, 0}, 4, 239, 1, 5, {1, 2}},
    {"PastTheHeaderIsChannelZero", RawBytes(238, {5, 5}), {0, 0}, 4, 239, 2, 0, {1, 2}},
    {"FourBytesPastTheHeaderIsChannelZero",
     RawBytes(236, {5, 5, 5, 5}),
     {0, 0},
     4,
     237,
     4,
     0,
     {1, 2}},
};

INSTANTIATE_TEST_SUITE_P(Fields,
                         SingleChannel,
                         ::testing::Combine(::testing::ValuesIn(kSingleChannelCases),
                                            ::testing::Bool()),
                         [](const auto& testInfo) {
                             return std::string(std::get<0>(testInfo.param).name) +
                                    (std::get<1>(testInfo.param) ? "_BigEndian" : "_LittleEndian");
                         });

TEST_F(DemultiplexTest, SingleChannelTimesAreWholeSeconds)
{
    ChannelInput in;
    in.samples = 4;
    in.traces = Traces({0, 0, 1, 0}, {100, 10, 0, 0, 750});
    AddChannelInput("a.sgy", in);
    m_settings.demultiplex_single_channel = true;
    m_settings.channel_field = 3;

    ASSERT_EQ(Run(), CombineOutcome::Done);
    // The last trace kept is at 10:00:03.750; this mode drops the 0.750.
    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().outputs[0].last_trace_time, (100 * 24 + 10) * 3600.0 + 3);
    EXPECT_EQ(Result().summary.traces_written, 2);
}

TEST_F(DemultiplexTest, BothModesOffPassEveryTraceWhateverItsChannel)
{
    ChannelInput in;
    in.samples = 4;
    in.traces = Traces({1, 0, 1, 7, -1});
    AddChannelInput("a.sgy", in);
    m_settings.channel_field = 3;
    m_settings.channel_id = 0;
    m_settings.port_id = 0;
    m_settings.stbd_id = 1;

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const OutFile out = OnlyOutput();
    EXPECT_EQ(out.samplesPerTrace, 4u);
    ASSERT_EQ(out.traces.size(), 4u);
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(out.traces[static_cast<std::size_t>(k - 1)].samples, SamplesOf(1, k, 4));
    EXPECT_EQ(Result().summary.dropped_channel, 0);
}

TEST_F(DemultiplexTest, ChannelChangedWhileRunningTakesEffectFromTheNextOutput)
{
    // Two inputs two hours apart, so two outputs; channels 1, 0, 1, 0, ...
    std::vector<int> channels;
    for (int k = 0; k <= 30; ++k)
        channels.push_back(k % 2 == 1 ? 0 : 1);
    ChannelInput a;
    a.samples = 4;
    a.traces = Traces(channels);
    ChannelInput b = a;
    b.id = 2;
    b.traces = Traces(channels, {100, 12, 0, 0});
    AddChannelInput("a.sgy", a);
    AddChannelInput("b.sgy", b);
    m_settings.demultiplex_single_channel = true;
    m_settings.channel_field = 3;
    m_settings.channel_id = 0;
    // While the first output is written the user switches to channel 1: both
    // passes over an output use the settings it started with.
    m_host.onPump = [this] {
        if (!m_host.statuses.empty() &&
            m_host.statuses.back() == "Input file = a.sgy : reading trace 10")
            m_settings.channel_id = 1;
    };

    ASSERT_EQ(Run(), CombineOutcome::Done);
    ASSERT_EQ(Result().outputs.size(), 2u);
    const auto writtenOf = [](const std::string& path, int id) {
        std::vector<int> written;
        for (const OutTrace& t : ReadAll(path).traces)
            written.push_back(TraceIndexOf(t.samples, 0, id));
        return written;
    };
    std::vector<int> channel0; // traces 1, 3, ..., 29
    std::vector<int> channel1; // traces 2, 4, ..., 30 (0 is the reference)
    for (int k = 1; k <= 30; ++k)
        (k % 2 == 1 ? channel0 : channel1).push_back(k);
    EXPECT_EQ(writtenOf(Result().outputs[0].path, 1), channel0);
    EXPECT_EQ(writtenOf(Result().outputs[1].path, 2), channel1);
}

// ---------------------------------------------------------------------------
// Sidescan pairing

TEST_F(DemultiplexTest, AlternatingPortAndStarboardGivePairsWithThePortFlipped)
{
    ChannelInput in;
    in.traces = Traces({1, 0, 1, 0, 1});
    AddChannelInput("a.sgy", in);
    Sidescan(0, 1, true);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const OutFile out = OnlyOutput();
    EXPECT_EQ(out.samplesPerTrace, static_cast<std::uint32_t>(2 * kS))
        << "the file header states the pair's length";
    ASSERT_EQ(out.traces.size(), 2u);
    ExpectPair(out.traces[0], in, 1, 2, true);
    ExpectPair(out.traces[1], in, 3, 4, true);
    for (const OutTrace& t : out.traces)
        EXPECT_EQ(t.h.traceIdCode, 25) << "pairs by digitizer channel are marked sidescan";
    const CombineSummary& s = Result().summary;
    EXPECT_EQ(s.traces_written, 2);
    EXPECT_EQ(s.merged_into_pairs, 2);
    EXPECT_EQ(s.dropped_channel, 0);
    EXPECT_EQ(s.dropped_implausible, 0);
}

TEST_F(DemultiplexTest, WithoutFlipThePortKeepsItsOrderAndOtherFieldsKeepTheTraceId)
{
    ChannelInput in;
    in.bigEndian = false;
    in.place = InField(1);
    in.traces = Traces({1, 0, 1, 0, 1});
    AddChannelInput("a.sgy", in);
    Sidescan(0, 1, false, 1);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const OutFile out = OnlyOutput();
    ASSERT_EQ(out.traces.size(), 2u);
    ExpectPair(out.traces[0], in, 1, 2, false);
    ExpectPair(out.traces[1], in, 3, 4, false);
    for (const OutTrace& t : out.traces)
        EXPECT_EQ(t.h.traceIdCode, 1) << "only pairs by digitizer channel get 25";
}

TEST_F(DemultiplexTest, TwoStarboardTracesAfterOnePortTraceAreBothWrittenWithIt)
{
    ChannelInput in;
    in.traces = Traces({1, 0, 1, 1});
    AddChannelInput("a.sgy", in);
    Sidescan(0, 1, true);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const OutFile out = OnlyOutput();
    ASSERT_EQ(out.traces.size(), 2u);
    ExpectPair(out.traces[0], in, 1, 2, true);
    ExpectPair(out.traces[1], in, 1, 3, true);
    EXPECT_EQ(Result().summary.traces_written, 2);
    EXPECT_EQ(Result().summary.merged_into_pairs, 1) << "one port trace, carried twice";
}

TEST_F(DemultiplexTest, TrailingPortTraceIsNeverWritten)
{
    ChannelInput in;
    in.traces = Traces({1, 0, 1, 0});
    AddChannelInput("a.sgy", in);
    Sidescan(0, 1, true);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const OutFile out = OnlyOutput();
    ASSERT_EQ(out.traces.size(), 1u);
    ExpectPair(out.traces[0], in, 1, 2, true);
    EXPECT_EQ(Result().summary.dropped_channel, 1) << "the port trace no starboard trace followed";
    ASSERT_EQ(Result().outputs.size(), 1u);
    EXPECT_EQ(Result().outputs[0].last_trace_time, in.traces[2].time.Seconds())
        << "the port trace does not move the last trace time";
}

TEST_F(DemultiplexTest, OtherChannelsAndStarboardWithoutPortAreNotWritten)
{
    ChannelInput in;
    // Trace 1 is a starboard trace before any port trace of the job; 3 and 5
    // belong to neither side.
    in.traces = Traces({0, 1, 0, 7, 1, -1});
    AddChannelInput("a.sgy", in);
    Sidescan(0, 1, true);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const OutFile out = OnlyOutput();
    ASSERT_EQ(out.traces.size(), 1u);
    ExpectPair(out.traces[0], in, 2, 4, true);
    const CombineSummary& s = Result().summary;
    EXPECT_EQ(s.dropped_channel, 2);
    EXPECT_EQ(s.dropped_implausible, 1) << "no port trace: an empty pair";
}

TEST_F(DemultiplexTest, ShortStarboardIsPaddedWithZerosAndALongOneCut)
{
    ChannelInput in;
    in.traces = Traces({1, 0, 1, 1});
    // The long one first: the short one must not leave its samples behind.
    in.traces[2].samples = 150;
    in.traces[3].samples = 100;
    AddChannelInput("a.sgy", in);
    Sidescan(0, 1, false);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const OutFile out = OnlyOutput();
    ASSERT_EQ(out.traces.size(), 2u);
    ExpectPair(out.traces[0], in, 1, 2, false, kS);
    ExpectPair(out.traces[1], in, 1, 3, false, 100);
}

TEST_F(DemultiplexTest, ImplausiblePairIsDroppedButCountsAndSetsTheLastTraceTime)
{
    ChannelInput in;
    in.traces = Traces({1, 0, 1, 0, 1});
    in.traces[3].delayMs = 10001; // the port trace of the second pair
    in.traces[4].time = {100, 10, 2, 30, 250};
    AddChannelInput("a.sgy", in);
    Sidescan(0, 1, true);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const std::vector<std::string> files = FilesIn(m_out);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], "Choose Expedition_100_1000_to_100_1002.sgy")
        << "the dropped pair's starboard time ends the output";
    const OutFile out = ReadAll(Out(files[0]));
    ASSERT_EQ(out.traces.size(), 1u);
    ExpectPair(out.traces[0], in, 1, 2, true);
    EXPECT_EQ(Result().outputs[0].last_trace_time, (100 * 24 + 10) * 3600.0 + 150.25);
    const CombineSummary& s = Result().summary;
    EXPECT_EQ(s.dropped_implausible, 1);
    EXPECT_EQ(s.dropped_channel, 1) << "the port trace of the dropped pair";
    EXPECT_EQ(s.merged_into_pairs, 1);
}

TEST_F(DemultiplexTest, PairsAfter2020AndOnDay366OfALeapYearAreWritten)
{
    const int thisYear =
        static_cast<int>(std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(
                                                         std::chrono::system_clock::now()))
                             .year());
    // Each input lies within its year (a trace of another year than its
    // neighbours would be a clock glitch), so each is an output of its own.
    // The port trace of the last input carries a year beyond any recorder's
    // clock, which fails the pair's header test; its time then counts in
    // the earliest year, that of its neighbours.
    const auto add = [this](int id, int year, int day, int portYear) {
        ChannelInput in;
        in.id = id;
        in.traces = Traces({1, 0, 1}, {day, 10, 0, 0, 0});
        for (FixtureTrace& t : in.traces)
            t.year = year;
        in.traces[1].year = portYear;
        AddChannelInput("in" + std::to_string(id) + ".sgy", in);
    };
    add(1, 2021, 100, 2021);
    add(2, 2024, 366, 2024);
    add(3, thisYear + 1, 100, thisYear + 1);
    add(4, 2021, 50, thisYear + 2);
    Sidescan(0, 1, true);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const std::vector<std::string> files = FilesIn(m_out);
    ASSERT_EQ(files.size(), 3u);
    std::vector<std::pair<int, int>> written; // year, day of each pair
    for (const std::string& f : files) {
        const OutFile out = ReadAll(Out(f));
        ASSERT_EQ(out.traces.size(), 1u) << f;
        written.emplace_back(out.traces[0].h.year, out.traces[0].h.dayOfYear);
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written,
              (std::vector<std::pair<int, int>>{{2021, 100}, {2024, 366}, {thisYear + 1, 100}}));
    EXPECT_EQ(Result().summary.dropped_implausible, 1);
    EXPECT_EQ(Result().summary.dropped_clock_glitch, 0);
}

TEST_F(DemultiplexTest, FillTracesInSidescanModeAreZeroedCopiesOfThePair)
{
    // Input a: reference at 10:00:00, pairs whose starboard traces are at
    // 2, 4, 6 and 8 s. At the fourth the interval is measured against the
    // input's start over the pairs before it: (8 - 0) / (4 - 2) = 4 s. Input b
    // starts at 20 s: gap 20 - 8 = 12 s, 12 / 4 - 1 = 2 fill traces, at 12
    // and 16 s.
    ChannelInput a;
    a.traces = Traces({1, 0, 1, 0, 1, 0, 1, 0, 1});
    ChannelInput b;
    b.id = 2;
    b.traces = Traces({1, 0, 1}, {100, 10, 0, 20, 0});
    AddChannelInput("a.sgy", a);
    AddChannelInput("b.sgy", b);
    Sidescan(0, 1, true);

    ASSERT_EQ(Run(), CombineOutcome::Done);
    const OutFile out = OnlyOutput();
    ASSERT_EQ(out.traces.size(), 7u);
    ExpectPair(out.traces[3], a, 7, 8, true);
    const int fillSeconds[] = {12, 16};
    for (std::size_t i = 0; i < 2; ++i) {
        const OutTrace& fill = out.traces[4 + i];
        EXPECT_EQ(fill.h.traceSequenceFile, 8) << "the last pair's header (port trace 7)";
        EXPECT_EQ(fill.h.traceIdCode, 25);
        EXPECT_EQ(fill.h.second, fillSeconds[i]);
        ASSERT_EQ(fill.h.sampleCount, 2 * kS);
        EXPECT_EQ(fill.samples, std::vector<double>(2 * kS, 0.0));
    }
    ExpectPair(out.traces[6], b, 1, 2, true);
    EXPECT_EQ(Result().summary.traces_filled, 2);
}

// ---------------------------------------------------------------------------
// The user-defined field on a header in memory

struct UserFieldCase {
    int start;
    int length;
    std::optional<std::int32_t> want;
};

void PrintTo(const UserFieldCase& c, std::ostream* os)
{
    *os << "start " << c.start << " length " << c.length;
}

class UserDefinedField : public ::testing::TestWithParam<UserFieldCase>
{
};

TEST_P(UserDefinedField, ReadsOnlyInsideTheHeaderLeastSignificantByteFirst)
{
    const UserFieldCase c = GetParam();
    SegyHeaderType h{};
    unsigned char bytes[kTraceHeaderBytes];
    for (int k = 0; k < kTraceHeaderBytes; ++k)
        bytes[k] = static_cast<unsigned char>(k);
    bytes[0] = 0x80;
    bytes[1] = 0xFF;
    std::memcpy(&h, bytes, sizeof h);
    EXPECT_EQ(UserDefinedChannelField(h, c.start, c.length), c.want);
    CombineSettings s;
    s.channel_field = 4;
    s.channel_start = c.start;
    s.channel_length = c.length;
    CSegyTrace trace(4);
    *trace.header = h;
    EXPECT_EQ(GetCurrent_trace_channel(s, trace), c.want.value_or(0));
}

INSTANTIATE_TEST_SUITE_P(Bytes,
                         UserDefinedField,
                         ::testing::Values(UserFieldCase{0, 1, 0x80},    // unsigned: 128
                                           UserFieldCase{0, 2, -128},    // 0xFF80
                                           UserFieldCase{1, 1, 255},     // never -1
                                           UserFieldCase{10, 2, 0x0B0A}, // 10 then 11
                                           UserFieldCase{
                                               236, 4, -269554196},    // EC ED EE EF: 0xEFEEEDEC
                                           UserFieldCase{239, 1, 239}, // the last byte
                                           UserFieldCase{239, 2, std::nullopt},  // past the header
                                           UserFieldCase{237, 4, std::nullopt},  // past the header
                                           UserFieldCase{240, 1, std::nullopt},  // outside it
                                           UserFieldCase{-1, 1, std::nullopt},   // before it
                                           UserFieldCase{10, 0, std::nullopt},   // no length
                                           UserFieldCase{10, 3, std::nullopt})); // no such width

} // namespace
} // namespace tessara::test
