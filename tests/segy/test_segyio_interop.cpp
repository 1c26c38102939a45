// segyio's C library as a second reader: the shared files read as segyio
// reads them, and what the writer makes of them reads in segyio as the input
// did (trace count, samples, the standard's fields at 188-239, no extended
// text headers, the fixed-length flag). Skips when the shared folder is absent.
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "tests/segy/segy_test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <segyio/segy.h>
#include <string>
#include <vector>

namespace tessara
{
namespace
{

/// One file as segyio sees it, big-endian bytes from either byte order.
class CSegyioFile
{
public:
    CSegyioFile(const std::string& path, bool littleEndian)
        : m_fp(segy_open(path.c_str(), "rb")), m_lsb(littleEndian ? SEGY_LSB : 0)
    {
        if (!m_fp)
            return;
        char bin[SEGY_BINARY_HEADER_SIZE];
        m_ok = segy_set_format(m_fp.get(), SEGY_IBM_FLOAT_4_BYTE | m_lsb) == SEGY_OK &&
               segy_binheader(m_fp.get(), bin) == SEGY_OK;
        if (!m_ok)
            return;
        std::memcpy(m_bin, bin, sizeof bin);
        m_format = segy_format(bin);
        m_samples = segy_samples(bin);
        m_trace0 = segy_trace0(bin);
        m_trsize = segy_trsize(m_format, m_samples);
        m_ok = m_trsize > 0 && segy_set_format(m_fp.get(), m_format | m_lsb) == SEGY_OK &&
               segy_traces(m_fp.get(), &m_traces, m_trace0, m_trsize) == SEGY_OK;
    }

    [[nodiscard]] bool Ok() const { return m_ok; }
    [[nodiscard]] int Traces() const { return m_traces; }
    [[nodiscard]] int Samples() const { return m_samples; }
    [[nodiscard]] long Trace0() const { return m_trace0; }
    [[nodiscard]] std::int32_t BinaryField(int field) const
    {
        std::int32_t v = 0;
        EXPECT_EQ(segy_get_bfield(m_bin, field, &v), SEGY_OK);
        return v;
    }
    [[nodiscard]] std::int32_t TraceField(int trace, int field)
    {
        char header[SEGY_TRACE_HEADER_SIZE];
        std::int32_t v = 0;
        EXPECT_EQ(segy_traceheader(m_fp.get(), trace, header, m_trace0, m_trsize), SEGY_OK);
        EXPECT_EQ(segy_get_field(header, field, &v), SEGY_OK);
        return v;
    }
    /// Trace `i`'s samples as numbers.
    [[nodiscard]] std::vector<double> Trace(int i)
    {
        std::vector<unsigned char> raw(static_cast<std::size_t>(m_trsize));
        std::vector<double> values;
        if (segy_readtrace(m_fp.get(), i, raw.data(), m_trace0, m_trsize) != SEGY_OK ||
            segy_to_native(m_format, m_samples, raw.data()) != SEGY_OK)
            return values;
        for (int k = 0; k < m_samples; ++k) {
            const unsigned char* p = raw.data() + static_cast<std::size_t>(k) * ElementBytes();
            values.push_back(Number(p));
        }
        return values;
    }

private:
    struct Close {
        void operator()(segy_file* fp) const { segy_close(fp); }
    };

    [[nodiscard]] std::size_t ElementBytes() const
    {
        return m_format == SEGY_SIGNED_SHORT_2_BYTE  ? 2
               : m_format == SEGY_SIGNED_CHAR_1_BYTE ? 1
                                                     : 4;
    }
    [[nodiscard]] double Number(const unsigned char* p) const
    {
        switch (m_format) {
        case SEGY_SIGNED_INTEGER_4_BYTE: {
            std::int32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
        case SEGY_SIGNED_SHORT_2_BYTE: {
            std::int16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        case SEGY_SIGNED_CHAR_1_BYTE:
            return static_cast<signed char>(*p);
        default: {
            float v;
            std::memcpy(&v, p, 4);
            return v;
        }
        }
    }

    std::unique_ptr<segy_file, Close> m_fp;
    int m_lsb;
    bool m_ok = false;
    char m_bin[SEGY_BINARY_HEADER_SIZE] = {};
    int m_format = 0;
    int m_samples = 0;
    long m_trace0 = 0;
    int m_trsize = 0;
    int m_traces = 0;
};

/// The standard's fields at 188-239 that segyio names.
constexpr int kTailFields[] = {SEGY_TR_INLINE,
                               SEGY_TR_CROSSLINE,
                               SEGY_TR_SHOT_POINT,
                               SEGY_TR_SHOT_POINT_SCALAR,
                               SEGY_TR_MEASURE_UNIT,
                               SEGY_TR_TRANSDUCTION_MANT,
                               SEGY_TR_TRANSDUCTION_EXP,
                               SEGY_TR_TRANSDUCTION_UNIT,
                               SEGY_TR_DEVICE_ID,
                               SEGY_TR_SCALAR_TRACE_HEADER,
                               SEGY_TR_SOURCE_TYPE,
                               SEGY_TR_SOURCE_ENERGY_DIR_MANT,
                               SEGY_TR_SOURCE_ENERGY_DIR_EXP,
                               SEGY_TR_SOURCE_MEASURE_MANT,
                               SEGY_TR_SOURCE_MEASURE_EXP,
                               SEGY_TR_SOURCE_MEASURE_UNIT,
                               SEGY_TR_UNASSIGNED1,
                               SEGY_TR_UNASSIGNED2};

class SegyioInterop : public test::SegyFileTest
{
protected:
    void SetUp() override
    {
        if (test::SharedSegyDir().empty())
            GTEST_SKIP() << "shared SEG-Y folder absent";
    }
    static std::string Shared(const std::string& name)
    {
        return test::SharedSegyDir() + "/" + name;
    }

    /// Copies `in` through the writer as the job starts an output from its
    /// input; `variableLength` marks the output before closing it.
    std::string Copy(CSegyFileIn& in, bool variableLength = false)
    {
        const std::string path = m_dir.File("copy.sgy");
        CSegyFileOut out;
        EXPECT_TRUE(out.Open(path));
        *out.tapeHeader = *in.tapeHeader;
        out.SetFormat(in.GetFormat());
        out.SetSamples(static_cast<std::uint16_t>(in.GetSamples()));
        out.WriteHeader();
        CSegyTrace trace;
        in.Rewind();
        for (in.Read(trace, -1); !in.atEnd; in.Read(trace, -1))
            out.Write(trace);
        if (variableLength)
            out.MarkVariableLength();
        out.Close();
        EXPECT_FALSE(out.bHasFailed());
        return path;
    }

    /// Every trace of `in` equals segyio's reading of the same file.
    static void ExpectSameTraces(CSegyFileIn& in, CSegyioFile& second)
    {
        CSegyTrace trace;
        in.Rewind();
        int i = 0;
        for (in.Read(trace, -1); !in.atEnd; in.Read(trace, -1), ++i) {
            ASSERT_LT(i, second.Traces());
            const std::vector<double> expected = second.Trace(i);
            ASSERT_EQ(trace.numSamples, expected.size()) << "trace " << i;
            for (std::size_t k = 0; k < expected.size(); ++k)
                ASSERT_EQ(trace.samples[k], expected[k]) << "trace " << i << " sample " << k;
        }
        EXPECT_EQ(i, second.Traces());
    }
};

struct SharedCase {
    const char* file;
    bool littleEndian;
};

class StaleTraceCount : public SegyioInterop, public ::testing::WithParamInterface<SharedCase>
{
};

// The f3 family says 75 samples in the binary header and 462 in every trace
// header; its length fits 414 traces of 75 samples.
TEST_P(StaleTraceCount, ReadsAsSegyioAndCopiesIntoAFileSegyioReadsTheSame)
{
    const SharedCase& c = GetParam();
    CSegyioFile second(Shared(c.file), c.littleEndian);
    ASSERT_TRUE(second.Ok());
    ASSERT_EQ(second.Traces(), 414);

    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Shared(c.file)));
    EXPECT_EQ(in.swapBytes, !c.littleEndian);
    EXPECT_EQ(in.CountSource(), SampleCountSource::BinaryHeaderFitsFileLength);
    EXPECT_EQ(in.GetSamples(), 75u);
    EXPECT_EQ(in.FirstTraceSamples(), 462u);
    EXPECT_EQ(in.traceCount, 414);
    ExpectSameTraces(in, second);

    CSegyioFile copy(Copy(in), false);
    ASSERT_TRUE(copy.Ok());
    EXPECT_EQ(copy.Traces(), 414);
    EXPECT_EQ(copy.Samples(), 75);
    ExpectSameTraces(in, copy);
    for (const int i : {0, 1, 200, 413}) {
        for (const int field : kTailFields)
            EXPECT_EQ(copy.TraceField(i, field), second.TraceField(i, field))
                << "trace " << i << " byte " << field;
    }
    EXPECT_EQ(copy.TraceField(0, SEGY_TR_INLINE), 111) << "not 111 << 24";
}

INSTANTIATE_TEST_SUITE_P(Shared,
                         StaleTraceCount,
                         ::testing::Values(SharedCase{"segyio_f3.sgy", false},
                                           SharedCase{"segyio_f3-lsb.sgy", true},
                                           SharedCase{"segyio_Format1msb.sgy", false},
                                           SharedCase{"segyio_Format1lsb.sgy", true},
                                           SharedCase{"segyio_Format2msb.sgy", false},
                                           SharedCase{"segyio_Format2lsb.sgy", true},
                                           SharedCase{"segyio_Format3lsb.sgy", true},
                                           SharedCase{"segyio_Format5msb.sgy", false},
                                           SharedCase{"segyio_Format5lsb.sgy", true},
                                           SharedCase{"segyio_Format8msb.sgy", false},
                                           SharedCase{"segyio_Format8lsb.sgy", true}),
                         [](const auto& param) {
                             std::string name = param.param.file;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// segyio's multi-text.sgy carries four extended text headers but says
// revision 0: only the file length shows they are there, and it does, so
// the trace is taken where segyio finds it.
TEST_F(SegyioInterop, ExtendedTextHeadersOfARevisionZeroFileThatShowsThemAreSkipped)
{
    const std::string path = Shared("segyio_multi-text.sgy");
    CSegyioFile second(path, false);
    ASSERT_TRUE(second.Ok());
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(path));
    EXPECT_EQ(in.FirstTraceOffset(), second.Trace0());
    EXPECT_EQ(in.traceCount, second.Traces());
    ExpectSameTraces(in, second);
}

// The same file called revision 1: its trace follows the headers by the
// standard's rule.
TEST_F(SegyioInterop, ExtendedTextHeadersOfARevisionOneFileAreSkipped)
{
    std::vector<unsigned char> bytes = test::ReadFileBytes(Shared("segyio_multi-text.sgy"));
    ASSERT_GT(bytes.size(), 3600u);
    bytes[3500] = 0x01; // revision 1.0, big-endian
    bytes[3501] = 0x00;
    const std::string path = m_dir.File("rev1.sgy");
    test::SegyBytes image(true);
    image.MutableBytes() = bytes;
    ASSERT_TRUE(image.WriteTo(path));

    CSegyioFile second(path, false);
    ASSERT_TRUE(second.Ok());
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(path));
    EXPECT_EQ(in.FirstTraceOffset(), second.Trace0());
    EXPECT_EQ(in.FirstTraceOffset(), 3600 + 4 * 3200);
    EXPECT_EQ(in.traceCount, second.Traces());
    ExpectSameTraces(in, second);

    CSegyioFile copy(Copy(in), false);
    ASSERT_TRUE(copy.Ok());
    EXPECT_EQ(copy.BinaryField(SEGY_BIN_EXT_HEADERS), 0);
    EXPECT_EQ(copy.Trace0(), 3600);
    ExpectSameTraces(in, copy);
}

TEST_F(SegyioInterop, VariableLengthOutputSaysSoInItsFixedLengthFlag)
{
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Shared("segyio_f3.sgy")));
    CSegyioFile fixed(Copy(in), false);
    ASSERT_TRUE(fixed.Ok());
    EXPECT_EQ(fixed.BinaryField(SEGY_BIN_TRACE_FLAG), 1) << "f3.sgy says fixed length";

    CSegyioFile variable(Copy(in, true), false);
    ASSERT_TRUE(variable.Ok());
    EXPECT_EQ(variable.BinaryField(SEGY_BIN_TRACE_FLAG), 0);
    EXPECT_EQ(variable.Traces(), 414);
    ExpectSameTraces(in, variable);
}

} // namespace
} // namespace tessara
