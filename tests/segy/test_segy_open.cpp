// What Open decides before the first trace is read: why a file is refused,
// which sample count holds, where the first trace starts, and that a refused
// file leaves the reader's description of the previous file alone.
#include "segy/io/segy_file_in.h"
#include "tests/segy/segy_test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tessara
{
namespace
{

using test::MakeFile;
using test::Ramp;
using test::SegyBytes;

class SegyOpenTest : public test::SegyFileTest
{
protected:
    /// Opens `path` on a fresh reader and returns why it failed.
    SegyOpenError Refusal(const std::string& path)
    {
        CSegyFileIn in;
        EXPECT_FALSE(in.Open(path));
        CSegyTrace trace;
        in.Read(trace, -1);
        EXPECT_TRUE(in.atEnd) << "a refused file delivers no trace";
        return in.OpenError();
    }
};

TEST_F(SegyOpenTest, MissingFileIsNoSuchFile)
{
    const SegyOpenError e = Refusal(m_dir.File("missing.sgy"));
    EXPECT_EQ(e.reason, SegyOpenReason::NoSuchFile);
    EXPECT_EQ(e.errorNumber, ENOENT);
    EXPECT_EQ(Refusal(m_dir.File("missing/in.sgy")).reason, SegyOpenReason::NoSuchFile);
}

TEST_F(SegyOpenTest, UnreadableFileIsPermissionDenied)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root";
    const std::string path = Save(MakeFile(true, 1, 2, 4));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    const SegyOpenError e = Refusal(path);
    EXPECT_EQ(e.reason, SegyOpenReason::PermissionDenied);
    EXPECT_EQ(e.errorNumber, EACCES);
}

TEST_F(SegyOpenTest, DirectoryAndDeviceAreNotRegularFiles)
{
    EXPECT_EQ(Refusal(m_dir.Path().string()).reason, SegyOpenReason::NotRegularFile);
    EXPECT_EQ(Refusal("/dev/null").reason, SegyOpenReason::NotRegularFile);
}

TEST_F(SegyOpenTest, FifoWithoutWriterIsRefusedWithoutBlocking)
{
    const std::string path = m_dir.File("pipe.sgy");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // A blocking open would wait for a writer for ever: run it aside and give
    // it a few seconds. (A hung open leaves the thread behind; the test fails.)
    auto result = std::async(std::launch::async, [path] {
        CSegyFileIn in;
        const bool opened = in.Open(path);
        return std::make_pair(opened, in.OpenError().reason);
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "Open blocked on a FIFO";
    const auto [opened, reason] = result.get();
    EXPECT_FALSE(opened);
    EXPECT_EQ(reason, SegyOpenReason::NotRegularFile);
}

TEST_F(SegyOpenTest, ShortFileIsTooShortWithItsSize)
{
    for (const std::size_t size : {0u, 100u, 3599u}) {
        SegyBytes b(true);
        b.FileHeader(1, 4, 1000);
        b.MutableBytes().resize(size);
        const SegyOpenError e = Refusal(Save(b));
        EXPECT_EQ(e.reason, SegyOpenReason::TooShort) << size;
        EXPECT_EQ(e.fileBytes, static_cast<std::int64_t>(size));
    }
}

TEST_F(SegyOpenTest, SuccessfulOpenClearsTheReason)
{
    CSegyFileIn in;
    EXPECT_FALSE(in.Open(m_dir.File("missing.sgy")));
    ASSERT_TRUE(in.Open(Save(MakeFile(true, 1, 2, 4))));
    EXPECT_EQ(in.OpenError().reason, SegyOpenReason::None);
}

/// Everything Open describes a file with, to prove a refusal left it alone.
struct Description {
    std::vector<unsigned char> tapeHeader;
    bool swapBytes, textIsEbcdic, constantLength;
    std::int32_t bytesPerSample, formatCode;
    std::int64_t traceLength, traceCount, byteCount;
    std::uint32_t samplesPerTrace;
    std::int16_t sampleIntervalUs;
    bool operator==(const Description&) const = default;
};

Description Describe(const CSegyFileIn& in)
{
    const auto* header = reinterpret_cast<const unsigned char*>(in.tapeHeader.get());
    return {std::vector<unsigned char>(header, header + 3600),
            in.swapBytes,
            in.textIsEbcdic,
            in.constantLength,
            in.bytesPerSample,
            in.formatCode,
            in.traceLength,
            in.traceCount,
            in.byteCount,
            in.samplesPerTrace,
            in.sampleIntervalUs};
}

// A failed reopen used to copy the refused file's header, byte order and
// format code over the previous file's before it found the format unreadable.
TEST_F(SegyOpenTest, RefusedReopenKeepsThePreviousFilesDescription)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(MakeFile(false, 5, 3, 6), "good.sgy")));
    const Description before = Describe(in);

    SegyBytes bad(true);
    bad.FileHeader(4, 9, 250, "C 1 OTHER FILE").TraceHeader(9, 250).Samples(2, Ramp(0, 9));
    EXPECT_FALSE(in.Open(Save(bad, "code4.sgy")));
    EXPECT_EQ(in.OpenError().reason, SegyOpenReason::UnsupportedFormat);
    EXPECT_EQ(in.OpenError().formatCode, 4);
    EXPECT_TRUE(Describe(in) == before);
    // ... and it is a closed reader.
    EXPECT_FALSE(in.isValid);
    EXPECT_FALSE(in.bIsOpen());
    EXPECT_TRUE(in.atEnd);
    EXPECT_EQ(in.currentTrace, 0);
    CSegyTrace trace;
    in.Read(trace, 0);
    EXPECT_TRUE(in.atEnd);
}

/// A file whose traces hold `actual` samples while their headers say
/// `traceSays` and the binary header says `binarySays`.
SegyBytes CountFile(int binarySays, int traceSays, int actual, int traces = 3)
{
    SegyBytes b(true);
    b.FileHeader(3, binarySays, 4000);
    for (int i = 0; i < traces; ++i)
        b.TraceHeader(traceSays, 4000).Trace32(4, i + 1).Samples(3, Ramp(i, actual));
    return b;
}

struct CountCase {
    const char* name;
    int binarySays, traceSays, actual;
    SampleCountSource source;
    std::uint32_t samples;
};

class SampleCountRule : public test::SegyFileTest, public ::testing::WithParamInterface<CountCase>
{
};

TEST_P(SampleCountRule, TheCountThatFitsTheFileHolds)
{
    const CountCase& c = GetParam();
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(CountFile(c.binarySays, c.traceSays, c.actual))));
    EXPECT_EQ(in.CountSource(), c.source);
    EXPECT_EQ(in.GetSamples(), c.samples);
    EXPECT_EQ(in.tapeHeader->binSamplesPerTrace, c.samples);
    EXPECT_EQ(in.BinaryHeaderSamples(), static_cast<std::uint32_t>(c.binarySays));
    EXPECT_EQ(in.FirstTraceSamples(), static_cast<std::uint32_t>(c.traceSays));
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    SampleCountRule,
    ::testing::Values(
        CountCase{"Agree", 6, 6, 6, SampleCountSource::BinaryHeaderAndFirstTrace, 6},
        // 3 x (240 + 2 x 6) = 756 bytes of traces: whole for 6, not for 20.
        CountCase{"StaleTraceCount", 6, 20, 6, SampleCountSource::BinaryHeaderFitsFileLength, 6},
        CountCase{"StaleBinaryCount", 20, 6, 6, SampleCountSource::FirstTrace, 6},
        // 3 x (240 + 2 x 7) = 762: whole for neither 5 nor 9.
        CountCase{"NeitherFits", 5, 9, 7, SampleCountSource::FirstTrace, 9},
        CountCase{"FirstTraceSaysZero", 6, 0, 6, SampleCountSource::BinaryHeader, 6}),
    [](const auto& param) { return std::string(param.param.name); });

// 10 records of 6 samples (252 bytes) are 2520 bytes, which are also 9
// records of 20 (280 bytes): the length cannot decide, the first trace does.
TEST_F(SegyOpenTest, CountsThatBothFitTheFileLengthLeaveTheFirstTracesInForce)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(CountFile(6, 20, 6, 10))));
    EXPECT_EQ(in.CountSource(), SampleCountSource::FirstTrace);
    EXPECT_EQ(in.GetSamples(), 20u);
    EXPECT_EQ(in.tapeHeader->binSamplesPerTrace, 20);
    CSegyTrace trace;
    in.Read(trace, -1);
    ASSERT_FALSE(in.atEnd);
    EXPECT_EQ(trace.header->sampleCount, 20) << "read with its own count, not forced to 6";
    EXPECT_EQ(trace.numSamples, 20u);
}

// segyio's f3.sgy (binary header 75 samples, trace headers 462) was read as a
// few garbage traces of 462 samples.
TEST_F(SegyOpenTest, StaleTraceHeaderCountIsReadAsTheBinaryHeaderSays)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(CountFile(6, 20, 6, 5))));
    EXPECT_TRUE(in.constantLength);
    EXPECT_EQ(in.traceCount, 5);
    CSegyTrace trace;
    int read = 0;
    for (in.Read(trace, -1); !in.atEnd; in.Read(trace, -1), ++read) {
        EXPECT_EQ(trace.header->traceSequenceFile, read + 1);
        EXPECT_EQ(trace.header->sampleCount, 6) << "the header says what was read";
        ASSERT_EQ(trace.numSamples, 6u);
        EXPECT_EQ(trace.samples[5], Ramp(read, 6)[5]);
    }
    EXPECT_EQ(read, 5);
    in.Read(trace, 3);
    ASSERT_FALSE(in.atEnd);
    EXPECT_EQ(trace.header->traceSequenceFile, 4);
}

/// A file with `extended` extended text headers announced as `announced`
/// under revision `revision`, then two traces.
SegyBytes ExtendedFile(int revision, int announced, int extended, bool big = true)
{
    SegyBytes b(big);
    b.FileHeader(1, 4, 1000).Put16(3500, revision).Put16(3504, announced);
    for (int k = 0; k < extended; ++k)
        b.Raw(std::vector<unsigned char>(3200, 0x40)); // EBCDIC blanks
    for (int i = 0; i < 2; ++i)
        b.TraceHeader(4, 1000).Trace32(4, i + 1).Trace16(88, 1).Samples(1, Ramp(i, 4));
    return b;
}

struct ExtendedCase {
    const char* name;
    bool big;
    int revision;
    int headers;
};

class ExtendedHeaders : public test::SegyFileTest,
                        public ::testing::WithParamInterface<ExtendedCase>
{
};

TEST_P(ExtendedHeaders, FirstTraceFollowsThem)
{
    const ExtendedCase& c = GetParam();
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(ExtendedFile(c.revision, c.headers, c.headers, c.big))));
    EXPECT_EQ(in.FirstTraceOffset(), 3600 + 3200 * c.headers);
    EXPECT_EQ(in.traceCount, 2);
    EXPECT_TRUE(in.constantLength);
    CSegyTrace trace;
    in.Read(trace, -1);
    ASSERT_FALSE(in.atEnd);
    EXPECT_EQ(trace.header->traceSequenceFile, 1);
    EXPECT_EQ(trace.samples[3], Ramp(0, 4)[3]);
    in.Read(trace, 1);
    ASSERT_FALSE(in.atEnd);
    EXPECT_EQ(trace.header->traceSequenceFile, 2);
    in.Read(trace, -1);
    EXPECT_TRUE(in.atEnd);
}

INSTANTIATE_TEST_SUITE_P(Revisions,
                         ExtendedHeaders,
                         ::testing::Values(ExtendedCase{"Rev1Two", true, 0x0100, 2},
                                           ExtendedCase{"Rev1WrittenAsOne", true, 1, 1},
                                           ExtendedCase{"Rev2LittleEndian", false, 0x0200, 3},
                                           ExtendedCase{"Rev1None", true, 0x0100, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SegyOpenTest, RevisionZeroFileStartsAt3600WhateverItsCountSays)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(ExtendedFile(0, 2, 0))));
    EXPECT_EQ(in.FirstTraceOffset(), 3600);
    CSegyTrace trace;
    in.Read(trace, -1);
    ASSERT_FALSE(in.atEnd);
    EXPECT_EQ(trace.header->traceSequenceFile, 1);
}

TEST_F(SegyOpenTest, VariableNumberOfExtendedHeadersIsRefused)
{
    const SegyOpenError e = Refusal(Save(ExtendedFile(0x0100, -1, 1)));
    EXPECT_EQ(e.reason, SegyOpenReason::ExtendedHeaders);
    EXPECT_EQ(e.extendedHeaders, -1);
    EXPECT_EQ(e.formatCode, 1);
}

TEST_F(SegyOpenTest, FileShorterThanItsExtendedHeadersIsTooShort)
{
    const SegyOpenError e = Refusal(Save(ExtendedFile(0x0100, 3, 1)));
    EXPECT_EQ(e.reason, SegyOpenReason::TooShort);
    EXPECT_EQ(e.extendedHeaders, 3);
}

} // namespace
} // namespace tessara
