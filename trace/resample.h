// FFT resampling of traces to a new sample interval.
#pragma once

#include <cstdint>
#include <memory>

namespace tessara {

class CSegyTrace;

/// FFT backend used by a resampler.
enum class FftBackend {
    Gsl,  ///< GSL mixed-radix real FFT, the reference
    Fftw, ///< FFTW3 real-to-complex / complex-to-real, same results
};

/// The backend chosen at build time (FFTW when it was found).
[[nodiscard]] FftBackend DefaultFftBackend();
/// Whether `backend` was compiled in.
[[nodiscard]] bool IsFftBackendAvailable(FftBackend backend);

/// Resamples traces by cutting or zero-padding their half-complex spectrum.
/// Owned by the caller (for example one per combine job); it caches FFT plans
/// or wavetables per length so that the steady state allocates nothing per
/// trace. Not thread-safe.
class CTraceResampler {
public:
    explicit CTraceResampler(FftBackend backend = DefaultFftBackend(), bool cachePlans = true);
    ~CTraceResampler();
    CTraceResampler(const CTraceResampler&) = delete;
    CTraceResampler& operator=(const CTraceResampler&) = delete;

    /// Resamples `trace` to `newIntervalUs` microseconds: n = header
    /// sampleCount, ratio r = old / new interval, m = trunc(n * r) samples;
    /// values are the band-limited interpolation scaled by n / m (no
    /// amplitude correction). Writes sampleInterval and sampleCount; no other
    /// header field changes. Returns false and leaves the trace unchanged when
    /// n or m is 0, either interval lies outside 1..32767 us, or the FFT fails.
    [[nodiscard]] bool Resample(CSegyTrace& trace, double newIntervalUs);

    [[nodiscard]] FftBackend Backend() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tessara
