// Faults the reader fuzz target (fuzz/fuzz_segy_file_in.cpp) found, each
// kept as a test named after its fault.
#include "segy/io/segy_file_in.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tessara
{
namespace
{

// Four constant-length traces of 10 IEEE samples, big-endian; trace k holds
// k + 1 in traceSequenceFile and in every sample.
std::string FourTraceFile(const test::TempDir& dir)
{
    test::SegyBytes b(true);
    b.FileHeader(5, 10, 100);
    for (int k = 0; k < 4; ++k) {
        b.TraceHeader(10, 100);
        b.Trace32(4, k + 1);
        b.Samples(5, std::vector<double>(10, k + 1.0));
    }
    const std::string path = dir.File("four.sgy");
    EXPECT_TRUE(b.WriteTo(path));
    return path;
}

class ReadByIndexFarPastTheEnd : public ::testing::TestWithParam<std::int64_t>
{
};

// An index whose byte offset overflowed, or that the system refused to seek
// to, left the stream where the last read ended, and the read delivered the
// next trace in sequence as if it were the trace asked for.
TEST_P(ReadByIndexFarPastTheEnd, DeliversNoTrace)
{
    test::TempDir dir;
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(FourTraceFile(dir)));
    ASSERT_TRUE(in.constantLength);
    CSegyTrace trace;
    in.Read(trace, -1); // trace 1; the stream now stands at trace 2
    ASSERT_FALSE(in.atEnd);

    in.Read(trace, GetParam());
    EXPECT_TRUE(in.atEnd);
    EXPECT_EQ(trace.header->traceSequenceFile, 1) << "the caller's trace must stay as it was";

    // Random access by a sensible index still works afterwards.
    in.Read(trace, 2);
    ASSERT_FALSE(in.atEnd);
    EXPECT_EQ(trace.header->traceSequenceFile, 3);
    EXPECT_EQ(trace.samples[9], 3.0);
}

INSTANTIATE_TEST_SUITE_P(Indices,
                         ReadByIndexFarPastTheEnd,
                         ::testing::Values(std::int64_t{1} << 40, // beyond any file system
                                           std::int64_t{1} << 60, // offset overflows
                                           std::numeric_limits<std::int64_t>::max()));

} // namespace
} // namespace tessara
