// The SEG-Y reader: opening, byte order and format, repairs, the constant-
// length test, random access past 2 GiB and files that end early.
#include "segy/io/segy_file_in.h"
#include "tests/segy/segy_test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tessara
{
namespace
{

using test::Image;
using test::MakeFile;
using test::Ramp;
using test::SegyBytes;

class SegyFileInTest : public test::SegyFileTest
{
protected:
    CSegyFileIn m_in;
    CSegyTrace m_trace;
};

struct OpenCase {
    bool big;
    int code;
    bool opens;
    int bytesPerSample;
    bool swapped;
};
std::ostream& operator<<(std::ostream& os, const OpenCase& c)
{
    return os << (c.big ? "big" : "little") << "-endian code " << c.code;
}

class OpenByFormat : public test::SegyFileTest, public ::testing::WithParamInterface<OpenCase>
{
};

TEST_P(OpenByFormat, OpensReadableCodesInTheDetectedByteOrderOnly)
{
    const OpenCase c = GetParam();
    SegyBytes b(c.big);
    b.FileHeader(c.code, 4, 1000).TraceHeader(4, 1000).Samples(c.opens ? c.code : 2, Ramp(0, 4));
    CSegyFileIn in;
    ASSERT_EQ(in.Open(Save(b)), c.opens);
    if (c.opens) {
        EXPECT_EQ(in.swapBytes, c.swapped);
        EXPECT_EQ(in.OpenError().reason, SegyOpenReason::None);
    } else {
        // The code as the detected byte order reads it: 09 00 read big-endian
        // is 2304.
        const auto stored = static_cast<std::uint16_t>(c.code);
        const auto detected =
            static_cast<std::int16_t>(c.big == c.swapped ? stored : __builtin_bswap16(stored));
        EXPECT_EQ(in.OpenError().reason, SegyOpenReason::UnsupportedFormat);
        EXPECT_EQ(in.OpenError().formatCode, detected);
        EXPECT_EQ(in.OpenError().fileBytes, static_cast<std::int64_t>(b.Bytes().size()));
    }
    CSegyTrace t(3);
    t.samples[0] = 42.0;
    in.Read(t, -1);
    if (c.opens) {
        EXPECT_EQ(in.GetFormat(), c.code);
        EXPECT_EQ(in.bytesPerSample, c.bytesPerSample);
        ASSERT_FALSE(in.atEnd);
        EXPECT_EQ(t.samples[3], Ramp(0, 4)[3]);
    } else {
        EXPECT_TRUE(in.atEnd) << "a file that failed Open must deliver no trace";
        EXPECT_EQ(t.samples[0], 42.0);
        EXPECT_EQ(t.numSamples, 3u);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes,
                         OpenByFormat,
                         ::testing::Values(OpenCase{false, 1, true, 4, false},
                                           OpenCase{false, 2, true, 4, false},
                                           OpenCase{false, 3, true, 2, false},
                                           OpenCase{false, 5, true, 4, false},
                                           OpenCase{false, 8, true, 1, false},
                                           OpenCase{true, 1, true, 4, true},
                                           OpenCase{true, 3, true, 2, true},
                                           OpenCase{true, 5, true, 4, true},
                                           OpenCase{true, 8, true, 1, true},
                                           OpenCase{false, 4, false, 0, false},
                                           OpenCase{false, 6, false, 0, false},
                                           OpenCase{false, 7, false, 0, false},
                                           OpenCase{true, 4, false, 0, true},
                                           // outside 1..8 little-endian: taken as big-endian
                                           OpenCase{false, 0, false, 0, true},
                                           OpenCase{false, 9, false, 0, true},
                                           OpenCase{false, -1, false, 0, true}));

TEST_F(SegyFileInTest, FileShorterThanItsHeaderFailsOpenAndDeliversNoTraces)
{
    for (std::size_t size : {0u, 100u, 3599u}) {
        SegyBytes b(true);
        b.FileHeader(1, 4, 1000);
        b.MutableBytes().resize(size);
        CSegyFileIn in;
        EXPECT_FALSE(in.Open(Save(b))) << size << " bytes";
        in.Read(m_trace, -1);
        EXPECT_TRUE(in.atEnd);
        in.Read(m_trace, 0);
        EXPECT_TRUE(in.atEnd);
        EXPECT_FALSE(m_trace.header);
    }
    EXPECT_FALSE(m_in.Open(m_dir.File("missing.sgy")));
}

TEST_F(SegyFileInTest, FailedReopenDeliversNoTracesOfThePreviousFile)
{
    ASSERT_TRUE(m_in.Open(Save(MakeFile(true, 1, 3, 4), "good.sgy")));
    m_in.Read(m_trace, -1);
    ASSERT_FALSE(m_in.atEnd);
    EXPECT_FALSE(m_in.Open(m_dir.File("missing.sgy")));
    m_in.Read(m_trace, -1);
    EXPECT_TRUE(m_in.atEnd);
    EXPECT_FALSE(m_in.Open(Save(MakeFile(true, 4, 3, 4), "code4.sgy")));
    m_in.Rewind();
    m_in.Read(m_trace, 1);
    EXPECT_TRUE(m_in.atEnd);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 1);
}

TEST_F(SegyFileInTest, HeaderOnlyFileOpensAndHasNoTraces)
{
    SegyBytes b(true);
    b.FileHeader(1, 4, 1000);
    ASSERT_TRUE(m_in.Open(Save(b)));
    m_in.Read(m_trace, -1);
    EXPECT_TRUE(m_in.atEnd);
}

TEST_F(SegyFileInTest, FirstTraceCountAndIntervalOverrideTheBinaryHeader)
{
    SegyBytes b(true);
    b.FileHeader(1, 10, 1000);
    for (int i = 0; i < 3; ++i)
        b.TraceHeader(20, 500).Samples(1, Ramp(i, 20));
    ASSERT_TRUE(m_in.Open(Save(b)));
    EXPECT_EQ(m_in.GetSamples(), 20u);
    EXPECT_EQ(m_in.tapeHeader->binSamplesPerTrace, 20);
    EXPECT_EQ(m_in.GetSampleInterval(), 500);
    EXPECT_EQ(m_in.tapeHeader->binSampleInterval, 500);
    EXPECT_TRUE(m_in.constantLength);
}

TEST_F(SegyFileInTest, FirstTraceWithZeroCountLeavesTheBinaryHeaderInForce)
{
    SegyBytes b(false);
    b.FileHeader(5, 10, 1000).TraceHeader(0, 0).Samples(5, Ramp(0, 10));
    ASSERT_TRUE(m_in.Open(Save(b)));
    EXPECT_EQ(m_in.GetSamples(), 10u);
    EXPECT_EQ(m_in.GetSampleInterval(), 1000);
    m_in.Read(m_trace, -1);
    ASSERT_FALSE(m_in.atEnd);
    EXPECT_EQ(m_trace.header->sampleCount, 10);
    EXPECT_EQ(m_trace.header->sampleInterval, 1000);
    EXPECT_EQ(m_trace.samples[9], Ramp(0, 10)[9]);
}

TEST_F(SegyFileInTest, ReaderRepairsZeroCountsImplausibleIntervalsAndZeroUnits)
{
    struct Row {
        int count, interval, units, wantInterval, wantUnits;
    };
    const Row rows[] = {{4, 1000, 0, 1000, 1},
                        {0, 0, 3, 1000, 3},
                        {4, -5, 1, 1000, 1},
                        {4, 10001, 2, 1000, 2},
                        {4, 10000, 0, 10000, 1},
                        {4, 2000, 4, 2000, 4},
                        {4, 1, 1, 1, 1}};
    SegyBytes b(true);
    b.FileHeader(3, 4, 1000);
    for (const Row& r : rows)
        b.TraceHeader(r.count, r.interval).Trace16(88, r.units).Samples(3, Ramp(0, 4));
    ASSERT_TRUE(m_in.Open(Save(b)));
    for (const Row& r : rows) {
        m_in.Read(m_trace, -1);
        ASSERT_FALSE(m_in.atEnd);
        EXPECT_EQ(m_trace.header->sampleCount, 4);
        EXPECT_EQ(m_trace.header->sampleInterval, r.wantInterval) << "stored " << r.interval;
        EXPECT_EQ(m_trace.header->coordinateUnits, r.wantUnits);
    }
}

TEST_F(SegyFileInTest, HeaderBytesComeThroughAsStored)
{
    SegyBytes b(true);
    b.FileHeader(1, 4, 1000).Put16(3504, 3); // announces extended text headers: ignored
    b.TraceHeader(4, 1000).Trace32(4, 77).Put8(b.TraceHeaderOffset() + 180, 0xFF);
    for (std::size_t k = 188; k < 240; ++k)
        b.Put8(b.TraceHeaderOffset() + k, static_cast<int>(k));
    b.Samples(1, Ramp(0, 4));
    ASSERT_TRUE(m_in.Open(Save(b)));
    m_in.Read(m_trace, -1);
    ASSERT_FALSE(m_in.atEnd);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 77) << "first trace header is at byte 3600";
    EXPECT_EQ(m_trace.header->digitizerChannel, -1);
    for (int k = 188; k < 240; ++k)
        EXPECT_EQ(m_trace.header->carried188[k - 188], k) << "byte " << k << " is never reversed";
}

TEST_F(SegyFileInTest, EbcdicTextHeaderIsPrintableAsciiAfterOpen)
{
    std::string ebcdic(3200, '\x40');
    const char card[] = "\xC3\x40\xF1\x40\xE2\xE4\xD9\xE5\xC5\xE8\x05"; // "C 1 SURVEY" + tab
    std::memcpy(ebcdic.data(), card, sizeof card - 1);
    SegyBytes b(true);
    b.FileHeader(1, 4, 1000, ebcdic);
    ASSERT_TRUE(m_in.Open(Save(b, "ebcdic.sgy")));
    EXPECT_TRUE(m_in.textIsEbcdic);
    EXPECT_EQ(std::string(m_in.tapeHeader->textHeader, 12), "C 1 SURVEY  ");
}

TEST_F(SegyFileInTest, ConstantLengthFileReadsTracesByIndex)
{
    ASSERT_TRUE(m_in.Open(Save(MakeFile(false, 2, 12, 5))));
    ASSERT_TRUE(m_in.constantLength);
    EXPECT_EQ(m_in.traceCount, 12);
    m_in.Read(m_trace, 10);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 11);
    m_in.Read(m_trace, 3);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 4);
    m_in.Read(m_trace, -1);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 5);
    EXPECT_EQ(m_trace.samples[4], Ramp(4, 5)[4]);
    const test::TraceImage before = Image(m_trace);
    m_in.Read(m_trace, 12);
    EXPECT_TRUE(m_in.atEnd);
    EXPECT_TRUE(Image(m_trace) == before);
    m_in.Read(m_trace, 0);
    EXPECT_FALSE(m_in.atEnd);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 1);
}

TEST_F(SegyFileInTest, LengthChangeAmongTheFirstHundredTracesDisablesRandomAccess)
{
    SegyBytes b(true);
    b.FileHeader(1, 5, 1000);
    for (int i = 0; i < 60; ++i) {
        const int ns = i == 50 ? 7 : 5;
        b.TraceHeader(ns, 1000).Trace32(4, i + 1).Samples(1, Ramp(i, ns));
    }
    ASSERT_TRUE(m_in.Open(Save(b)));
    EXPECT_FALSE(m_in.constantLength);
    m_in.Read(m_trace, -1);
    m_in.Read(m_trace, 10); // no seek: the next trace
    EXPECT_EQ(m_trace.header->traceSequenceFile, 2);
    int count = 2;
    for (;; ++count) {
        m_in.Read(m_trace, -1);
        if (m_in.atEnd)
            break;
        const int i = m_trace.header->traceSequenceFile - 1;
        ASSERT_EQ(i, count);
        ASSERT_EQ(m_trace.numSamples, i == 50 ? 7u : 5u);
        ASSERT_EQ(m_trace.samples[m_trace.numSamples - 1], Ramp(i, 7)[m_trace.numSamples - 1]);
    }
    EXPECT_EQ(count, 60);
    m_in.Rewind();
    m_in.Read(m_trace, -1);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 1);
    EXPECT_EQ(m_in.currentTrace, 1);
}

TEST_F(SegyFileInTest, LengthChangeNearTheEndDisablesRandomAccess)
{
    SegyBytes b(true);
    b.FileHeader(5, 5, 1000);
    for (int i = 0; i < 120; ++i) {
        const int ns = i == 118 ? 9 : 5;
        b.TraceHeader(ns, 1000).Samples(5, Ramp(i, ns));
    }
    ASSERT_TRUE(m_in.Open(Save(b)));
    EXPECT_FALSE(m_in.constantLength);
}

// A record that ends early is never delivered: the trace stays as it was,
// header and samples, and currentTrace does not count it.
class TruncatedFile : public test::SegyFileTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(TruncatedFile, ReadAtTheEndLeavesTheTraceAsItWas)
{
    SegyBytes b = MakeFile(true, 1, 2, 5);
    b.TraceHeader(9, 1000).Trace32(4, 3).Samples(1, Ramp(2, 9)); // longer, and cut below
    b.MutableBytes().resize(b.TraceHeaderOffset() + static_cast<std::size_t>(GetParam()));
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(b)));
    CSegyTrace t;
    in.Read(t, -1);
    in.Read(t, -1);
    ASSERT_FALSE(in.atEnd);
    ASSERT_EQ(t.header->traceSequenceFile, 2);
    const test::TraceImage before = Image(t);
    in.Read(t, -1);
    EXPECT_TRUE(in.atEnd);
    EXPECT_TRUE(Image(t) == before);
    EXPECT_EQ(in.currentTrace, 2);
    in.Read(t, 2);
    EXPECT_TRUE(in.atEnd);
    EXPECT_TRUE(Image(t) == before);
}

INSTANTIATE_TEST_SUITE_P(CutAt,
                         TruncatedFile,
                         ::testing::Values(0, 100, 240, 241, 240 + 4 * 9 - 1),
                         [](const auto& cut) { return "byte" + std::to_string(cut.param); });

// Records of up to 65535 samples (262380 bytes) are larger than the reader's
// buffer, and records of every size end at any byte of it: each trace must
// still come through whole, by sequence and by index, and a long record that
// ends early must not be delivered.
TEST_F(SegyFileInTest, LongRecordsComeThroughWholeAndACutOneIsNotDelivered)
{
    const std::vector<int> lengths{65535, 3, 40000, 4093, 65535, 20000, 20000, 20000, 1};
    for (const std::size_t cut :
         {std::size_t{0}, std::size_t{240 + 100000}, std::size_t{240 + 4 * 65535 - 1}}) {
        SCOPED_TRACE("last record cut to " + std::to_string(cut) + " bytes");
        SegyBytes b(false);
        b.FileHeader(5, 65535, 1000);
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const int ns = lengths[i];
            const int seq = static_cast<int>(i) + 1;
            b.TraceHeader(ns, 1000).Trace32(4, seq).Trace16(88, 1).Samples(5, Ramp(seq - 1, ns));
        }
        if (cut > 0) {
            b.TraceHeader(65535, 1000).Trace32(4, 99).Samples(5, Ramp(98, 65535));
            b.MutableBytes().resize(b.TraceHeaderOffset() + cut);
        }
        CSegyFileIn in;
        ASSERT_TRUE(in.Open(Save(b)));
        EXPECT_FALSE(in.constantLength);
        for (int pass = 0; pass < 2; ++pass) {
            CSegyTrace t;
            for (std::size_t i = 0; i < lengths.size(); ++i) {
                in.Read(t, -1);
                ASSERT_FALSE(in.atEnd) << "trace " << i;
                const int ns = lengths[i];
                ASSERT_EQ(t.header->traceSequenceFile, static_cast<int>(i) + 1);
                ASSERT_EQ(t.numSamples, static_cast<std::uint32_t>(ns));
                const std::vector<double> expected = Ramp(static_cast<int>(i), ns);
                ASSERT_EQ(std::vector<double>(t.samples.begin(), t.samples.begin() + ns), expected)
                    << "trace " << i;
            }
            const test::TraceImage before = Image(t);
            in.Read(t, -1);
            EXPECT_TRUE(in.atEnd);
            in.Read(t, -1);
            EXPECT_TRUE(in.atEnd);
            EXPECT_TRUE(Image(t) == before);
            EXPECT_EQ(in.currentTrace, static_cast<std::int64_t>(lengths.size()));
            in.Rewind();
        }
    }

    // Constant-length with records larger than the buffer: any order by index.
    ASSERT_TRUE(m_in.Open(Save(MakeFile(true, 1, 4, 65535), "long.sgy")));
    ASSERT_TRUE(m_in.constantLength);
    for (const int index : {2, 0, 3, 1}) {
        m_in.Read(m_trace, index);
        ASSERT_FALSE(m_in.atEnd);
        EXPECT_EQ(m_trace.header->traceSequenceFile, index + 1);
        EXPECT_EQ(m_trace.samples[65534], Ramp(index, 65535)[65534]);
    }
    m_in.Read(m_trace, -1);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 3) << "sequential reading goes on after index 1";
    m_in.Read(m_trace, 4);
    EXPECT_TRUE(m_in.atEnd);
}

// Looking at the next header must neither move the reading on nor disturb
// the samples of the trace in hand, whether the next record is in the
// buffer, beyond it, longer than it, or cut short.
TEST_F(SegyFileInTest, PeekShowsTheNextHeaderAndLeavesTheTraceInHandIntact)
{
    const std::vector<int> lengths{3, 65535, 4093, 20000, 1, 20000, 7};
    SegyBytes b(false);
    b.FileHeader(5, 3, 1000);
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const int seq = static_cast<int>(i) + 1;
        b.TraceHeader(lengths[i], 0).Trace32(4, seq).Samples(5, Ramp(seq - 1, lengths[i]));
    }
    b.TraceHeader(20000, 1000).Trace32(4, 99).Samples(5, Ramp(98, 20000));
    b.MutableBytes().resize(b.TraceHeaderOffset() + 240 + 100);
    ASSERT_TRUE(m_in.Open(Save(b)));

    SegyHeaderType next{};
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        ASSERT_TRUE(m_in.PeekHeader(next)) << "before trace " << i;
        const StoredSamples stored = m_in.ReadStored(m_trace);
        ASSERT_FALSE(m_in.atEnd);
        EXPECT_EQ(std::memcmp(&next, m_trace.header.get(), sizeof next), 0)
            << "the peeked header is the one read, repairs included, trace " << i;
        EXPECT_EQ(next.sampleInterval, 1000) << "repaired from the binary header";
        SegyHeaderType after{};
        const bool more = m_in.PeekHeader(after);
        EXPECT_EQ(more, i + 1 < lengths.size()) << "after trace " << i;
        if (more) {
            EXPECT_EQ(after.traceSequenceFile, static_cast<int>(i) + 2);
        }
        m_in.DecodeStored(stored, m_trace);
        const int ns = lengths[i];
        EXPECT_EQ(std::vector<double>(m_trace.samples.begin(), m_trace.samples.begin() + ns),
                  Ramp(static_cast<int>(i), ns))
            << "trace " << i;
    }
    next.traceSequenceFile = -5;
    EXPECT_FALSE(m_in.PeekHeader(next)) << "a cut record is no trace";
    EXPECT_EQ(next.traceSequenceFile, -5);
    m_in.Read(m_trace, -1);
    EXPECT_TRUE(m_in.atEnd);
    EXPECT_FALSE(m_in.PeekHeader(next));
}

// Deleting a trace released its storage but kept allocatedCount and
// numSamples, so reading the same length into it again skipped the resize
// and decoded into freed storage.
TEST_F(SegyFileInTest, ReadIntoDeletedTraceDoesNotOverflow)
{
    ASSERT_TRUE(m_in.Open(Save(MakeFile(true, 5, 2, 6))));
    m_in.Read(m_trace, -1);
    m_trace.Delete();
    m_in.Read(m_trace, -1);
    ASSERT_FALSE(m_in.atEnd);
    ASSERT_GE(m_trace.samples.size(), 8u);
    EXPECT_EQ(m_trace.samples[5], Ramp(1, 6)[5]);
}

TEST_F(SegyFileInTest, RandomAccessReachesTracesBeyondTwoAndFourGiB)
{
    constexpr int kSamples = 1000;
    constexpr std::int64_t kLength = 240 + 4 * kSamples;
    constexpr std::int64_t kPast2GiB = ((std::int64_t{1} << 31) + 4096) / kLength + 1;
    constexpr std::int64_t kPast4GiB = ((std::int64_t{1} << 32) + 4096) / kLength + 1;
    const std::string path = Save(MakeFile(true, 5, 1, kSamples));
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 3600 + (kPast4GiB + 1) * kLength), 0); // sparse: no disk used
    for (std::int64_t index : {kPast2GiB, kPast4GiB}) {
        SegyBytes record(true);
        record.FileHeader(5, kSamples, 1000).TraceHeader(kSamples, 1000);
        record.Trace32(4, index + 1).Samples(5, Ramp(static_cast<int>(index % 10), kSamples));
        ASSERT_EQ(::pwrite(fd, record.Bytes().data() + 3600, kLength, 3600 + index * kLength),
                  kLength);
    }
    ::close(fd);

    ASSERT_TRUE(m_in.Open(path));
    ASSERT_TRUE(m_in.constantLength);
    EXPECT_EQ(m_in.byteCount, 3600 + (kPast4GiB + 1) * kLength);
    EXPECT_EQ(m_in.traceCount, kPast4GiB + 1);
    for (std::int64_t index : {kPast4GiB, kPast2GiB}) {
        m_in.Read(m_trace, index);
        ASSERT_FALSE(m_in.atEnd);
        EXPECT_EQ(m_trace.header->traceSequenceFile, index + 1);
        EXPECT_EQ(m_trace.samples[999], Ramp(static_cast<int>(index % 10), kSamples)[999]);
        EXPECT_EQ(m_in.currentTrace, index + 1);
    }
    m_in.Read(m_trace, kPast4GiB + 1);
    EXPECT_TRUE(m_in.atEnd);
    m_in.Read(m_trace, 0);
    EXPECT_EQ(m_trace.header->traceSequenceFile, 1);
}

TEST(SensibleHeaderValues, AcceptsEachBoundAndRejectsOneBeyond)
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    const int nextYear = utc.tm_year + 1900 + 1;
    struct Row {
        int offset; // of the 16-bit field in the trace header
        int value;
        bool plausible;
    };
    const Row rows[] = {
        {114, 249, false},     {114, 250, true},
        {114, 10000, true},    {114, 10001, false},
        {116, -1, false},      {116, 0, true},
        {156, 1989, false},    {156, 1990, true},
        {156, nextYear, true}, {156, nextYear + 1, false},
        {158, -1, false},      {158, 0, true},
        {158, 366, true},      {158, 367, false},
        {160, -1, false},      {160, 24, true},
        {160, 25, false},      {162, 59, true},
        {162, 60, false},      {164, -1, false},
        {164, 60, false},      {166, 999, true},
        {166, 1000, false},    {166, -1, false},
        {88, 0, true},         {88, 10, true},
        {88, 11, false},       {88, -1, false},
        {108, -1, false},      {108, 10000, true},
        {108, 10001, false},
    };
    CSegyTrace t(1000);
    t.header->sampleInterval = 100;
    t.header->year = 2015;
    t.header->dayOfYear = 100;
    t.header->hour = 12;
    t.header->coordinateUnits = 1;
    ASSERT_TRUE(CSegyFileIn::sensibleHeaderValues(t));
    const SegyHeaderType plausible = *t.header;
    for (const Row& r : rows) {
        *t.header = plausible;
        const auto v = static_cast<std::int16_t>(r.value);
        std::memcpy(reinterpret_cast<unsigned char*>(t.header.get()) + r.offset, &v, 2);
        EXPECT_EQ(CSegyFileIn::sensibleHeaderValues(t), r.plausible)
            << "byte " << r.offset << " = " << r.value;
    }
    CSegyTrace empty;
    EXPECT_FALSE(CSegyFileIn::sensibleHeaderValues(empty));
}

} // namespace
} // namespace tessara
