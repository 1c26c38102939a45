// The channel preview: the channel fields of a file's first traces as the
// options dialog and the scan command show them.
#include "segy/tools/channel_preview.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessara::test
{
namespace
{

/// One trace of a preview fixture; the sequence number is k + 1.
struct PreviewTrace {
    int inEnsemble = 1;
    int traceIdCode = 1;
    int digitizer = 0;
    int samples = 4;
};

class ChannelPreviewTest : public ::testing::TestWithParam<bool>
{
protected:
    /// A file of `traces`, in the byte order of the test's parameter.
    std::string Write(const std::vector<PreviewTrace>& traces, int fileSamples = 4)
    {
        SegyBytes b(GetParam());
        b.FileHeader(3, fileSamples, 1000);
        for (std::size_t k = 0; k < traces.size(); ++k) {
            const PreviewTrace& t = traces[k];
            b.TraceHeader(t.samples, 1000);
            b.Trace32(4, static_cast<std::int64_t>(k) + 1);
            b.Trace32(24, t.inEnsemble);
            b.Trace16(28, t.traceIdCode);
            b.Put8(b.TraceHeaderOffset() + 180, t.digitizer);
            b.Put8(b.TraceHeaderOffset() + 200, 0x34); // 0x1234 least significant byte first
            b.Put8(b.TraceHeaderOffset() + 201, 0x12);
            const int n = t.samples == 0 ? fileSamples : t.samples;
            b.Samples(3, std::vector<double>(static_cast<std::size_t>(n), 1.0));
        }
        const std::string path = m_tmp.File("in.sgy");
        EXPECT_TRUE(b.WriteTo(path));
        return path;
    }

    TempDir m_tmp;
};

TEST_P(ChannelPreviewTest, ShowsEveryTraceOfAShortFile)
{
    const auto rows = ScanChannelPreview(Write(std::vector<PreviewTrace>(40)), 0, 0);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 40u);
    EXPECT_EQ(rows->front().fields[0], 1);
    EXPECT_EQ(rows->back().fields[0], 40);
}

TEST_P(ChannelPreviewTest, ShowsOnlyTheFirstHundredTraces)
{
    const auto rows = ScanChannelPreview(Write(std::vector<PreviewTrace>(500)), 0, 0);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 100u);
    EXPECT_EQ(rows->back().fields[0], 100) << "traces 1 to 100";
}

TEST_P(ChannelPreviewTest, FieldsOfEachColumn)
{
    std::vector<PreviewTrace> traces(3);
    traces[0] = {7, 258, -1, 4};
    traces[1] = {-70000, -2, 127, 6};
    traces[2] = {0, 25, -128, 0}; // a zero count: the reader takes the file's
    const auto rows = ScanChannelPreview(Write(traces), 200, 2);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 3u);
    const std::array<std::array<std::string, 6>, 3> want = {{
        {"1", "7", "258", "-1", "4660", "4"},
        {"2", "-70000", "-2", "127", "4660", "6"},
        {"3", "0", "25", "-128", "4660", "4"},
    }};
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(ChannelPreviewCells((*rows)[k]), want[k]) << "row " << k;
}

TEST_P(ChannelPreviewTest, OneByteAtTheDigitizerChannelIsUnsigned)
{
    std::vector<PreviewTrace> traces(1);
    traces[0].digitizer = -1;
    const auto rows = ScanChannelPreview(Write(traces), 180, 1);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ((*rows)[0].fields[3], -1);
    EXPECT_EQ((*rows)[0].userDefined, 255);
}

TEST_P(ChannelPreviewTest, TwoBytesAtTheTraceIdCodeGiveItsValue)
{
    std::vector<PreviewTrace> traces(2);
    traces[0].traceIdCode = 258;
    traces[1].traceIdCode = -3;
    const auto rows = ScanChannelPreview(Write(traces), 28, 2);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].userDefined, 258) << "held in host order after reading";
    EXPECT_EQ((*rows)[1].userDefined, -3);
}

TEST_P(ChannelPreviewTest, UserFieldWithoutValueLeavesItsCellEmpty)
{
    const std::string path = Write(std::vector<PreviewTrace>(2));
    for (const auto& [start, length] : {std::pair{200, 0}, {200, 3}, {239, 2}, {237, 4}}) {
        const auto rows = ScanChannelPreview(path, start, length);
        ASSERT_TRUE(rows.has_value());
        ASSERT_EQ(rows->size(), 2u);
        for (const ChannelPreviewRow& row : *rows) {
            EXPECT_FALSE(row.userDefined.has_value()) << start << "/" << length;
            EXPECT_EQ(ChannelPreviewCells(row)[4], "");
            EXPECT_EQ(ChannelPreviewCells(row)[5], "4");
        }
    }
}

TEST_P(ChannelPreviewTest, IncompleteLastTraceIsNotShown)
{
    const std::string path = Write(std::vector<PreviewTrace>(3));
    std::vector<unsigned char> bytes = ReadFileBytes(path);
    bytes.resize(bytes.size() - 1);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const auto rows = ScanChannelPreview(path, 0, 0);
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(rows->size(), 2u);
}

TEST_P(ChannelPreviewTest, FileWithoutTracesGivesNoRows)
{
    const auto rows = ScanChannelPreview(Write({}), 0, 0);
    ASSERT_TRUE(rows.has_value());
    EXPECT_TRUE(rows->empty());
}

INSTANTIATE_TEST_SUITE_P(ByteOrders,
                         ChannelPreviewTest,
                         ::testing::Bool(),
                         [](const auto& testInfo) {
                             return testInfo.param ? "BigEndian" : "LittleEndian";
                         });

TEST(ChannelPreview, UnreadableFilesGiveNothing)
{
    TempDir tmp;
    EXPECT_FALSE(ScanChannelPreview(tmp.File("missing.sgy"), 0, 0).has_value());
    EXPECT_FALSE(ScanChannelPreview(tmp.Path().string(), 0, 0).has_value()) << "a directory";
    SegyBytes b;
    b.FileHeader(4, 4, 1000); // format 4 is not read
    b.TraceHeader(4, 1000).Raw(std::vector<unsigned char>(16, 0));
    ASSERT_TRUE(b.WriteTo(tmp.File("format4.sgy")));
    EXPECT_FALSE(ScanChannelPreview(tmp.File("format4.sgy"), 0, 0).has_value());
}

TEST(ChannelPreview, ColumnTitlesKeepTheirBlanks)
{
    EXPECT_EQ(kChannelPreviewTitles[0], "Trace in Original Field Record (col 0)");
    EXPECT_EQ(kChannelPreviewTitles[1], "Trace in Ensemble" + std::string(6, ' ') + "(col 1)");
    EXPECT_EQ(kChannelPreviewTitles[2], "Trace Id Code (col 2)");
    EXPECT_EQ(kChannelPreviewTitles[3], "SE880/QELDIG Channel" + std::string(12, ' ') + "(col 3)");
    EXPECT_EQ(kChannelPreviewTitles[4], "User Defined (col 4)");
    EXPECT_EQ(kChannelPreviewTitles[5], "Number of Samples");
}

} // namespace
} // namespace tessara::test
