#include "resample.h"

#include "resample_engine.h"
#include "segy_trace.h"

#include <algorithm>
#include <cstddef>
#include <new>

namespace tessara
{

namespace
{

/// sampleInterval is a signed 16-bit field, microseconds.
constexpr std::int32_t kMinIntervalUs = 1;
constexpr std::int32_t kMaxIntervalUs = 32767;
/// sampleCount is an unsigned 16-bit field: a longer result could not be
/// described by its own header, and ReAllocate would size the storage for the
/// low 16 bits of the count only.
constexpr std::int32_t kMaxSampleCount = 65535;

} // namespace

#if !TESSARA_HAVE_FFTW
std::unique_ptr<detail::IResampleEngine> detail::MakeFftwEngine(bool /*cachePlans*/)
{
    return nullptr;
}
#endif

FftBackend DefaultFftBackend()
{
#if TESSARA_DEFAULT_FFT_FFTW
    return FftBackend::Fftw;
#else
    return FftBackend::Gsl;
#endif
}

bool IsFftBackendAvailable(FftBackend backend)
{
    switch (backend) {
    case FftBackend::Gsl:
        return true;
    case FftBackend::Fftw:
#if TESSARA_HAVE_FFTW
        return true;
#else
        return false;
#endif
    }
    return false;
}

CTraceResampler::CTraceResampler(FftBackend backend, bool cachePlans)
    : m_backend(IsFftBackendAvailable(backend) ? backend : FftBackend::Gsl)
{
    m_engine = m_backend == FftBackend::Fftw ? detail::MakeFftwEngine(cachePlans)
                                             : detail::MakeGslEngine(cachePlans);
}

CTraceResampler::~CTraceResampler() = default;

namespace
{

std::int32_t
ResampledCountOf(const SegyHeaderType& header, std::size_t samplesHeld, double newIntervalUs)
{
    const std::uint32_t n = header.sampleCount;
    if (n == 0 || n > samplesHeld)
        return 0;
    // A signed 16-bit field: 32768 us and above read as negative. The
    // comparisons are written so that a NaN new interval fails them too.
    const std::int32_t oldIntervalUs = header.sampleInterval;
    if (oldIntervalUs < kMinIntervalUs || !(newIntervalUs >= kMinIntervalUs) ||
        !(newIntervalUs <= kMaxIntervalUs))
        return 0;

    // Truncation toward zero: n = 1000 at 100 -> 83 us gives 1204.819 and
    // 1204 samples; the 0.819 of a sample is not represented.
    const double newCountExact =
        ResampledCountExact(n, static_cast<double>(oldIntervalUs), newIntervalUs);
    if (newCountExact >= static_cast<double>(kMaxSampleCount) + 1.0)
        return 0;
    return static_cast<std::int32_t>(newCountExact);
}

} // namespace

bool ResampleHeader(SegyHeaderType& header, std::size_t samplesHeld, double newIntervalUs)
{
    const std::int32_t m = ResampledCountOf(header, samplesHeld, newIntervalUs);
    if (m < 1)
        return false;
    header.sampleInterval = static_cast<std::int16_t>(static_cast<std::int32_t>(newIntervalUs));
    header.sampleCount = static_cast<std::uint16_t>(m);
    return true;
}

const double*
CTraceResampler::Compute(const CSegyTrace& from, double newIntervalUs, std::int32_t& m)
{
    if (!from.header || !m_engine)
        return nullptr;
    m = ResampledCountOf(
        *from.header, std::min<std::size_t>(from.numSamples, from.samples.size()), newIntervalUs);
    if (m < 1)
        return nullptr;
    return m_engine->Resample(
        from.samples.data(), from.header->sampleCount, static_cast<std::size_t>(m));
}

bool CTraceResampler::Store(const double* resampled,
                            std::int32_t m,
                            double newIntervalUs,
                            CSegyTrace& to)
{
    // Make room before the header changes, so that a failed allocation leaves
    // the trace as it was; ReAllocate then resizes within this capacity.
    try {
        to.samples.reserve(static_cast<std::size_t>(m) + 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    SegyHeaderType& header = *to.header;
    header.sampleInterval = static_cast<std::int16_t>(static_cast<std::int32_t>(newIntervalUs));
    header.sampleCount = static_cast<std::uint16_t>(m);
    to.ReAllocate(); // m + 2 values from here on
    std::copy(resampled, resampled + m, to.samples.begin());
    return true;
}

bool CTraceResampler::Resample(CSegyTrace& trace, double newIntervalUs)
{
    std::int32_t m = 0;
    const double* resampled = Compute(trace, newIntervalUs, m);
    return resampled != nullptr && Store(resampled, m, newIntervalUs, trace);
}

bool CTraceResampler::ResampleInto(const CSegyTrace& from, double newIntervalUs, CSegyTrace& to)
{
    std::int32_t m = 0;
    const double* resampled = Compute(from, newIntervalUs, m);
    if (resampled == nullptr)
        return false;
    try {
        to.samples.reserve(static_cast<std::size_t>(m) + 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    to.CopyHeaderFrom(from);
    return Store(resampled, m, newIntervalUs, to);
}

bool CSegyTrace::ReSample(double newIntervalUs)
{
    CTraceResampler resampler(DefaultFftBackend(), false);
    return resampler.Resample(*this, newIntervalUs);
}

bool CSegyTrace::ReSample(double newIntervalUs, CTraceResampler& resampler)
{
    return resampler.Resample(*this, newIntervalUs);
}

} // namespace tessara
