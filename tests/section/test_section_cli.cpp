// tessara-cli section as a user runs it: on the shared real files every file
// gives a PNG or one clear line; the options' refusals; combine --quicklook.
#include "tests/support/child_process.h"
#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessara::test
{
namespace
{

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kCli = TESSARA_CLI_PATH;

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// PNG signature and the width and height of its IHDR chunk.
bool IsPng(const std::string& path, int& width, int& height)
{
    const std::vector<unsigned char> b = ReadFileBytes(path);
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (b.size() < 24 || !std::equal(std::begin(signature), std::end(signature), b.begin()))
        return false;
    width = Get32BE(b, 16);
    height = Get32BE(b, 20);
    return true;
}

class SectionCli : public ::testing::Test
{
protected:
    int Run(const std::vector<std::string>& args)
    {
        m_end = RunProgram(kCli, args, {.timeout = 120s});
        return m_end.code;
    }
    std::string Err() const { return m_end.err; }
    std::string Out() const { return m_end.out; }

    /// A small survey of `traces` IEEE traces of 300 samples, one a second.
    std::string WriteSurvey(const std::string& name, int traces, double amplitude = 1.0)
    {
        SegyBytes b;
        b.FileHeader(5, 300, 1000);
        for (int k = 0; k < traces; ++k) {
            b.TraceHeader(300, 1000);
            b.Trace32(4, k + 1);
            b.TraceTime(2003, 100, 10, k / 60, k % 60);
            std::vector<double> samples(300, 0.0);
            samples[static_cast<std::size_t>(50 + k % 200)] = amplitude;
            b.Samples(5, samples);
        }
        EXPECT_TRUE(b.WriteTo(m_tmp.File(name)));
        return m_tmp.File(name);
    }

    TempDir m_tmp;
    ChildEnd m_end;
};

TEST_F(SectionCli, EverySharedFileGivesAPictureOrOneClearLine)
{
    const std::string dir = SharedSegyDir();
    if (dir.empty())
        GTEST_SKIP() << "shared sample files absent";
    int pictures = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || name.ends_with(".md"))
            continue;
        const std::string png = m_tmp.File(name + ".png");
        const int code =
            Run({"section", e.path().string(), "-o", png, "--width", "400", "--height", "300"});
        int width = 0;
        int height = 0;
        if (code == 0) {
            ++pictures;
            EXPECT_TRUE(IsPng(png, width, height)) << name;
            EXPECT_EQ(width, 400) << name;
            EXPECT_EQ(height, 300) << name;
            EXPECT_EQ(Err(), "") << name;
        } else {
            EXPECT_EQ(code, 1) << name << ": " << Err();
            const std::string err = Err();
            EXPECT_EQ(err.rfind("tessara-cli: " + e.path().string() + ": ", 0), 0u) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_FALSE(fs::exists(png)) << name;
        }
    }
    EXPECT_GT(pictures, 20) << "most shared files are readable SEG-Y";
}

TEST_F(SectionCli, OptionsShapeThePictureAndBadValuesAreUsageErrors)
{
    const std::string in = WriteSurvey("in.sgy", 30);
    int width = 0;
    int height = 0;
    ASSERT_EQ(Run({"section",
                   in,
                   "-o",
                   m_tmp.File("a.png"),
                   "--width",
                   "640",
                   "--height",
                   "480",
                   "--gain",
                   "agc:20",
                   "--clip",
                   "95",
                   "--palette",
                   "seismic",
                   "--traces",
                   "5:25",
                   "--time",
                   "10:200"}),
              0)
        << Err();
    ASSERT_TRUE(IsPng(m_tmp.File("a.png"), width, height));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("b.png"), "--gain", "agc:0"}), 2);
    EXPECT_EQ(Err(), "tessara-cli: --gain agc:0: the AGC window must be 0 < MS <= 100000\n");
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("b.png"), "--traces", "9:3"}), 2);
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("b.png"), "--time", "5"}), 2);
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("b.png"), "--time", "1e300:1e301"}), 2);
    // A window far past the traces, and one thinner than a sample: no hang,
    // no picture of nothing.
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("b.png"), "--time", "9e6:9.9e6"}), 1);
    EXPECT_EQ(Err(),
              "tessara-cli: " + in +
                  ": --time: no sample of the traces shown lies in that window\n");
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("c.png"), "--time", "100:100.000001"}), 0)
        << Err();
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("b.png"), "--palette", "jet"}), 2);
    // 1 ms samples: a band from 500 Hz up holds nothing of them.
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("b.png"), "--bandpass", "500,600"}), 1);
    EXPECT_EQ(Err(),
              "tessara-cli: " + in +
                  ": --bandpass: the low corner is not below 500 Hz, the Nyquist frequency of "
                  "the traces shown\n");
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("c.png"), "--bandpass", "499.9,600"}), 0);
    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("b.png"), "--traces", "31:40"}), 1);
    EXPECT_EQ(Err(), "tessara-cli: " + in + ": --traces: the file has 30 traces\n");
    EXPECT_FALSE(fs::exists(m_tmp.File("b.png")));
}

// The picture's size and clip level at their limits: the sides 16..32768
// pixels, 100 million pixels in all, a clip percentile 0 < P <= 100 that is a
// number. A picture too small for axes is the cells alone, at the size asked.
// PNG data goes only under a name that says PNG, or says nothing.
struct LimitRow {
    const char* name;
    std::vector<std::string> args;
    int code;
    int width = 1600; // of the picture written, with code 0
    int height = 900;
    const char* output = "a.png";
};

class SectionLimits : public SectionCli, public ::testing::WithParamInterface<LimitRow>
{
};

TEST_P(SectionLimits, ExitCodeAndPictureSize)
{
    const LimitRow& row = GetParam();
    const std::string output = m_tmp.File(row.output);
    std::vector<std::string> args{"section", WriteSurvey("in.sgy", 30), "-o", output};
    args.insert(args.end(), row.args.begin(), row.args.end());
    ASSERT_EQ(Run(args), row.code) << Err();
    int width = 0;
    int height = 0;
    if (row.code != 0) {
        const std::string err = Err();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(fs::exists(output));
        return;
    }
    ASSERT_TRUE(IsPng(output, width, height));
    EXPECT_EQ(width, row.width);
    EXPECT_EQ(height, row.height);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries,
    SectionLimits,
    ::testing::Values(
        LimitRow{"Width15", {"--width", "15"}, 2},
        LimitRow{"Sixteen", {"--width", "16", "--height", "16"}, 0, 16, 16},
        LimitRow{"NoRoomForAxesDown", {"--width", "300", "--height", "149"}, 0, 300, 149},
        LimitRow{"Width32768", {"--width", "32768", "--height", "16"}, 0, 32768, 16},
        LimitRow{"Width32769", {"--width", "32769", "--height", "16"}, 2},
        LimitRow{"Height32769", {"--height", "32769", "--width", "16"}, 2},
        LimitRow{"Over100Megapixels", {"--width", "10001", "--height", "10000"}, 2},
        LimitRow{"ClipNan", {"--clip", "nan"}, 2},
        LimitRow{"ClipInf", {"--clip", "inf"}, 2},
        LimitRow{"ClipZero", {"--clip", "0"}, 2},
        LimitRow{"ClipOver100", {"--clip", "100.001"}, 2},
        LimitRow{"Clip100", {"--clip", "100", "--width", "200", "--height", "150"}, 0, 200, 150},
        LimitRow{"BandpassOneCorner", {"--bandpass", "5"}, 2},
        LimitRow{"BandpassCornersReversed", {"--bandpass", "40,5"}, 2},
        LimitRow{"BandpassLowPassPastNyquist",
                 {"--bandpass", "0,1000000", "--dc", "--width", "200", "--height", "150"},
                 0,
                 200,
                 150},
        LimitRow{"DepthSpeed299", {"--depth-axis", "299"}, 2},
        LimitRow{"DepthOfAWaterfall", {"--depth-axis", "1500", "--waterfall"}, 2},
        LimitRow{"WigglesOfAWaterfall", {"--wiggles", "only", "--waterfall"}, 2},
        LimitRow{"WigglesOverEnvelopeInDepth",
                 {"--wiggles", "over", "--palette", "envelope", "--depth-axis", "10000"},
                 0,
                 1600,
                 900},
        LimitRow{"JpegName", {}, 2, 0, 0, "a.jpg"},
        LimitRow{"PngInCapitals", {}, 0, 1600, 900, "A.PNG"},
        LimitRow{"NoExtension", {}, 0, 1600, 900, "picture"},
        LimitRow{"SoundSpeedWithoutWaterfall", {"--sound-speed", "1500"}, 2},
        LimitRow{"SoundSpeedOver2000", {"--waterfall", "--sound-speed", "2001"}, 2}),
    [](const ::testing::TestParamInfo<LimitRow>& p) { return std::string(p.param.name); });

TEST_F(SectionCli, NoPictureLeavesAnOldOneAsItWas)
{
    const std::string in = WriteSurvey("in.sgy", 5);
    {
        std::ofstream old(m_tmp.File("old.png"));
        old << "old";
    }
    EXPECT_EQ(Run({"section", m_tmp.File("missing.sgy"), "-o", m_tmp.File("old.png")}), 1);
    EXPECT_EQ(Err(), "tessara-cli: " + m_tmp.File("missing.sgy") + ": no such file\n");
    EXPECT_EQ(ReadText(m_tmp.File("old.png")), "old");

    EXPECT_EQ(Run({"section", in, "-o", m_tmp.File("no/such/folder.png")}), 1);
    EXPECT_EQ(
        Err().rfind("tessara-cli: " + in + ": cannot write " + m_tmp.File("no/such/folder.png"), 0),
        0u)
        << Err();
}

TEST_F(SectionCli, QuicklookBesideEachOutputNeverFailsTheJob)
{
    WriteSurvey("a.sgy", 40, 3.0);
    ASSERT_EQ(Run({"combine", "-o", m_tmp.File("out"), "--quicklook", m_tmp.File("a.sgy")}), 0)
        << Err();
    int pngs = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(m_tmp.File("out"))) {
        if (e.path().extension() != ".sgy")
            continue;
        fs::path png = e.path();
        png.replace_extension(".png");
        int width = 0;
        int height = 0;
        EXPECT_TRUE(IsPng(png.string(), width, height)) << png;
        EXPECT_NE(Out().find("Quicklook: " + png.string() + "\n"), std::string::npos) << Out();
        ++pngs;
    }
    EXPECT_EQ(pngs, 1);

    // A folder where the picture's name should be: the picture fails, the
    // job does not.
    fs::remove_all(m_tmp.File("out2"));
    ASSERT_EQ(Run({"combine", "-o", m_tmp.File("out2"), m_tmp.File("a.sgy")}), 0) << Err();
    std::string sgy;
    for (const fs::directory_entry& e : fs::directory_iterator(m_tmp.File("out2")))
        sgy = e.path().string();
    fs::path blocked = sgy;
    blocked.replace_extension(".png");
    fs::remove(sgy);
    fs::create_directory(blocked);
    EXPECT_EQ(Run({"combine", "-o", m_tmp.File("out2"), "--quicklook", m_tmp.File("a.sgy")}), 0)
        << Err();
    EXPECT_NE(
        Err().find("tessara-cli: " + blocked.string() + ": quicklook not written: cannot write"),
        std::string::npos)
        << Err();
    EXPECT_TRUE(fs::exists(sgy));
}

// A link planted at a quicklook's name is replaced by the picture, as one
// at the composite's name is by the composite; what it points to is the
// user's and stays as it was.
TEST_F(SectionCli, QuicklookReplacesALinkAtItsNameNotWhatItPointsTo)
{
    WriteSurvey("a.sgy", 40, 3.0);
    const std::string out = m_tmp.File("out");
    ASSERT_EQ(Run({"combine", "-o", out, m_tmp.File("a.sgy")}), 0) << Err();
    fs::path png;
    for (const fs::directory_entry& e : fs::directory_iterator(out))
        png = e.path();
    png.replace_extension(".png");
    {
        std::ofstream mine(m_tmp.File("mine.txt"));
        mine << "the user's file";
    }
    fs::create_symlink(m_tmp.File("mine.txt"), png);
    ASSERT_EQ(Run({"combine", "-o", out, "--quicklook", m_tmp.File("a.sgy")}), 0) << Err();
    EXPECT_FALSE(fs::is_symlink(png));
    int width = 0;
    int height = 0;
    EXPECT_TRUE(IsPng(png.string(), width, height));
    EXPECT_EQ(ReadText(m_tmp.File("mine.txt")), "the user's file");
}

} // namespace
} // namespace tessara::test
