// The synthetic survey generator: files read back through the project's reader
// must carry exactly the layout, times, channels, navigation and faults that
// were asked for. Expected values are worked out by hand from the options.
#include "segy/io/segy_file_in.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/synth/synth_survey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

namespace tessara::synth
{
namespace
{

using test::ReadFileBytes;
using test::TempDir;

struct ReadBack {
    bool opened = false;
    std::vector<SegyHeaderType> headers;
    std::vector<std::vector<double>> samples;
    bool atEndAfterLast = false;
};

ReadBack ReadAll(const std::filesystem::path& path, CSegyFileIn& in)
{
    ReadBack r;
    r.opened = in.Open(path.string());
    if (!r.opened)
        return r;
    CSegyTrace trace;
    for (int guard = 0; guard < 100000; ++guard) {
        in.Read(trace, -1);
        if (in.atEnd)
            break;
        r.headers.push_back(*trace.header);
        r.samples.emplace_back(trace.samples.begin(), trace.samples.begin() + trace.numSamples);
    }
    r.atEndAfterLast = in.atEnd;
    return r;
}

std::int64_t MsOfYear(const SegyHeaderType& h)
{
    return WholeSecondsOfYear(h) * 1000 + h.millisecond;
}

SurveyOptions SmallSurvey(const std::filesystem::path& dir)
{
    SurveyOptions o;
    o.outDir = dir;
    o.fileCount = 2;
    o.tracesPerFile = 30;
    o.samplesPerTrace = 300;
    o.sampleIntervalUs = 100;
    o.pingIntervalS = 0.5;
    return o;
}

// ---------------------------------------------------------------------------
// Every format in both byte orders, with either text header encoding.

struct Encoding {
    bool bigEndian;
    int format;
    int bytesPerSample;
    bool ebcdic;
};

void PrintTo(const Encoding& e, std::ostream* os)
{
    *os << (e.bigEndian ? "big-endian" : "little-endian") << " format " << e.format;
}

class SynthEncoding : public ::testing::TestWithParam<Encoding>
{
};

TEST_P(SynthEncoding, ReadsBackWithItsLayoutTimesAndSamples)
{
    const Encoding e = GetParam();
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.bigEndian = e.bigEndian;
    o.formatCode = e.format;
    o.ebcdicText = e.ebcdic;
    o.truncation = Truncation::LastFile;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.files.size(), 2u);

    // Format code in the file's own byte order, read without the reader.
    const auto raw = ReadFileBytes(result.files[0].path.string());
    ASSERT_GT(raw.size(), 3600u);
    EXPECT_EQ(raw[3224], e.bigEndian ? 0 : e.format);
    EXPECT_EQ(raw[3225], e.bigEndian ? e.format : 0);
    EXPECT_EQ(raw[0], e.ebcdic ? 0xC3 : 'C'); // "C" of card 1

    // 30 pings of 0.5 s: the second file starts 15 s after the first.
    const std::int64_t firstMs = ((255LL * 24 + 17) * 60 + 35) * 60 * 1000;
    const std::int64_t startMs[2] = {firstMs, firstMs + 15000};
    const std::int64_t traceBytes = 240 + 300LL * e.bytesPerSample;
    std::vector<double> expected;
    for (int f = 0; f < 2; ++f) {
        SCOPED_TRACE(f);
        const SynthFile& file = result.files[static_cast<std::size_t>(f)];
        EXPECT_EQ(file.timeOrder, f);
        const bool cut = f == 1;
        const std::int64_t size = 3600 + 30 * traceBytes + (cut ? 240 + 150 * e.bytesPerSample : 0);
        EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(file.path)), size);
        EXPECT_EQ(file.bytes, size);
        EXPECT_EQ(file.truncated, cut);

        CSegyFileIn in;
        const ReadBack r = ReadAll(file.path, in);
        ASSERT_TRUE(r.opened);
        EXPECT_EQ(in.swapBytes, e.bigEndian);
        EXPECT_EQ(in.GetFormat(), e.format);
        EXPECT_EQ(in.GetSamples(), 300u);
        EXPECT_EQ(in.GetSampleInterval(), 100);
        EXPECT_EQ(in.textIsEbcdic, e.ebcdic);
        EXPECT_EQ(std::string(in.tapeHeader->textHeader, 14), "C 1 CLIENT TES");
        // The incomplete record is never delivered.
        ASSERT_EQ(r.headers.size(), 30u);
        EXPECT_TRUE(r.atEndAfterLast);
        for (std::size_t k = 0; k < r.headers.size(); ++k) {
            const SegyHeaderType& h = r.headers[k];
            EXPECT_EQ(h.year, 2003);
            EXPECT_EQ(MsOfYear(h), startMs[f] + 500 * static_cast<std::int64_t>(k)) << k;
            EXPECT_EQ(h.traceSequenceFile, static_cast<int>(k) + 1);
            EXPECT_EQ(h.traceSequenceLine, f * 30 + static_cast<int>(k) + 1);
            EXPECT_EQ(h.sampleCount, 300);
            EXPECT_EQ(h.sampleInterval, 100);
        }
        // Samples: exact for the integer formats and IEEE singles, within the
        // IBM fraction's precision (21 to 24 bits) for IBM.
        for (int k : {0, 17, 29}) {
            TraceSamples(o, f, k, expected);
            const auto& got = r.samples[static_cast<std::size_t>(k)];
            ASSERT_EQ(got.size(), expected.size());
            double peak = 0;
            for (std::size_t i = 0; i < got.size(); ++i) {
                peak = std::max(peak, std::fabs(got[i]));
                if (e.format == 1)
                    EXPECT_NEAR(got[i], expected[i], std::fabs(expected[i]) * 1e-6) << i;
                else if (e.format == 5)
                    EXPECT_EQ(got[i], static_cast<double>(static_cast<float>(expected[i]))) << i;
                else
                    EXPECT_EQ(got[i], expected[i]) << i;
            }
            EXPECT_GT(peak, 0.0) << "a trace of zeros tests nothing";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats,
                         SynthEncoding,
                         ::testing::Values(Encoding{true, 1, 4, true},
                                           Encoding{false, 1, 4, false},
                                           Encoding{true, 2, 4, false},
                                           Encoding{false, 2, 4, true},
                                           Encoding{true, 3, 2, true},
                                           Encoding{false, 3, 2, false},
                                           Encoding{true, 5, 4, false},
                                           Encoding{false, 5, 4, true},
                                           Encoding{true, 8, 1, true},
                                           Encoding{false, 8, 1, false}),
                         [](const ::testing::TestParamInfo<Encoding>& p) {
                             return std::string(p.param.bigEndian ? "Big" : "Little") + "Format" +
                                    std::to_string(p.param.format) +
                                    (p.param.ebcdic ? "Ebcdic" : "Ascii");
                         });

// Integer samples must use the format's range without clipping at its limit.
TEST(SynthSamples, IntegerFormatsStayInsideTheirRange)
{
    SurveyOptions o;
    o.samplesPerTrace = 2000;
    for (auto [format, limit] : {std::pair{3, 32767.0}, std::pair{8, 127.0}}) {
        o.formatCode = format;
        double peak = 0;
        std::vector<double> s;
        for (int k = 0; k < 50; ++k) {
            TraceSamples(o, 0, k, s);
            for (double v : s)
                peak = std::max(peak, std::fabs(v));
        }
        EXPECT_LT(peak, limit) << format;
        EXPECT_GT(peak, limit / 4) << format;
    }
}

// ---------------------------------------------------------------------------
// Recorder file names, worked out by hand from the start time and the ping
// arithmetic.

struct NameCase {
    const char* label;
    NameLayout layout;
    int year, day, hour, minute, second;
    int traces;
    double ping;
    double longGap;
    int firstSequence;
    const char* firstName;
    const char* secondName;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.label;
}

class SynthNames : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(SynthNames, FollowTheFirstTraceOfEachFile)
{
    const NameCase c = GetParam();
    TempDir dir;
    SurveyOptions o;
    o.outDir = dir.Path();
    o.fileCount = 2;
    o.samplesPerTrace = 10;
    o.nameLayout = c.layout;
    o.year = c.year;
    o.dayOfYear = c.day;
    o.hour = c.hour;
    o.minute = c.minute;
    o.second = c.second;
    o.tracesPerFile = c.traces;
    o.pingIntervalS = c.ping;
    o.longGapS = c.longGap;
    o.longGapEvery = c.longGap > 0 ? 1 : 0;
    o.firstSequence = c.firstSequence;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.files.size(), 2u);
    EXPECT_EQ(result.files[0].path.filename().string(), c.firstName);
    EXPECT_EQ(result.files[1].path.filename().string(), c.secondName);

    // The name's day and HHMM are those of the file's first trace.
    for (const SynthFile& f : result.files) {
        CSegyFileIn in;
        ASSERT_TRUE(in.Open(f.path.string()));
        CSegyTrace t;
        in.Read(t, -1);
        ASSERT_FALSE(in.atEnd);
        const std::string name = f.path.stem().string();
        EXPECT_EQ(std::stoi(name.substr(name.size() - 4)), t.header->hour * 100 + t.header->minute);
        EXPECT_EQ(std::stoi(name.substr(name.size() - 8, 3)), t.header->dayOfYear);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts,
                         SynthNames,
                         ::testing::Values(
                             // 200 pings of 0.25 s: the second file starts at 17:35:50.
                             NameCase{"YearDay",
                                      NameLayout::YearDay,
                                      2003,
                                      255,
                                      17,
                                      35,
                                      0,
                                      200,
                                      0.25,
                                      0,
                                      1,
                                      "0001_2003_255_1735.sgy",
                                      "0002_2003_255_1735.sgy"},
                             NameCase{"DayOnly",
                                      NameLayout::DayOnly,
                                      2003,
                                      255,
                                      17,
                                      35,
                                      0,
                                      200,
                                      0.25,
                                      0,
                                      1,
                                      "0001_255_1735.sgy",
                                      "0002_255_1735.sgy"},
                             // 100 s of pings and a gap of an hour: 17:35:00 + 3700 s = 18:36:40.
                             NameCase{"LongGap",
                                      NameLayout::YearDay,
                                      2003,
                                      255,
                                      17,
                                      35,
                                      0,
                                      100,
                                      1.0,
                                      3600,
                                      1,
                                      "0001_2003_255_1735.sgy",
                                      "0002_2003_255_1836.sgy"},
                             // 23:59:00 on the last day of 2003 plus 120 s: 2004, day 1, 00:01.
                             NameCase{"NewYear",
                                      NameLayout::YearDay,
                                      2003,
                                      365,
                                      23,
                                      59,
                                      0,
                                      120,
                                      1.0,
                                      0,
                                      1,
                                      "0001_2003_365_2359.sgy",
                                      "0002_2004_001_0001.sgy"},
                             NameCase{"NewYearDayOnly",
                                      NameLayout::DayOnly,
                                      2003,
                                      365,
                                      23,
                                      59,
                                      0,
                                      120,
                                      1.0,
                                      0,
                                      1,
                                      "0001_365_2359.sgy",
                                      "0002_001_0001.sgy"},
                             // 2004 is a leap year: day 366 exists and is followed by 2005, day 1.
                             NameCase{"LeapDay",
                                      NameLayout::YearDay,
                                      2004,
                                      366,
                                      23,
                                      59,
                                      30,
                                      60,
                                      1.0,
                                      0,
                                      17,
                                      "0017_2004_366_2359.sgy",
                                      "0018_2005_001_0000.sgy"}),
                         [](const ::testing::TestParamInfo<NameCase>& p) { return p.param.label; });

// ---------------------------------------------------------------------------
// Interleaved channels in each supported header field.

struct ChannelCase {
    const char* label;
    ChannelField field;
    bool bigEndian;
};

void PrintTo(const ChannelCase& c, std::ostream* os)
{
    *os << c.label;
}

class SynthChannels : public ::testing::TestWithParam<ChannelCase>
{
};

int ChannelOf(const SegyHeaderType& h, ChannelField field, bool bigEndian)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&h);
    switch (field) {
    case ChannelField::TraceSequenceFile:
        return h.traceSequenceFile;
    case ChannelField::TraceInEnsemble:
        return h.traceInEnsemble;
    case ChannelField::TraceIdCode:
        return h.traceIdCode;
    case ChannelField::DigitizerChannel:
        return h.digitizerChannel;
    default:
        // Bytes 188-239 keep the file's byte order after reading.
        return bigEndian ? bytes[232] << 8 | bytes[233] : bytes[233] << 8 | bytes[232];
    }
}

TEST_P(SynthChannels, AlternateInTheChosenFieldAndShareThePingTime)
{
    const ChannelCase c = GetParam();
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.fileCount = 1;
    o.tracesPerFile = 9; // 3 pings of 3 channels
    o.channelCount = 3;
    o.firstChannel = 5;
    o.channelField = c.field;
    o.channelByteOffset = 232;
    o.bigEndian = c.bigEndian;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    CSegyFileIn in;
    const ReadBack r = ReadAll(result.files[0].path, in);
    ASSERT_EQ(r.headers.size(), 9u);
    for (std::size_t k = 0; k < 9; ++k) {
        EXPECT_EQ(ChannelOf(r.headers[k], c.field, c.bigEndian), 5 + static_cast<int>(k % 3)) << k;
        // The three channels of a ping carry its time; pings are 0.5 s apart.
        EXPECT_EQ(MsOfYear(r.headers[k]) - MsOfYear(r.headers[0]),
                  500 * static_cast<std::int64_t>(k / 3))
            << k;
    }
    // The fields not chosen keep their ordinary values.
    if (c.field != ChannelField::TraceIdCode) {
        EXPECT_EQ(r.headers[1].traceIdCode, 1);
    }
    if (c.field != ChannelField::DigitizerChannel) {
        EXPECT_EQ(r.headers[1].digitizerChannel, 0);
    }
    if (c.field != ChannelField::TraceSequenceFile) {
        EXPECT_EQ(r.headers[1].traceSequenceFile, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields,
    SynthChannels,
    ::testing::Values(ChannelCase{"SequenceFile", ChannelField::TraceSequenceFile, true},
                      ChannelCase{"InEnsemble", ChannelField::TraceInEnsemble, false},
                      ChannelCase{"TraceId", ChannelField::TraceIdCode, true},
                      ChannelCase{"Digitizer", ChannelField::DigitizerChannel, false},
                      ChannelCase{"UserBytesBig", ChannelField::UserBytes, true},
                      ChannelCase{"UserBytesLittle", ChannelField::UserBytes, false}),
    [](const ::testing::TestParamInfo<ChannelCase>& p) { return p.param.label; });

// ---------------------------------------------------------------------------
// Navigation: the first trace lies exactly at the start position.

struct NavCase {
    const char* label;
    CoordinateUnits units;
    std::optional<std::int16_t> scalar;
    double lat, lon;
    std::int16_t storedScalar;
    std::int32_t x, y;
};

void PrintTo(const NavCase& c, std::ostream* os)
{
    *os << c.label;
}

class SynthNavigation : public ::testing::TestWithParam<NavCase>
{
};

TEST_P(SynthNavigation, StoresTheStartPositionInTheChosenUnits)
{
    const NavCase c = GetParam();
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.fileCount = 1;
    o.coordinateUnits = c.units;
    o.coordinateScalar = c.scalar;
    o.startLatitude = c.lat;
    o.startLongitude = c.lon;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    CSegyFileIn in;
    const ReadBack r = ReadAll(result.files[0].path, in);
    ASSERT_EQ(r.headers.size(), 30u);
    const SegyHeaderType& h = r.headers[0];
    EXPECT_EQ(h.coordinateUnits, static_cast<int>(c.units));
    EXPECT_EQ(h.coordinateScalar, c.storedScalar);
    EXPECT_EQ(h.sourceX, c.x);
    EXPECT_EQ(h.sourceY, c.y);
    EXPECT_EQ(h.groupX, c.x);
    EXPECT_EQ(h.groupY, c.y);
    // The ship moves: the last trace is elsewhere.
    EXPECT_NE(r.headers.back().sourceX, c.x);
}

INSTANTIATE_TEST_SUITE_P(
    Units,
    SynthNavigation,
    ::testing::Values(
        // 54.5 N 10.25 E: 196200 / 36900 arc seconds, x100.
        NavCase{
            "ArcSeconds", CoordinateUnits::ArcSeconds, {}, 54.5, 10.25, -100, 3690000, 19620000},
        // 54 30' 00" and 10 15' 00", x100.
        NavCase{"Dddmmss", CoordinateUnits::Dddmmss, {}, 54.5, 10.25, -100, 10150000, 54300000},
        // 33 S 151.2 E with scalar 0: -331500 / 1511200 as stored (151 12' 00").
        NavCase{"DddmmssSouth",
                CoordinateUnits::Dddmmss,
                std::int16_t{0},
                -33.25,
                151.2,
                0,
                1511200,
                -331500},
        NavCase{"Degrees", CoordinateUnits::Degrees, {}, 54.5, 10.25, -10000, 102500, 545000},
        // Default easting / northing 500000 / 6040000 m in centimetres.
        NavCase{"Metres", CoordinateUnits::Metres, {}, 0, 0, -100, 50000000, 604000000}),
    [](const ::testing::TestParamInfo<NavCase>& p) { return p.param.label; });

TEST(SynthNavigation, TrackRunsAtTheShipSpeed)
{
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.fileCount = 1;
    o.tracesPerFile = 201; // 100 s at 0.5 s
    o.coordinateUnits = CoordinateUnits::Metres;
    o.coordinateScalar = std::int16_t{-100};
    o.speedMps = 3.0;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    CSegyFileIn in;
    const ReadBack r = ReadAll(result.files[0].path, in);
    ASSERT_EQ(r.headers.size(), 201u);
    const double dx = (r.headers.back().sourceX - r.headers[0].sourceX) / 100.0;
    const double dy = (r.headers.back().sourceY - r.headers[0].sourceY) / 100.0;
    // 300 m along the track, give or take the 5 m cross-track wobble.
    EXPECT_NEAR(std::hypot(dx, dy), 300.0, 5.1);
}

// ---------------------------------------------------------------------------
// Faults a real recorder produces.

TEST(SynthFaults, ZeroCountsAndIntervalsKeepTheRecordLength)
{
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.fileCount = 1;
    o.zeroCountRate = 1.0;
    o.zeroIntervalRate = 1.0;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    const auto raw = ReadFileBytes(result.files[0].path.string());
    // Trace 3's header: sampleCount and interval are zero in the file.
    const std::size_t t3 = 3600 + 3 * (240 + 1200);
    EXPECT_EQ(test::Get16BE(raw, t3 + 114), 0);
    EXPECT_EQ(test::Get16BE(raw, t3 + 116), 0);
    // ...yet every trace still carries all 300 samples, so the reader finds
    // 30 whole traces, repaired from the binary header.
    CSegyFileIn in;
    const ReadBack r = ReadAll(result.files[0].path, in);
    ASSERT_EQ(r.headers.size(), 30u);
    EXPECT_EQ(r.headers[29].sampleCount, 300);
    EXPECT_EQ(r.headers[29].sampleInterval, 100);
}

TEST(SynthFaults, SpikeAndScalarSlipTouchOnlyTheirTrace)
{
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path() / "clean");
    o.fileCount = 2;
    o.coordinateUnits = CoordinateUnits::Metres;
    o.coordinateScalar = std::int16_t{-100};
    const SurveyResult clean = WriteSurvey(o);
    ASSERT_TRUE(clean.ok) << clean.error;
    o.outDir = dir.Path() / "bad";
    o.spikeTrace = 35; // trace 5 of the second file
    o.spikeMetres = -1000.0;
    o.scalarSlipTrace = 8;
    o.slipScalar = 10;
    const SurveyResult bad = WriteSurvey(o);
    ASSERT_TRUE(bad.ok) << bad.error;
    for (std::size_t file = 0; file < 2; ++file) {
        CSegyFileIn a;
        CSegyFileIn b;
        const ReadBack before = ReadAll(clean.files[file].path, a);
        const ReadBack after = ReadAll(bad.files[file].path, b);
        ASSERT_EQ(before.headers.size(), after.headers.size());
        for (std::size_t k = 0; k < before.headers.size(); ++k) {
            const bool spike = file == 1 && k == 4;
            const bool slip = file == 0 && k == 7;
            const SegyHeaderType& h = after.headers[k];
            // 1000 m south in centimetres, give or take the rounding of each.
            EXPECT_NEAR(h.sourceY, before.headers[k].sourceY - (spike ? 100000 : 0), 1)
                << file << k;
            EXPECT_EQ(h.sourceX, before.headers[k].sourceX) << file << k;
            EXPECT_EQ(h.coordinateScalar, slip ? 10 : -100) << file << k;
        }
    }
}

TEST(SynthFaults, DelayGlitchesAreRareAndCarryTheGlitchDelay)
{
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.fileCount = 1;
    o.tracesPerFile = 2000;
    o.samplesPerTrace = 10;
    o.delayMs = 40;
    o.delayGlitchRate = 0.01;
    o.glitchDelayMs = 7000;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    CSegyFileIn in;
    const ReadBack r = ReadAll(result.files[0].path, in);
    ASSERT_EQ(r.headers.size(), 2000u);
    int glitches = 0;
    for (const SegyHeaderType& h : r.headers) {
        if (h.delayRecordingTime == 7000)
            ++glitches;
        else
            EXPECT_EQ(h.delayRecordingTime, 40);
    }
    // About 20 expected; a binomial count this far out means a broken rate.
    EXPECT_GE(glitches, 5);
    EXPECT_LE(glitches, 45);
}

TEST(SynthFaults, DateQuirksOnlyTouchTheTraceHeaders)
{
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.fileCount = 1;
    o.headerDayShift = -1;
    o.zeroDayLeadingTraces = 2;
    o.twoDigitYear = true;
    o.missingNavRate = 1.0;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    // The name keeps the true day and year.
    EXPECT_EQ(result.files[0].path.filename().string(), "0001_2003_255_1735.sgy");
    CSegyFileIn in;
    const ReadBack r = ReadAll(result.files[0].path, in);
    ASSERT_EQ(r.headers.size(), 30u);
    EXPECT_EQ(r.headers[0].dayOfYear, 0);
    EXPECT_EQ(r.headers[1].dayOfYear, 0);
    EXPECT_EQ(r.headers[2].dayOfYear, 254);
    EXPECT_EQ(r.headers[2].year, 3);
    EXPECT_EQ(r.headers[2].hour, 17);
    EXPECT_EQ(r.headers[2].second, 1);
    EXPECT_EQ(r.headers[2].sourceX, 0);
    EXPECT_EQ(r.headers[2].sourceY, 0);
}

TEST(SynthFaults, EveryFileCanEndInAnIncompleteTrace)
{
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.fileCount = 3;
    o.formatCode = 8;
    o.samplesPerTrace = 7; // 3 of 7 sample bytes in the last record
    o.truncation = Truncation::EveryFile;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    for (const SynthFile& f : result.files) {
        EXPECT_TRUE(f.truncated);
        EXPECT_EQ(std::filesystem::file_size(f.path), 3600u + 30 * 247 + 243);
        CSegyFileIn in;
        const ReadBack r = ReadAll(f.path, in);
        EXPECT_EQ(r.headers.size(), 30u);
        EXPECT_EQ(in.currentTrace, 30);
    }
}

// ---------------------------------------------------------------------------
// Survey layout.

TEST(SynthSurvey, ShuffledListHoldsEveryFileOutOfTimeOrder)
{
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path());
    o.fileCount = 6;
    o.samplesPerTrace = 10;
    o.shuffleList = true;
    o.shortGapS = 2.0;
    const SurveyResult result = WriteSurvey(o);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.files.size(), 6u);
    std::set<int> orders;
    bool sorted = true;
    for (std::size_t i = 0; i < 6; ++i) {
        orders.insert(result.files[i].timeOrder);
        sorted = sorted && result.files[i].timeOrder == static_cast<int>(i);
        EXPECT_EQ(result.files[i].sequence, result.files[i].timeOrder + 1);
    }
    EXPECT_EQ(orders.size(), 6u);
    EXPECT_FALSE(sorted);

    // In time order each file starts 30 pings (15 s) plus the 2 s gap after
    // the previous one's start.
    std::vector<SynthFile> byTime = result.files;
    std::sort(byTime.begin(), byTime.end(), [](const SynthFile& a, const SynthFile& b) {
        return a.timeOrder < b.timeOrder;
    });
    std::int64_t previous = -1;
    for (const SynthFile& f : byTime) {
        CSegyFileIn in;
        ASSERT_TRUE(in.Open(f.path.string()));
        CSegyTrace t;
        in.Read(t, -1);
        const std::int64_t ms = MsOfYear(*t.header);
        if (previous >= 0) {
            EXPECT_EQ(ms - previous, 17000);
        }
        previous = ms;
    }
}

TEST(SynthSurvey, SameSeedSameBytesOtherSeedOtherSamples)
{
    TempDir a, b, c;
    SurveyOptions o = SmallSurvey(a.Path());
    o.fileCount = 1;
    o.delayGlitchRate = 0.2;
    ASSERT_TRUE(WriteSurvey(o).ok);
    o.outDir = b.Path();
    ASSERT_TRUE(WriteSurvey(o).ok);
    o.outDir = c.Path();
    o.seed = 2;
    ASSERT_TRUE(WriteSurvey(o).ok);
    const std::string name = "0001_2003_255_1735.sgy";
    const auto first = ReadFileBytes(a.File(name));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, ReadFileBytes(b.File(name)));
    const auto other = ReadFileBytes(c.File(name));
    ASSERT_EQ(other.size(), first.size());
    EXPECT_NE(other, first);
}

TEST(SynthSurvey, BigPresetIsLittleEndianIeeeOfTheAskedSize)
{
    const SurveyOptions big = BigSurveyOptions("/nonexistent", 1'000'000'000);
    EXPECT_EQ(big.fileCount, 24);
    EXPECT_FALSE(big.bigEndian);
    EXPECT_EQ(big.formatCode, 5);
    EXPECT_EQ(big.samplesPerTrace, 5000);
    // Within one 20240-byte trace per file of 1 GB.
    EXPECT_NEAR(static_cast<double>(24 * FileBytes(big)), 1e9, 24 * 20240.0);

    // A tiny one on disk: 2 traces per file.
    TempDir dir;
    const SurveyResult result = WriteSurvey(BigSurveyOptions(dir.Path(), 24 * (3600 + 2 * 20240)));
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.files.size(), 24u);
    CSegyFileIn in;
    const ReadBack r = ReadAll(result.files[23].path, in);
    EXPECT_FALSE(in.swapBytes);
    EXPECT_EQ(in.GetFormat(), 5);
    ASSERT_EQ(r.headers.size(), 2u);
    EXPECT_EQ(r.samples[1].size(), 5000u);
}

struct BadOption {
    const char* label;
    void (*apply)(SurveyOptions&);
    const char* message;
};

void PrintTo(const BadOption& c, std::ostream* os)
{
    *os << c.label;
}

class SynthRejects : public ::testing::TestWithParam<BadOption>
{
};

TEST_P(SynthRejects, OptionsItCannotWriteAndWritesNothing)
{
    const BadOption c = GetParam();
    TempDir dir;
    SurveyOptions o = SmallSurvey(dir.Path() / "out");
    c.apply(o);
    const SurveyResult result = WriteSurvey(o);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, c.message);
    EXPECT_TRUE(result.files.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    SynthRejects,
    ::testing::Values(BadOption{"Format4",
                                [](SurveyOptions& o) { o.formatCode = 4; },
                                "Sample format 4 not in {1,2,3,5,8}"},
                      BadOption{"Day366NotLeap",
                                [](SurveyOptions& o) { o.dayOfYear = 366; },
                                "Day of year 366 not in 1..365"},
                      BadOption{"ChannelsWithoutField",
                                [](SurveyOptions& o) { o.channelCount = 2; },
                                "Channels 2 need a channel field"},
                      BadOption{"DigitizerTooLarge",
                                [](SurveyOptions& o) {
                                    o.channelCount = 2;
                                    o.firstChannel = 127;
                                    o.channelField = ChannelField::DigitizerChannel;
                                },
                                "Last channel 128 not in -128..127"},
                      BadOption{
                          "UserBytesOnSampleCount",
                          [](SurveyOptions& o) {
                              o.channelCount = 2;
                              o.channelField = ChannelField::UserBytes;
                              o.channelByteOffset = 112;
                              o.channelByteWidth = 4;
                          },
                          "Channel bytes 112 overlap the sample count and interval at 114..117"},
                      BadOption{"SpikeBeyondTenThousandKilometres",
                                [](SurveyOptions& o) { o.spikeMetres = 2e7; },
                                "Spike (m) 2e+07 not in -1e+07..1e+07"},
                      BadOption{"ScalarOverflow",
                                [](SurveyOptions& o) {
                                    o.coordinateUnits = CoordinateUnits::Metres;
                                    o.coordinateScalar = std::int16_t{-10000};
                                },
                                "Coordinate scalar -10000 makes coordinates overflow 32 bits"}),
    [](const ::testing::TestParamInfo<BadOption>& p) { return p.param.label; });

} // namespace
} // namespace tessara::synth
