// Revision-0 files that declare extended text headers: the file length alone
// tells whether they are there. The first trace is taken after them only when
// the bytes from there are whole records and the bytes from 3600 are not.
#include "segy/io/segy_file_in.h"
#include "tests/segy/segy_test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessara
{
namespace
{

using test::Ramp;
using test::SegyBytes;

constexpr int kSamples = 4; // IBM: records of 240 + 16 = 256 bytes

/// A revision-0 file declaring `declared` extended headers, followed by
/// `present` blocks of 3200 EBCDIC blanks and `traces` traces of kSamples
/// samples whose headers say `traceSays`.
SegyBytes Rev0File(int declared, int present, int traces, bool big = true, int traceSays = kSamples)
{
    SegyBytes b(big);
    b.FileHeader(1, kSamples, 1000).Put16(3500, 0).Put16(3504, declared);
    for (int k = 0; k < present; ++k)
        b.Raw(std::vector<unsigned char>(3200, 0x40));
    for (int i = 0; i < traces; ++i)
        b.TraceHeader(traceSays, 1000)
            .Trace32(4, i + 1)
            .Trace16(88, 1)
            .Samples(1, Ramp(i, kSamples));
    return b;
}

/// `b` without its last `bytes` bytes.
SegyBytes Cut(SegyBytes b, std::size_t bytes)
{
    b.MutableBytes().resize(b.Bytes().size() - bytes);
    return b;
}

class Rev0ExtendedHeaders : public test::SegyFileTest
{
protected:
    /// Every trace of the file, by its sequence number, with a check of the
    /// samples the fixture wrote.
    std::vector<int> SequenceNumbers(CSegyFileIn& in)
    {
        std::vector<int> numbers;
        CSegyTrace trace;
        for (in.Read(trace, -1); !in.atEnd; in.Read(trace, -1)) {
            const int n = trace.header->traceSequenceFile;
            numbers.push_back(n);
            EXPECT_EQ(trace.numSamples, static_cast<std::uint32_t>(kSamples));
            if (trace.numSamples == kSamples) {
                EXPECT_EQ(trace.samples[3], Ramp(n - 1, kSamples)[3]) << "trace " << n;
            }
        }
        return numbers;
    }
};

TEST_F(Rev0ExtendedHeaders, ArePassedOverWhenOnlyTheBytesAfterThemAreWholeTraces)
{
    for (const bool big : {true, false}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        CSegyFileIn in;
        ASSERT_TRUE(in.Open(Save(Rev0File(2, 2, 3, big))));
        EXPECT_EQ(in.FirstTraceOffset(), 3600 + 2 * 3200);
        EXPECT_EQ(in.FirstTraceFrom(), FirstTraceSource::Revision0ExtendedHeaders);
        EXPECT_EQ(in.GetSamples(), static_cast<std::uint32_t>(kSamples));
        EXPECT_EQ(in.traceCount, 3);
        EXPECT_TRUE(in.constantLength);
        EXPECT_EQ(SequenceNumbers(in), (std::vector<int>{1, 2, 3}));
        // By index and after a rewind the traces are where Open put them.
        CSegyTrace trace;
        in.Read(trace, 2);
        ASSERT_FALSE(in.atEnd);
        EXPECT_EQ(trace.header->traceSequenceFile, 3);
        in.Rewind();
        EXPECT_EQ(SequenceNumbers(in), (std::vector<int>{1, 2, 3}));
    }
}

TEST_F(Rev0ExtendedHeaders, OneWholeTraceAfterThemIsEnough)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(Rev0File(1, 1, 1))));
    EXPECT_EQ(in.FirstTraceOffset(), 3600 + 3200);
    EXPECT_EQ(SequenceNumbers(in), std::vector<int>{1});
}

// The trace header after the extended headers saying 0 samples: the binary
// header's count gives the record length, as in segyio's multi-text.sgy.
TEST_F(Rev0ExtendedHeaders, TraceCountZeroAfterThemTakesTheBinaryHeaders)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(Rev0File(3, 3, 2, true, 0))));
    EXPECT_EQ(in.FirstTraceOffset(), 3600 + 3 * 3200);
    EXPECT_EQ(SequenceNumbers(in), (std::vector<int>{1, 2}));
}

// 30 records of 256 bytes from 3600 on; 6400 bytes are 25 of them, so the
// bytes after two extended headers' worth are whole records as well.
TEST_F(Rev0ExtendedHeaders, FileThatIsWholeTracesFrom3600StartsThereEvenIfAlsoAfterThem)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(Rev0File(2, 0, 30))));
    EXPECT_EQ(in.FirstTraceOffset(), 3600);
    EXPECT_EQ(in.FirstTraceFrom(), FirstTraceSource::Revision0ExtendedHeadersNotSkipped);
    EXPECT_EQ(SequenceNumbers(in).size(), 30u);
}

TEST_F(Rev0ExtendedHeaders, StayAtTheFileHeaderWhenNeitherStartGivesWholeTraces)
{
    // The last trace is cut short: from after the headers the file is no
    // whole number of records either.
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(Cut(Rev0File(2, 2, 3), 1))));
    EXPECT_EQ(in.FirstTraceOffset(), 3600);
    EXPECT_EQ(in.FirstTraceFrom(), FirstTraceSource::Revision0ExtendedHeadersNotSkipped);
}

TEST_F(Rev0ExtendedHeaders, NothingAfterThemIsNoTrace)
{
    // The file ends right after the headers: zero records are not "whole
    // records", and a count beyond the file's length is no reason to refuse it.
    for (const int declared : {2, 3, 32767}) {
        SCOPED_TRACE(declared);
        CSegyFileIn in;
        ASSERT_TRUE(in.Open(Save(Rev0File(declared, 2, 0))));
        EXPECT_EQ(in.FirstTraceOffset(), 3600);
        EXPECT_EQ(in.FirstTraceFrom(), FirstTraceSource::Revision0ExtendedHeadersNotSkipped);
    }
}

TEST_F(Rev0ExtendedHeaders, NoneOrANegativeCountLeavesTheFirstTraceAt3600)
{
    for (const int declared : {0, -1}) {
        SCOPED_TRACE(declared);
        CSegyFileIn in;
        ASSERT_TRUE(in.Open(Save(Rev0File(declared, 0, 2))));
        EXPECT_EQ(in.FirstTraceOffset(), 3600);
        EXPECT_EQ(in.FirstTraceFrom(), FirstTraceSource::FileHeader);
        EXPECT_EQ(SequenceNumbers(in), (std::vector<int>{1, 2}));
    }
}

TEST_F(Rev0ExtendedHeaders, RevisionOneFileSaysItFollowsItsHeaders)
{
    SegyBytes b = Rev0File(2, 2, 3);
    b.Put16(3500, 0x0100);
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(b)));
    EXPECT_EQ(in.FirstTraceOffset(), 3600 + 2 * 3200);
    EXPECT_EQ(in.FirstTraceFrom(), FirstTraceSource::ExtendedHeaders);
}

// segyio's multi-text.sgy: revision 0, four extended headers, one trace of
// one sample whose header says 0. It was read as no trace of 57,920 samples.
TEST_F(Rev0ExtendedHeaders, SegyioMultiTextFileGivesItsOneTrace)
{
    const std::string dir = test::SharedSegyDir();
    if (dir.empty())
        GTEST_SKIP() << "shared SEG-Y folder absent";
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(dir + "/segyio_multi-text.sgy"));
    EXPECT_EQ(in.FirstTraceOffset(), 3600 + 4 * 3200);
    EXPECT_EQ(in.GetSamples(), 1u);
    CSegyTrace trace;
    in.Read(trace, -1);
    ASSERT_FALSE(in.atEnd);
    EXPECT_EQ(trace.numSamples, 1u);
    in.Read(trace, -1);
    EXPECT_TRUE(in.atEnd);
}

} // namespace
} // namespace tessara
