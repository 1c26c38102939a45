// Shared pieces of the resampling tests: building traces and choosing backends.
#pragma once

#include "trace/resample.h"
#include "trace/segy_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace tessara::test
{

/// A trace holding `values` at `intervalUs`, with every other header byte set
/// to a recognisable pattern so that stray header writes show.
inline void FillTrace(CSegyTrace& trace, const std::vector<double>& values, std::int16_t intervalUs)
{
    trace.SetN(static_cast<std::uint32_t>(values.size()));
    auto* bytes = reinterpret_cast<unsigned char*>(trace.header.get());
    for (std::size_t i = 0; i < sizeof(SegyHeaderType); ++i)
        bytes[i] = static_cast<unsigned char>(0xA5 ^ i);
    trace.header->sampleCount = static_cast<std::uint16_t>(values.size());
    trace.header->sampleInterval = intervalUs;
    std::copy(values.begin(), values.end(), trace.samples.begin());
}

/// The first numSamples samples.
inline std::vector<double> Values(const CSegyTrace& trace)
{
    return {trace.samples.begin(), trace.samples.begin() + trace.numSamples};
}

/// Reproducible noise in [-1, 1]: broadband, so every spectrum element counts.
inline std::vector<double> Noise(std::size_t n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> values(n);
    for (double& v : values)
        v = uniform(generator);
    return values;
}

inline double MaxMagnitude(const std::vector<double>& values)
{
    double largest = 0.0;
    for (double v : values)
        largest = std::max(largest, std::abs(v));
    return largest;
}

/// A backend with or without cached plans.
struct ResamplerCase {
    FftBackend backend;
    bool cachePlans;
};

inline void PrintTo(const ResamplerCase& c, std::ostream* os)
{
    *os << (c.backend == FftBackend::Gsl ? "Gsl" : "Fftw")
        << (c.cachePlans ? " cached" : " per call");
}

inline std::string CaseName(const ::testing::TestParamInfo<ResamplerCase>& info)
{
    return std::string(info.param.backend == FftBackend::Gsl ? "Gsl" : "Fftw") +
           (info.param.cachePlans ? "Cached" : "PerCall");
}

inline std::vector<ResamplerCase> AllResamplerCases()
{
    return {{FftBackend::Gsl, true},
            {FftBackend::Gsl, false},
            {FftBackend::Fftw, true},
            {FftBackend::Fftw, false}};
}

} // namespace tessara::test
