// Small helpers shared by the SEG-Y file tests: fixture files written by the
// independent byte writer, and a snapshot of a trace to prove it untouched.
#pragma once

#include "tests/support/segy_bytes.h"
#include "tests/support/temp_dir.h"
#include "trace/segy_trace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tessara::test
{

/// Samples of trace `i`: small integers, exact in every sample format
/// (one-byte integers included).
inline std::vector<double> Ramp(int i, int ns)
{
    std::vector<double> v(static_cast<std::size_t>(ns));
    for (int k = 0; k < ns; ++k)
        v[static_cast<std::size_t>(k)] = (i % 10) * 10 - 50 + k;
    return v;
}

/// `traces` traces of `ns` samples; trace i carries traceSequenceFile i + 1
/// and coordinateUnits 1, so no reader repair applies.
inline SegyBytes MakeFile(bool big, int format, int traces, int ns, int intervalUs = 1000)
{
    SegyBytes b(big);
    b.FileHeader(format, ns, intervalUs);
    for (int i = 0; i < traces; ++i)
        b.TraceHeader(ns, intervalUs).Trace32(4, i + 1).Trace16(88, 1).Samples(format, Ramp(i, ns));
    return b;
}

/// Everything a Read could change in a trace.
struct TraceImage {
    std::vector<unsigned char> header;
    std::vector<double> samples;
    std::uint32_t numSamples = 0;
    std::int32_t allocatedCount = 0;
    bool operator==(const TraceImage&) const = default;
};

inline TraceImage Image(const CSegyTrace& t)
{
    TraceImage image;
    if (t.header) {
        image.header.resize(240);
        std::memcpy(image.header.data(), t.header.get(), 240);
    }
    image.samples = t.samples;
    image.numSamples = t.numSamples;
    image.allocatedCount = t.allocatedCount;
    return image;
}

/// Fixture with a temporary directory for its files.
class SegyFileTest : public ::testing::Test
{
protected:
    std::string Save(const SegyBytes& bytes, const std::string& name = "in.sgy")
    {
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(bytes.WriteTo(path));
        return path;
    }
    TempDir m_dir;
};

} // namespace tessara::test
