// Every shared sample file through reader and writer. A file that opens must
// survive the round trip: reading the output again gives the same file
// header, trace headers and samples (IBM words come back normalised, which
// leaves their values alone). Skips when the shared folder is absent.
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "tests/segy/segy_test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace tessara
{
namespace
{

std::vector<std::string> SharedFiles()
{
    std::vector<std::string> names;
    const std::string dir = test::SharedSegyDir();
    if (!dir.empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && ext != ".md")
                names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    if (names.empty())
        names.emplace_back(); // one case that skips
    return names;
}

// Files that must not open: an unsupported format code (10), and a Seismic
// Unix file with no file header, whose "format code" reads as 164.
const std::set<std::string> kUnreadable = {"obs02_wrong_data_format.seg", "obspy_1_first_trace.su"};

// Files that open but have no complete trace: extended textual headers of a
// revision-0 file that is cut short (broken) and trace headers claiming more
// samples than the file holds (decrement).
const std::set<std::string> kNoTraces = {
    "segyio_broken.sgy", "segyio_decrement.sgy", "segyio_decrement-lsb.sgy", "segyio_text.sgy"};

bool SameSample(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

class RealFile : public test::SegyFileTest, public ::testing::WithParamInterface<std::string>
{
};

TEST_P(RealFile, OpensAsExpectedAndSurvivesTheRoundTrip)
{
    if (GetParam().empty())
        GTEST_SKIP() << "shared SEG-Y folder absent";
    const std::string inPath = test::SharedSegyDir() + "/" + GetParam();
    CSegyFileIn in;
    const bool opened = in.Open(inPath);
    CSegyTrace trace;
    if (kUnreadable.count(GetParam()) != 0) {
        EXPECT_FALSE(opened);
        in.Read(trace, -1);
        EXPECT_TRUE(in.atEnd);
        return;
    }
    ASSERT_TRUE(opened);

    const std::string outPath = m_dir.File("out.sgy");
    CSegyFileOut out;
    ASSERT_TRUE(out.Open(outPath));
    *out.tapeHeader = *in.tapeHeader;
    out.SetFormat(in.GetFormat());
    out.SetSamples(static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();
    std::vector<SegyHeaderType> headers;
    std::vector<std::vector<double>> samples;
    for (in.Read(trace, -1); !in.atEnd; in.Read(trace, -1)) {
        // What the big-endian output must hold: bytes 188-239 of a header from
        // a little-endian file reversed by the standard's field widths.
        SegyHeaderType written = *trace.header;
        if (trace.tailLittleEndian)
            SwapHeaderTail(written);
        headers.push_back(written);
        samples.emplace_back(trace.samples.begin(), trace.samples.begin() + trace.numSamples);
        out.Write(trace);
    }
    out.Close();
    ASSERT_FALSE(out.bHasFailed());
    EXPECT_EQ(kNoTraces.count(GetParam()) != 0, headers.empty());

    CSegyFileIn again;
    ASSERT_TRUE(again.Open(outPath));
    EXPECT_TRUE(again.swapBytes);
    EXPECT_FALSE(again.textIsEbcdic);
    EXPECT_EQ(again.GetFormat(), in.GetFormat());
    EXPECT_EQ(again.GetSamples(), in.GetSamples());
    EXPECT_EQ(again.GetSampleInterval(), in.GetSampleInterval());
    EXPECT_EQ(std::memcmp(again.tapeHeader->textHeader, in.tapeHeader->textHeader, 3200), 0);
    SegyTapeHeaderType expected = *in.tapeHeader;
    expected.binOriginalSamplesPerTrace = static_cast<std::uint16_t>(in.GetSamples());
    expected.binExtendedHeaders = 0;
    EXPECT_EQ(std::memcmp(again.tapeHeader.get(), &expected, 3600), 0);
    std::size_t i = 0;
    for (again.Read(trace, -1); !again.atEnd; again.Read(trace, -1), ++i) {
        ASSERT_LT(i, headers.size());
        ASSERT_EQ(std::memcmp(trace.header.get(), &headers[i], 240), 0) << "trace " << i;
        ASSERT_EQ(trace.numSamples, samples[i].size());
        for (std::size_t k = 0; k < samples[i].size(); ++k)
            ASSERT_TRUE(SameSample(trace.samples[k], samples[i][k])) << "trace " << i << " " << k;
    }
    EXPECT_EQ(i, headers.size());
}

INSTANTIATE_TEST_SUITE_P(Shared,
                         RealFile,
                         ::testing::ValuesIn(SharedFiles()),
                         [](const ::testing::TestParamInfo<std::string>& file) {
                             std::string name = file.param.empty() ? "absent" : file.param;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             }
                             return name;
                         });

} // namespace
} // namespace tessara
