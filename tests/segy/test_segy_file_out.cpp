// The SEG-Y writer, and reader-to-writer round trips in every format and both
// input byte orders. Expected output bytes come from the independent writer.
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"
#include "tests/segy/segy_test_files.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <ostream>

namespace tessara
{
namespace
{

using test::Get16BE;
using test::Get32BE;
using test::Ramp;
using test::ReadFileBytes;
using test::SegyBytes;

class SegyFileOutTest : public test::SegyFileTest
{
protected:
    /// Opens `name` and writes a file header declaring format `code`.
    std::string Start(const std::string& name, int code, std::uint16_t samples)
    {
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(m_out.Open(path));
        m_out.tapeHeader->binFormatCode = static_cast<std::int16_t>(code);
        m_out.SetFormat(code);
        m_out.SetSamples(samples);
        m_out.WriteHeader();
        return path;
    }
    CSegyFileOut m_out;
};

TEST_F(SegyFileOutTest, ByteCountIsTheSizeOfTheCurrentFile)
{
    EXPECT_TRUE(m_out.Open(m_dir.File("a.sgy")));
    EXPECT_EQ(m_out.byteCount, 0);
    m_out.tapeHeader->binFormatCode = 1;
    m_out.WriteHeader();
    EXPECT_EQ(m_out.byteCount, 3600);
    CSegyTrace trace(1000);
    m_out.Write(trace);
    EXPECT_EQ(m_out.byteCount, 7840);
    m_out.Close();
    EXPECT_FALSE(m_out.bHasFailed());
    EXPECT_EQ(std::filesystem::file_size(m_dir.File("a.sgy")), 7840u);

    EXPECT_TRUE(m_out.Open(m_dir.File("b.sgy")));
    EXPECT_EQ(m_out.byteCount, 0) << "a new file starts empty";
    m_out.Write(trace); // writes the file header first
    EXPECT_EQ(m_out.byteCount, 7840);
    EXPECT_EQ(m_out.traceCount, 2) << "counts on across files";
    m_out.Close();
    EXPECT_EQ(std::filesystem::file_size(m_dir.File("b.sgy")), 7840u);
}

TEST_F(SegyFileOutTest, HeaderCountDecidesHowManySamplesAreWritten)
{
    const std::string path = Start("short.sgy", 2, 10);
    CSegyTrace trace(8);
    for (int k = 0; k < 10; ++k)
        trace.samples[static_cast<std::size_t>(k)] = k + 1; // [8], [9] lie beyond numSamples
    trace.header->sampleCount = 10;
    m_out.Write(trace);
    trace.header->sampleCount = 3;
    m_out.Write(trace);
    m_out.Close();
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 3600u + 240 + 40 + 240 + 12);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(Get32BE(bytes, 3840 + 4 * static_cast<std::size_t>(k)), k < 8 ? k + 1 : 0);
    EXPECT_EQ(Get16BE(bytes, 3880 + 114), 3);
    EXPECT_EQ(Get32BE(bytes, 3880 + 240 + 8), 3);
}

TEST_F(SegyFileOutTest, WriteLeavesTheCallersTraceUnchanged)
{
    (void)Start("same.sgy", 1, 4);
    CSegyTrace trace(4);
    for (int k = 0; k < 240; ++k)
        reinterpret_cast<unsigned char*>(trace.header.get())[k] = static_cast<unsigned char>(k);
    trace.header->sampleCount = 4;
    trace.samples = {1.5, -2.25, 1e39, std::nan(""), 7, 8};
    const test::TraceImage before = test::Image(trace);
    m_out.Write(trace);
    const test::TraceImage after = test::Image(trace);
    EXPECT_EQ(after.header, before.header);
    EXPECT_EQ(after.samples[1], -2.25);
    EXPECT_TRUE(std::isnan(after.samples[3]));
}

TEST_F(SegyFileOutTest, SampleEncodingFollowsTheFormatCodeOfTheWrittenHeader)
{
    EXPECT_TRUE(m_out.Open(m_dir.File("five.sgy")));
    m_out.tapeHeader->binFormatCode = 5;
    m_out.SetFormat(3);
    m_out.WriteHeader();
    EXPECT_EQ(m_out.GetFormat(), 5);
    CSegyTrace trace(2);
    trace.samples[0] = -118.625;
    m_out.Write(trace);
    m_out.Close();
    const std::vector<unsigned char> bytes = ReadFileBytes(m_dir.File("five.sgy"));
    ASSERT_EQ(bytes.size(), 3600u + 240 + 8);
    EXPECT_EQ(static_cast<std::uint32_t>(Get32BE(bytes, 3840)), 0xC2ED4000u);
}

TEST_F(SegyFileOutTest, FormatEightWritesOneClippedByteEach)
{
    const std::string path = Start("eight.sgy", 8, 6);
    CSegyTrace trace(6);
    trace.samples = {200.0, -1.9, std::nan(""), -300.0, 5.5, -128.0, 0, 0};
    m_out.Write(trace);
    m_out.Close();
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 3600u + 240 + 6);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 3840, bytes.end()),
              (std::vector<unsigned char>{0x7F, 0xFF, 0x00, 0x80, 0x05, 0x80}));
    EXPECT_EQ(Get16BE(bytes, 3224), 8);
}

TEST_F(SegyFileOutTest, OpenFailureIsReported)
{
    EXPECT_FALSE(m_out.Open(m_dir.File("no/such/dir.sgy")));
    EXPECT_TRUE(m_out.bHasFailed());
    CSegyTrace trace(4);
    m_out.Write(trace);
    m_out.Close();
    EXPECT_TRUE(m_out.bHasFailed());
}

// A child process with a small file-size limit: writes past it fail with
// EFBIG (SIGXFSZ ignored), and the writer must notice.
TEST_F(SegyFileOutTest, WritePastTheFileSizeLimitIsReported)
{
    const std::string path = m_dir.File("limited.sgy");
    const test::ChildEnd end = test::RunInChild(
        [&] {
            CSegyFileOut out;
            if (!out.Open(path))
                return 2;
            out.tapeHeader->binFormatCode = 5;
            CSegyTrace trace(1000);
            for (int i = 0; i < 10; ++i)
                out.Write(trace);
            out.Close();
            return out.bHasFailed() ? 0 : 1;
        },
        {20000});
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.code, 0) << "the failed writes went unreported";
}

// One table for both input byte orders and every sample format: the same
// samples must decode equally from each, and the output must be exactly the
// big-endian file the independent writer makes, every carried byte included.
struct RoundTripCase {
    bool big;
    int code;
};
std::ostream& operator<<(std::ostream& os, const RoundTripCase& c)
{
    return os << (c.big ? "big" : "little") << "-endian code " << c.code;
}

SegyBytes RoundTripFile(bool big, int code)
{
    const std::vector<double> samples = {0, 1, -1, 100, -128, 127, 64, -7};
    SegyBytes b(big);
    b.FileHeader(code, 8, 250, "C 1 ROUND TRIP").Put32(3200, 0x01020304).Put16(3222, 8);
    for (std::size_t at = 3226; at < 3600; at += 2)
        b.Put16(at, static_cast<int>(at * 37));
    b.Put16(3504, 0); // an output never announces extended text headers
    for (int i = 0; i < 3; ++i) {
        b.TraceHeader(8, 250).TraceTime(2024, 60 + i, 1, 2, 3, 4).Trace32(4, i + 1);
        b.Trace16(28, -2).Trace16(70, -100).Trace32(72, -12345678).Trace16(88, 2);
        b.Trace32(36, 0x11223344).Trace16(178, 0x5566).Trace16(186, 0x7788);
        b.Put8(b.TraceHeaderOffset() + 180, 0xFE).Put8(b.TraceHeaderOffset() + 181, 0x99);
        // The standard's fields at 188-239, written in the file's byte order:
        // a little-endian input must come out with them big-endian.
        for (const int at : {188, 192, 196, 204, 218, 224, 232, 236})
            b.Trace32(static_cast<std::size_t>(at), 0x0A0B0C00 + at);
        for (const int at : {200, 202, 208, 210, 212, 214, 216, 222, 228, 230})
            b.Trace16(static_cast<std::size_t>(at), 0x0D00 + at);
        std::vector<double> mine = samples;
        mine[0] = i;
        b.Samples(code, mine);
    }
    return b;
}

class RoundTrip : public test::SegyFileTest, public ::testing::WithParamInterface<RoundTripCase>
{
};

TEST_P(RoundTrip, SamplesDecodeEquallyAndComeOutAsTheBigEndianFile)
{
    const RoundTripCase c = GetParam();
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(RoundTripFile(c.big, c.code))));
    EXPECT_EQ(in.swapBytes, c.big);
    EXPECT_EQ(in.GetFormat(), c.code);
    EXPECT_EQ(in.GetSamples(), 8u);
    EXPECT_EQ(in.GetSampleInterval(), 250);

    CSegyFileOut out;
    const std::string outPath = m_dir.File("out.sgy");
    ASSERT_TRUE(out.Open(outPath));
    *out.tapeHeader = *in.tapeHeader; // as the job makes an output from its input
    out.SetFormat(in.GetFormat());
    out.SetSamples(static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();
    CSegyTrace trace;
    for (int i = 0; i < 3; ++i) {
        in.Read(trace, -1);
        ASSERT_FALSE(in.atEnd);
        EXPECT_EQ(trace.samples[0], i);
        EXPECT_EQ(std::vector<double>(trace.samples.begin() + 1, trace.samples.begin() + 8),
                  (std::vector<double>{1, -1, 100, -128, 127, 64, -7}));
        EXPECT_EQ(trace.header->year, 2024);
        EXPECT_EQ(trace.header->dayOfYear, 60 + i);
        EXPECT_EQ(trace.header->sourceX, -12345678);
        EXPECT_EQ(trace.header->digitizerChannel, -2);
        out.Write(trace);
    }
    in.Read(trace, -1);
    EXPECT_TRUE(in.atEnd);
    out.Close();
    ASSERT_FALSE(out.bHasFailed());

    const std::vector<unsigned char> expected = RoundTripFile(true, c.code).Bytes();
    const std::vector<unsigned char> written = ReadFileBytes(outPath);
    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(written[i], expected[i]) << "first difference at byte " << i;
}

INSTANTIATE_TEST_SUITE_P(BothOrdersEveryFormat,
                         RoundTrip,
                         ::testing::Values(RoundTripCase{true, 1},
                                           RoundTripCase{true, 2},
                                           RoundTripCase{true, 3},
                                           RoundTripCase{true, 5},
                                           RoundTripCase{true, 8},
                                           RoundTripCase{false, 1},
                                           RoundTripCase{false, 2},
                                           RoundTripCase{false, 3},
                                           RoundTripCase{false, 5},
                                           RoundTripCase{false, 8}));

// Records longer than the writer's buffer and records of every size ending at
// any byte of it: the output must be the same bytes as the independent
// writer's image of the same traces, headers and samples in their places.
TEST_F(SegyFileOutTest, LongAndMixedLengthRecordsComeOutByteForByte)
{
    const std::vector<int> lengths{
        65535, 5, 40000, 4093, 65535, 30001, 1, 20000, 20000, 20000, 20000, 20000, 20000, 65535};
    SegyBytes b(true);
    // Both sample counts declared, as SetSamples writes them.
    b.FileHeader(5, 65535, 1000).Put16(3222, 65535);
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        const int ns = lengths[i];
        const int seq = static_cast<int>(i) + 1;
        b.TraceHeader(ns, 1000).Trace32(4, seq).Trace16(88, 1).Samples(5, Ramp(seq - 1, ns));
    }
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(b)));
    const std::string outPath = m_dir.File("out.sgy");
    ASSERT_TRUE(m_out.Open(outPath));
    *m_out.tapeHeader = *in.tapeHeader;
    m_out.SetFormat(in.GetFormat());
    m_out.SetSamples(static_cast<std::uint16_t>(in.GetSamples()));
    m_out.WriteHeader();
    CSegyTrace trace;
    std::int64_t bytes = 3600;
    for (const int ns : lengths) {
        in.Read(trace, -1);
        ASSERT_FALSE(in.atEnd);
        m_out.Write(trace);
        bytes += 240 + 4 * ns;
        EXPECT_EQ(m_out.byteCount, bytes);
    }
    m_out.Close();
    ASSERT_FALSE(m_out.bHasFailed());
    const std::vector<unsigned char> expected = b.Bytes();
    const std::vector<unsigned char> written = ReadFileBytes(outPath);
    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(written[i], expected[i]) << "first difference at byte " << i;
}

TEST_F(SegyFileOutTest, UnnormalisedIbmComesBackNormalised)
{
    SegyBytes b(true);
    b.FileHeader(1, 3, 1000).TraceHeader(3, 1000);
    b.Raw({0x42, 0x01, 0x00, 0x00, 0xC2, 0x76, 0xA0, 0x00, 0x40, 0x00, 0x00, 0x01});
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(b)));
    CSegyTrace trace;
    in.Read(trace, -1);
    ASSERT_FALSE(in.atEnd);
    const std::string path = Start("ibm.sgy", 1, 3);
    m_out.Write(trace);
    m_out.Close();
    const std::vector<unsigned char> bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 3600u + 240 + 12);
    EXPECT_EQ(static_cast<std::uint32_t>(Get32BE(bytes, 3840)), 0x41100000u); // 1.0
    EXPECT_EQ(static_cast<std::uint32_t>(Get32BE(bytes, 3844)), 0xC276A000u);
    EXPECT_EQ(static_cast<std::uint32_t>(Get32BE(bytes, 3848)), 0x3B100000u); // 16^-6
}

TEST_F(SegyFileOutTest, MarkVariableLengthRewritesOnlyTheFixedLengthFlag)
{
    m_out.tapeHeader->binFixedLengthFlag = 1;
    const std::string path = Start("mixed.sgy", 5, 4);
    CSegyTrace four(4);
    CSegyTrace six(6);
    four.samples[3] = 1.5;
    m_out.Write(four);
    m_out.Write(six);
    m_out.MarkVariableLength();
    m_out.Write(four); // writing goes on where it was
    m_out.Close();
    ASSERT_FALSE(m_out.bHasFailed());
    EXPECT_EQ(m_out.TracesOfOtherLength(), 1);

    const std::vector<unsigned char> b = ReadFileBytes(path);
    ASSERT_EQ(b.size(), 3600u + 3 * 240 + (4 + 6 + 4) * 4);
    EXPECT_EQ(Get16BE(b, 3502), 0);
    EXPECT_EQ(Get16BE(b, 3220), 4) << "the rest of the header as written";
    EXPECT_EQ(Get16BE(b, 3224), 5);
    EXPECT_EQ(Get16BE(b, 3600 + 114), 4);
    EXPECT_EQ(Get16BE(b, 3600 + 256 + 114), 6);
    const std::size_t third = 3600 + 256 + 264;
    EXPECT_EQ(Get16BE(b, third + 114), 4);
    EXPECT_EQ(Get32BE(b, third + 240 + 12), 0x3FC00000) << "1.5 as IEEE single";
    EXPECT_EQ(m_out.tapeHeader->binFixedLengthFlag, 0);
}

TEST_F(SegyFileOutTest, MarkVariableLengthBeforeTheHeaderIsWrittenReachesTheFile)
{
    const std::string path = m_dir.File("early.sgy");
    ASSERT_TRUE(m_out.Open(path));
    m_out.tapeHeader->binFormatCode = 1;
    m_out.tapeHeader->binFixedLengthFlag = 1;
    m_out.MarkVariableLength();
    m_out.Write(CSegyTrace(2));
    m_out.Close();
    ASSERT_FALSE(m_out.bHasFailed());
    EXPECT_EQ(Get16BE(ReadFileBytes(path), 3502), 0);
}

TEST_F(SegyFileOutTest, OutputNeverAnnouncesExtendedTextHeaders)
{
    m_out.tapeHeader->binRevision = 0x0100;
    m_out.tapeHeader->binExtendedHeaders = 3;
    const std::string path = Start("ext.sgy", 1, 2);
    m_out.Close();
    const std::vector<unsigned char> b = ReadFileBytes(path);
    EXPECT_EQ(Get16BE(b, 3504), 0);
    EXPECT_EQ(Get16BE(b, 3500), 0x0100);
    EXPECT_EQ(m_out.tapeHeader->binExtendedHeaders, 3) << "the caller's header is kept";
}

/// Reads the first trace of `file` through the reader, as the job does.
bool ReadFirstTrace(const SegyBytes& file, CSegyTrace& trace)
{
    test::TempDir dir;
    const std::string path = dir.File("in.sgy");
    CSegyFileIn reader;
    if (!file.WriteTo(path) || !reader.Open(path))
        return false;
    reader.Read(trace, -1);
    return !reader.atEnd;
}

// Bytes 188-239 of headers from little-endian files reached the big-endian
// output unreversed: inline 1 read as 16777216 by other programs. A fill
// trace that copies such a header must come out the same way.
TEST_F(SegyFileOutTest, LittleEndianHeaderTailIsWrittenBigEndianAlsoFromACopiedHeader)
{
    SegyBytes in(false);
    in.FileHeader(5, 2, 1000).TraceHeader(2, 1000).Trace16(88, 1);
    in.Trace32(188, 1).Trace32(192, 875).Trace32(196, -11037).Trace16(200, -10);
    in.Trace32(204, 0x01020304).Trace16(208, -3).Trace16(230, 6).Trace32(236, 0x0A0B0C0D);
    in.Samples(5, {1, 2});
    CSegyTrace trace;
    ASSERT_TRUE(ReadFirstTrace(in, trace));
    EXPECT_TRUE(trace.tailLittleEndian);
    EXPECT_EQ(trace.header->carried188[0], 1) << "in memory the bytes stay as in the file";

    CSegyTrace fill;
    fill.CopyHeaderFrom(trace);
    fill.ResizeZeroed(2);
    const std::string path = Start("tail.sgy", 5, 2);
    m_out.Write(trace);
    m_out.Write(fill);
    m_out.Close();
    ASSERT_FALSE(m_out.bHasFailed());
    EXPECT_EQ(trace.header->carried188[0], 1) << "the caller's trace is unchanged";

    const std::vector<unsigned char> b = ReadFileBytes(path);
    for (const std::size_t at : {std::size_t{3600}, std::size_t{3600 + 248}}) {
        EXPECT_EQ(Get32BE(b, at + 188), 1);
        EXPECT_EQ(Get32BE(b, at + 192), 875);
        EXPECT_EQ(Get32BE(b, at + 196), -11037);
        EXPECT_EQ(Get16BE(b, at + 200), -10);
        EXPECT_EQ(Get32BE(b, at + 204), 0x01020304);
        EXPECT_EQ(Get16BE(b, at + 208), -3);
        EXPECT_EQ(Get16BE(b, at + 230), 6);
        EXPECT_EQ(Get32BE(b, at + 236), 0x0A0B0C0D);
        EXPECT_EQ(Get16BE(b, at + 88), 1);
    }
}

TEST_F(SegyFileOutTest, BigEndianHeaderTailIsWrittenAsRead)
{
    SegyBytes in(true);
    in.FileHeader(5, 2, 1000).TraceHeader(2, 1000).Trace16(88, 1).Trace32(188, 1);
    in.Samples(5, {1, 2});
    CSegyTrace trace;
    ASSERT_TRUE(ReadFirstTrace(in, trace));
    EXPECT_FALSE(trace.tailLittleEndian);
    const std::string path = Start("tail.sgy", 5, 2);
    m_out.Write(trace);
    m_out.Close();
    EXPECT_EQ(Get32BE(ReadFileBytes(path), 3600 + 188), 1);
}

// A record written with another header, as the speed correction writes a
// recorded trace once or more with computed headers: the same bytes as Write
// of a trace that carries that header, wherever the samples come from.
struct WithHeaderCase {
    const char* name;
    bool bigEndian; // of the input
    int inFormat;
    int outFormat;
    int samples;
    bool fromStored;   // samples from the input's bytes, else the decoded ones
    int storedShortBy; // samples cut from the stored bytes: a refused record
};

std::ostream& operator<<(std::ostream& os, const WithHeaderCase& c)
{
    return os << c.name;
}

class WithHeader : public test::SegyFileTest, public ::testing::WithParamInterface<WithHeaderCase>
{
protected:
    std::string Start(CSegyFileOut& out, const std::string& name, int code, int samples)
    {
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(out.Open(path));
        out.tapeHeader->binFormatCode = static_cast<std::int16_t>(code);
        out.SetSamples(static_cast<std::uint16_t>(samples));
        out.WriteHeader();
        return path;
    }
    CSegyFileOut m_out;
};

TEST_P(WithHeader, WritesTheBytesOfWriteOfATraceCarryingTheHeader)
{
    const WithHeaderCase& c = GetParam();
    SegyBytes b(c.bigEndian);
    b.FileHeader(c.inFormat, c.samples, 1000);
    for (int i = 0; i < 2; ++i) {
        b.TraceHeader(c.samples, 1000).Trace32(4, i + 1).Trace16(88, 1);
        b.Trace32(188, 1000 + i).Trace16(200, -10).Trace32(236, 0x0A0B0C0D);
        b.Samples(c.inFormat, Ramp(i + 3, c.samples));
    }
    CSegyFileIn in;
    ASSERT_TRUE(in.Open(Save(b)));
    CSegyTrace first;
    in.Read(first, -1);
    CSegyTrace trace;
    StoredSamples stored = in.ReadStored(trace);
    ASSERT_FALSE(in.atEnd);
    in.DecodeStored(stored, trace);
    const std::size_t cut = stored.bytes.size() / static_cast<std::size_t>(c.samples) *
                            static_cast<std::size_t>(c.storedShortBy);
    stored.bytes = stored.bytes.first(stored.bytes.size() - cut);

    SegyHeaderType replaced = *trace.header;
    replaced.dayOfYear = 200;
    replaced.sourceX = -123456;
    replaced.carried188[44] = 0x5A; // byte 232, in the order of the input's tail
    CSegyTrace carrying;
    carrying.CopyHeaderFrom(trace);
    *carrying.header = replaced;
    carrying.samples = trace.samples;
    carrying.numSamples = trace.numSamples;

    // The first record leaves the buffer part full, so the record after it
    // starts inside it; the record is written twice, as a repeated one is.
    CSegyFileOut ref;
    const std::string refPath = Start(ref, "ref.sgy", c.outFormat, c.samples);
    ref.Write(first);
    ref.Write(carrying);
    ref.Write(carrying);
    ref.Write(first);
    ref.Close();
    ASSERT_FALSE(ref.bHasFailed());

    const std::string path = Start(m_out, "with.sgy", c.outFormat, c.samples);
    m_out.Write(first);
    const std::int64_t before = m_out.byteCount;
    const StoredSamples* from = c.fromStored ? &stored : nullptr;
    m_out.WriteWithHeader(trace, replaced, from);
    if (c.storedShortBy > 0) {
        EXPECT_TRUE(m_out.bHasFailed());
        EXPECT_EQ(m_out.byteCount, before) << "a refused record writes nothing";
        EXPECT_EQ(m_out.traceCount, 1);
        return;
    }
    m_out.WriteWithHeader(trace, replaced, from);
    m_out.Write(first);
    m_out.Close();
    ASSERT_FALSE(m_out.bHasFailed());
    EXPECT_EQ(trace.header->dayOfYear, first.header->dayOfYear) << "the trace is not changed";

    const std::vector<unsigned char> expected = ReadFileBytes(refPath);
    const std::vector<unsigned char> written = ReadFileBytes(path);
    ASSERT_EQ(written.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(written[i], expected[i]) << "first difference at byte " << i;
    const auto second = static_cast<std::size_t>(before);
    EXPECT_EQ(Get16BE(written, second + 158), 200);
    EXPECT_EQ(Get32BE(written, second + 72), -123456);
    EXPECT_EQ(Get32BE(written, second + 188), 1001);
    EXPECT_EQ(Get32BE(written, second + 236), 0x0A0B0C0D);
}

// 40000 four-byte samples make a record larger than the writer's buffer.
INSTANTIATE_TEST_SUITE_P(
    StoredAndDecoded,
    WithHeader,
    ::testing::Values(WithHeaderCase{"PassedThrough", true, 5, 5, 8, true, 0},
                      WithHeaderCase{"PassedThroughReversed", false, 5, 5, 8, true, 0},
                      WithHeaderCase{"IbmConverted", true, 1, 5, 8, true, 0},
                      WithHeaderCase{"LittleEndianInt16Converted", false, 3, 1, 8, true, 0},
                      WithHeaderCase{"FromDecodedSamples", false, 2, 5, 8, false, 0},
                      WithHeaderCase{"LargerThanTheBuffer", true, 5, 5, 40000, true, 0},
                      WithHeaderCase{"LargerThanTheBufferConverted", false, 2, 1, 40000, true, 0},
                      WithHeaderCase{"LargerThanTheBufferDecoded", true, 1, 5, 40000, false, 0},
                      WithHeaderCase{"StoredOneSampleShort", true, 5, 5, 8, true, 1},
                      WithHeaderCase{"ConvertedStoredOneSampleShort", false, 3, 5, 8, true, 1}),
    [](const ::testing::TestParamInfo<WithHeaderCase>& p) { return std::string(p.param.name); });

} // namespace
} // namespace tessara
