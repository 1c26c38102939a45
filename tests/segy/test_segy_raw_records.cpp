// Header-only and raw reads, positioning by byte offset, and raw writes: the
// speed correction reads a composite's headers without its samples and copies
// records without decoding them.
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "tests/segy/segy_test_files.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessara
{
namespace
{

using test::Ramp;
using test::ReadFileBytes;
using test::SegyBytes;

class RawRecords : public test::SegyFileTest, public ::testing::WithParamInterface<bool>
{
protected:
    // Records shorter and longer than the reader's buffer (128 KiB), in the
    // byte order of the parameter, and the byte offset of each.
    std::string Mixed(std::vector<std::int64_t>& offsets)
    {
        SegyBytes b(GetParam());
        b.FileHeader(5, 10, 1000);
        const std::vector<int> lengths{10, 40000, 3, 33000, 7};
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            offsets.push_back(static_cast<std::int64_t>(b.Bytes().size()));
            b.TraceHeader(lengths[i], 1000)
                .Trace32(4, static_cast<int>(i) + 1)
                .Trace16(88, 2)
                .Samples(5, Ramp(static_cast<int>(i), lengths[i]));
        }
        // An incomplete record at the end: no header of it is delivered.
        b.TraceHeader(50, 1000).Trace32(4, 99).Samples(5, Ramp(9, 20));
        return Save(b);
    }
};

TEST_P(RawRecords, HeadersComeWithTheirOffsetsAndTheCutRecordIsNotDelivered)
{
    std::vector<std::int64_t> offsets;
    const std::string path = Mixed(offsets);
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(path));
    SegyHeaderType h{};
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        EXPECT_EQ(in.GetPosition(), offsets[i]) << i;
        in.ReadHeader(h);
        ASSERT_FALSE(in.atEnd) << i;
        EXPECT_EQ(h.traceSequenceFile, static_cast<int>(i) + 1);
    }
    in.ReadHeader(h);
    EXPECT_TRUE(in.atEnd);
    EXPECT_EQ(h.traceSequenceFile, 5); // left as it was
}

TEST_P(RawRecords, RawSamplesAreTheFileBytesAtAnyPosition)
{
    std::vector<std::int64_t> offsets;
    const std::string path = Mixed(offsets);
    const std::vector<unsigned char> file = ReadFileBytes(path);
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(path));
    SegyHeaderType h{};
    for (std::size_t i : {3u, 1u, 4u, 0u, 2u}) {
        ASSERT_TRUE(in.SetPosition(offsets[i]));
        const std::span<const unsigned char> raw = in.ReadRaw(h);
        ASSERT_FALSE(in.atEnd) << i;
        EXPECT_EQ(h.traceSequenceFile, static_cast<int>(i) + 1);
        const auto from = file.begin() + offsets[i] + 240;
        EXPECT_TRUE(std::equal(raw.begin(), raw.end(), from, from + h.sampleCount * 4)) << i;
        EXPECT_EQ(raw.size(), static_cast<std::size_t>(h.sampleCount) * 4) << i;
    }
    EXPECT_FALSE(in.SetPosition(-1));
    ASSERT_TRUE(in.SetPosition(static_cast<std::int64_t>(file.size()) + 1000));
    (void)in.ReadRaw(h);
    EXPECT_TRUE(in.atEnd);
}

TEST_P(RawRecords, RawCopyOfABigEndianFileIsByteForByte)
{
    std::vector<std::int64_t> offsets;
    const std::string path = Mixed(offsets);
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(path));
    CSegyFileOut out;
    const std::string copy = m_dir.File("copy.sgy");
    ASSERT_TRUE(out.Open(copy));
    out.StartLike(in, static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();
    SegyHeaderType h{};
    CSegyTrace trace;
    for (;;) {
        if (GetParam()) {
            const std::span<const unsigned char> raw = in.ReadRaw(h);
            if (in.atEnd)
                break;
            out.WriteRaw(h, raw);
        } else {
            in.Read(trace, -1); // the other byte order must be re-encoded
            if (in.atEnd)
                break;
            out.Write(trace);
        }
    }
    out.Close();
    EXPECT_FALSE(out.bHasFailed());
    const std::vector<unsigned char> original = ReadFileBytes(path);
    const std::vector<unsigned char> copied = ReadFileBytes(copy);
    ASSERT_EQ(copied.size(), static_cast<std::size_t>(offsets.back()) + 240 + 7 * 4);
    if (GetParam()) {
        EXPECT_TRUE(std::equal(copied.begin() + 3600, copied.end(), original.begin() + 3600));
    }
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, RawRecords, ::testing::Bool(), [](const auto& p) {
    return std::string(p.param ? "BigEndian" : "LittleEndian");
});

class RawWrite : public test::SegyFileTest
{
};

TEST_F(RawWrite, WrongByteCountFailsAndWritesNothing)
{
    CSegyFileOut out;
    ASSERT_TRUE(out.Open(m_dir.File("out.sgy")));
    out.SetFormat(5);
    out.WriteHeader();
    SegyHeaderType h{};
    h.sampleCount = 4;
    const std::vector<unsigned char> three(12, 0);
    out.WriteRaw(h, three);
    EXPECT_TRUE(out.bHasFailed());
    EXPECT_EQ(out.byteCount, 3600);
}

} // namespace
} // namespace tessara
