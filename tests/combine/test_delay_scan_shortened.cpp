// The delay scan's rewrite when the scanned file is cut short while it is
// copied: the copy gets no bytes from where the file now ends and must fail
// as a file that cannot be read back whole, by the kernel's copy or by plain
// reads, never retry for ever.
#include "combine/delay_scan.h"
#include "tests/combine/combine_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/segy_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

constexpr int kTraces = 2000;
constexpr int kRecordBytes = 240 + 2 * 4; // two IEEE samples

// 2000 traces at delay 100 but the last at 5000, which the scan removes:
// every kept record is copied as stored, in one range from byte 3600.
void WriteScannedFile(const std::string& path)
{
    SegyBytes b(true);
    b.FileHeader(5, 2, 1000, "C 1 SHORTENED");
    for (int k = 0; k < kTraces; ++k) {
        b.TraceHeader(2, 1000).Trace32(4, k + 1).Trace16(88, 1);
        b.Trace16(108, k + 1 == kTraces ? 5000 : 100).TraceTime(2003, 100, 10, 0, k % 60);
        b.Samples(5, {1.0 * k, 2.0 * k});
    }
    ASSERT_TRUE(b.WriteTo(path));
}

struct ShortenedCase {
    const char* name;
    bool kernel;         // copy_file_range first, or plain reads only
    std::int64_t keepTo; // bytes the file keeps when it is cut
};

void PrintTo(const ShortenedCase& c, std::ostream* os)
{
    *os << c.name;
}

class DelayScanShortened : public CombineJobTest,
                           public ::testing::WithParamInterface<ShortenedCase>
{
protected:
    void TearDown() override { SetDelayScanKernelCopy(true); }
};

enum : int {
    kAsExpected = 0,
    kNotCut = 10,
    kNotFailed = 11,
    kCopyBlamed = 12,
};

TEST_P(DelayScanShortened, FailsAsAFileThatCannotBeReadBackWhole)
{
    const ShortenedCase& c = GetParam();
    const std::string path = Out("SegyOut.sgy");
    const std::string copy = path + "NEW";
    WriteScannedFile(path);
    SetDelayScanKernelCopy(c.kernel);
    // The file is cut once the copy exists: the records counted are no
    // longer all there when they are copied.
    bool cut = false;
    m_host.onPump = [&] {
        if (!cut && fs::exists(copy)) {
            fs::resize_file(path, static_cast<std::uintmax_t>(c.keepTo));
            cut = true;
        }
    };
    // In a child with a deadline: a copy that retries for ever must fail the
    // test, not hang it.
    const ChildEnd end = RunInChild(
        [&] {
            const DelayScanResult r = ScanFileAndMeasureTraceDelayFrequencys(
                m_host, path, DelayHistogram{{100, kTraces - 1}, {5000, 1}});
            if (!cut)
                return static_cast<int>(kNotCut);
            if (!r.failed)
                return static_cast<int>(kNotFailed);
            if (r.copyFailed)
                return static_cast<int>(kCopyBlamed);
            return static_cast<int>(kAsExpected);
        },
        {.timeout = std::chrono::seconds(30)});
    ASSERT_FALSE(end.timedOut) << "the scan did not end";
    EXPECT_EQ(end.code, kAsExpected);
    EXPECT_FALSE(fs::exists(copy)) << "the incomplete copy must go";
    EXPECT_EQ(fs::file_size(path), static_cast<std::uintmax_t>(c.keepTo))
        << "the scanned file is left as it was cut";
}

INSTANTIATE_TEST_SUITE_P(
    DelayScan,
    DelayScanShortened,
    ::testing::Values(
        // Cut to its file header: the first copy gets no byte at all.
        ShortenedCase{"KernelNothingLeft", true, 3600},
        ShortenedCase{"PlainNothingLeft", false, 3600},
        // Cut inside trace 51: the copy gets 50 records and a part, then nothing.
        ShortenedCase{"KernelCutMidRecord", true, 3600 + 50 * kRecordBytes + 100},
        ShortenedCase{"PlainCutMidRecord", false, 3600 + 50 * kRecordBytes + 100}),
    [](const ::testing::TestParamInfo<ShortenedCase>& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessara::test
