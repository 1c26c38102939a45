// The two FFT backends against each other, and cached FFT set-ups against
// per-call ones: the fast path may not change a single result.
#include "test_resample_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tessara::test
{
namespace
{

struct Job {
    std::size_t n;
    std::int16_t oldUs;
    double newUs;
};

/// Resamples noise of `job` with `resampler`; the values, or none on failure.
std::vector<double> Resampled(CTraceResampler& resampler, const Job& job, unsigned seed)
{
    CSegyTrace trace;
    FillTrace(trace, Noise(job.n, seed), job.oldUs);
    if (!resampler.Resample(trace, job.newUs))
        return {};
    return Values(trace);
}

/// A mix of survey lengths (5000 samples at 40 -> 83 us is m = 2409 =
/// 3 x 11 x 73; at 100 -> 83 us m = 6024 = 2^3 x 3 x 251) and small lengths
/// covering odd and even n and m, up and down. 20 distinct lengths exceed the
/// plan cache, so it must evict and rebuild on the way.
std::vector<Job> MixedJobs()
{
    std::vector<Job> jobs = {{5000, 40, 83.0}, {5000, 100, 83.0}, {2048, 50, 100.0}};
    const std::int16_t olds[] = {20, 40, 50, 83, 100, 125};
    const double news[] = {83.0, 50.0, 100.0, 41.0};
    for (std::size_t i = 0; i < 24; ++i)
        jobs.push_back({5 + (i * 37) % 301, olds[i % 6], news[(i / 6) % 4]});
    jobs.push_back({5000, 40, 83.0}); // back to the first lengths
    jobs.push_back({1, 100, 100.0});
    return jobs;
}

class BackendTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!IsFftBackendAvailable(FftBackend::Fftw))
            GTEST_SKIP() << "FFTW not compiled in";
    }
};

TEST_F(BackendTest, GslAndFftwAgreeWithin1e12OfTheLargestValue)
{
    CTraceResampler gsl(FftBackend::Gsl);
    CTraceResampler fftw(FftBackend::Fftw);
    unsigned seed = 10;
    for (const Job& job : MixedJobs()) {
        const std::vector<double> reference = Resampled(gsl, job, seed);
        const std::vector<double> fast = Resampled(fftw, job, seed);
        ++seed;
        ASSERT_FALSE(reference.empty()) << "n " << job.n;
        ASSERT_EQ(fast.size(), reference.size()) << "n " << job.n;
        const double tolerance = 1e-12 * MaxMagnitude(reference);
        for (std::size_t i = 0; i < reference.size(); ++i)
            ASSERT_NEAR(fast[i], reference[i], tolerance)
                << "n " << job.n << " -> " << reference.size() << ", sample " << i;
    }
}

class CachedVersusPerCallTest : public ::testing::TestWithParam<FftBackend>
{
};

TEST_P(CachedVersusPerCallTest, BitIdentical)
{
    if (!IsFftBackendAvailable(GetParam()))
        GTEST_SKIP() << "backend not compiled in";
    CTraceResampler cached(GetParam(), true);
    unsigned seed = 100;
    for (const Job& job : MixedJobs()) {
        CTraceResampler perCall(GetParam(), false);
        const std::vector<double> a = Resampled(cached, job, seed);
        const std::vector<double> b = Resampled(perCall, job, seed);
        ++seed;
        ASSERT_FALSE(a.empty());
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0)
            << "n " << job.n << " -> " << a.size();
    }
}

std::string BackendName(const ::testing::TestParamInfo<FftBackend>& backend)
{
    return backend.param == FftBackend::Gsl ? "Gsl" : "Fftw";
}

INSTANTIATE_TEST_SUITE_P(Backends,
                         CachedVersusPerCallTest,
                         ::testing::Values(FftBackend::Gsl, FftBackend::Fftw),
                         BackendName);

TEST(ResampleEntryPoints, TraceReSampleIsTheDefaultBackendPerCall)
{
    const Job job{5000, 40, 83.0};
    CTraceResampler perCall(DefaultFftBackend(), false);
    const std::vector<double> expected = Resampled(perCall, job, 7);

    CSegyTrace oneOff;
    FillTrace(oneOff, Noise(job.n, 7), job.oldUs);
    ASSERT_TRUE(oneOff.ReSample(job.newUs));
    CSegyTrace withResampler;
    FillTrace(withResampler, Noise(job.n, 7), job.oldUs);
    CTraceResampler cached;
    ASSERT_TRUE(withResampler.ReSample(job.newUs, cached));

    ASSERT_EQ(Values(oneOff).size(), expected.size());
    EXPECT_EQ(std::memcmp(Values(oneOff).data(), expected.data(), expected.size() * sizeof(double)),
              0);
    ASSERT_EQ(Values(withResampler).size(), expected.size());
    EXPECT_EQ(std::memcmp(
                  Values(withResampler).data(), expected.data(), expected.size() * sizeof(double)),
              0);
}

TEST(ResampleEntryPoints, UnavailableBackendFallsBackToGsl)
{
    EXPECT_TRUE(IsFftBackendAvailable(FftBackend::Gsl));
    EXPECT_TRUE(IsFftBackendAvailable(DefaultFftBackend()));
    CTraceResampler resampler(FftBackend::Fftw);
    EXPECT_EQ(resampler.Backend(),
              IsFftBackendAvailable(FftBackend::Fftw) ? FftBackend::Fftw : FftBackend::Gsl);
}

} // namespace
} // namespace tessara::test
