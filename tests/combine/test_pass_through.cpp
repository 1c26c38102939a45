// Samples copied rather than converted: on generated surveys of every format
// and both byte orders, with the words that do not survive a conversion
// planted among ordinary ones, the job writes the same bytes either way.
#include "segy/io/segy_file_out.h"
#include "tests/combine/combine_test_support.h"
#include "tools/synth/synth_survey.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;

struct SurveyCase {
    const char* name;
    int format;
    bool bigEndian;
    /// Host-order sample words planted into some traces.
    std::vector<std::uint32_t> words;
};

int BytesPerSample(int format)
{
    return format == 3 ? 2 : format == 8 ? 1 : 4;
}

// Writes `word` as sample `j` of trace `k` of `path`, in the file's byte order.
void Plant(const fs::path& path, const SurveyCase& c, int samples, int k, int j, std::uint32_t word)
{
    const int bytes = BytesPerSample(c.format);
    const std::int64_t at = 3600 + static_cast<std::int64_t>(k) * (240 + samples * bytes) + 240 +
                            static_cast<std::int64_t>(j) * bytes;
    unsigned char out[4];
    for (int b = 0; b < bytes; ++b) {
        const int shift = 8 * (c.bigEndian ? bytes - 1 - b : b);
        out[b] = static_cast<unsigned char>(word >> shift);
    }
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(at);
    f.write(reinterpret_cast<const char*>(out), bytes);
}

std::map<std::string, std::string> Outputs(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const std::string& name : FilesIn(dir)) {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        files[name] = {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    return files;
}

class PassThroughTest : public CombineJobTest, public ::testing::WithParamInterface<SurveyCase>
{
protected:
    ~PassThroughTest() override { CSegyFileOut::SetPassThrough(true); }

    // Three files of 30 traces; the planted words sit at the start, in the
    // middle and in the last block of a 700-sample trace (whole blocks and a
    // tail), in two traces of each file.
    void WriteSurvey(const SurveyCase& c, int firstSequence, int hour)
    {
        synth::SurveyOptions o;
        o.outDir = m_in;
        o.fileCount = 3;
        o.tracesPerFile = 30;
        o.samplesPerTrace = 700;
        o.formatCode = c.format;
        o.bigEndian = c.bigEndian;
        o.firstSequence = firstSequence;
        o.hour = hour;
        o.delayGlitchRate = 0.05; // a few dropped by the delay scan
        const synth::SurveyResult written = synth::WriteSurvey(o);
        ASSERT_TRUE(written.ok) << written.error;
        for (const synth::SynthFile& f : written.files) {
            for (const int k : {3, 20}) {
                for (std::size_t w = 0; w < c.words.size(); ++w) {
                    for (const int j : {0, 333, 690})
                        Plant(f.path, c, 700, k, j + static_cast<int>(w), c.words[w]);
                }
            }
            m_settings.input_files.push_back(f.path.string());
        }
    }

    std::map<std::string, std::string> RunWith(bool passThrough, const std::string& name)
    {
        CSegyFileOut::SetPassThrough(passThrough);
        const std::string dir = m_tmp.Path().string() + "/" + name;
        fs::create_directories(dir);
        CRecordingHost host;
        CCombineJob job(m_settings, host);
        EXPECT_EQ(job.Run(dir), CombineOutcome::Done);
        EXPECT_GT(job.Result().summary.traces_written, 0);
        return Outputs(dir);
    }
};

TEST_P(PassThroughTest, CopiedSamplesAreTheConvertedOnes)
{
    WriteSurvey(GetParam(), 1, 10);
    const auto reference = RunWith(false, "converted");
    ASSERT_FALSE(reference.empty());
    EXPECT_TRUE(RunWith(true, "copied") == reference);
}

TEST_P(PassThroughTest, InputsOfAnotherFormatAreConverted)
{
    // The output takes the first input's format; the second survey, in IEEE
    // or IBM, must be converted to it word by word.
    const SurveyCase& c = GetParam();
    WriteSurvey(c, 1, 10);
    SurveyCase other{"other", c.format == 5 ? 1 : 5, !c.bigEndian, {0x7F800001u, 0x00100000u}};
    WriteSurvey(other, 4, 11);
    const auto reference = RunWith(false, "converted");
    ASSERT_FALSE(reference.empty());
    EXPECT_TRUE(RunWith(true, "copied") == reference);
}

const std::vector<std::uint32_t> kIbmWords = {
    0x00000000u,
    0x80000000u, // zeros: pass
    0x41000000u,
    0xC2000000u, // zero fractions with an exponent: become 0
    0x40100000u,
    0x41010000u, // not normalised
    0x22100000u,
    0x20100001u, // the lowest exponent that passes; a value below single precision
    0x60FFFFFFu,
    0x61100000u, // the highest that passes, and above
    0x7FFFFFFFu,
    0x00000001u, // beyond single precision
};
const std::vector<std::uint32_t> kIeeeWords = {
    0x7F800001u,
    0xFFBFFFFFu,
    0x7FA00000u, // signalling NaNs
    0x7FC00000u,
    0x7F800000u,
    0xFF800000u, // quiet NaN, infinities
    0x80000000u,
    0x00000001u,
    0x807FFFFFu, // negative zero, denormals
};
const std::vector<std::uint32_t> kInt32Words = {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu};

INSTANTIATE_TEST_SUITE_P(
    EveryFormat,
    PassThroughTest,
    ::testing::Values(SurveyCase{"ibm_big", 1, true, kIbmWords},
                      SurveyCase{"ibm_little", 1, false, kIbmWords},
                      SurveyCase{"ieee_big", 5, true, kIeeeWords},
                      SurveyCase{"ieee_little", 5, false, kIeeeWords},
                      SurveyCase{"int32_big", 2, true, kInt32Words},
                      SurveyCase{"int32_little", 2, false, kInt32Words},
                      SurveyCase{"int16_big", 3, true, {0x8000u, 0x7FFFu, 0xFFFFu}},
                      SurveyCase{"int16_little", 3, false, {0x8000u, 0x7FFFu, 0xFFFFu}},
                      SurveyCase{"int8_big", 8, true, {0x80u, 0x7Fu, 0xFFu}},
                      SurveyCase{"int8_little", 8, false, {0x80u, 0x7Fu, 0xFFu}}),
    [](const ::testing::TestParamInfo<SurveyCase>& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessara::test
