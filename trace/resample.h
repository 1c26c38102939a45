// FFT resampling of traces to a new sample interval.
//
// Failure rule for everything here: a resampling that cannot be done returns
// false and leaves the trace (header and samples) exactly as it was.
#pragma once

#include "segy/format/segy_headers.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tessara
{

class CSegyTrace;

namespace detail
{
class IResampleEngine;
}

/// FFT backend used by a resampler.
enum class FftBackend {
    Gsl,  ///< GSL mixed-radix real FFT, the reference
    Fftw, ///< FFTW3 real-to-complex / complex-to-real, same results
};

/// The backend chosen at build time: FFTW when it was found, unless the build
/// asked for GSL (TESSARA_FFT=GSL).
[[nodiscard]] FftBackend DefaultFftBackend();
/// Whether `backend` was compiled in (GSL always is).
[[nodiscard]] bool IsFftBackendAvailable(FftBackend backend);

/// Samples of a trace of `n` samples at `oldIntervalUs` once resampled to
/// `newIntervalUs`, before truncation: n x (old / new), with the product
/// rounded as the resampler rounds it (1000 samples at 100 us give 1204.819
/// at 83 us).
[[nodiscard]] inline double
ResampledCountExact(std::uint32_t n, double oldIntervalUs, double newIntervalUs)
{
    return static_cast<double>(n) * (oldIntervalUs / newIntervalUs);
}

/// The same truncated toward zero (1204), and held to 0..2^32 - 1: the count
/// a file header states for traces of `n` samples that will be resampled.
[[nodiscard]] inline std::uint32_t
ResampledCount(std::uint32_t n, double oldIntervalUs, double newIntervalUs)
{
    const double exact = ResampledCountExact(n, oldIntervalUs, newIntervalUs);
    if (!(exact >= 0.0))
        return 0;
    if (exact >= static_cast<double>(UINT32_MAX))
        return UINT32_MAX;
    return static_cast<std::uint32_t>(exact);
}

/// The header Resample gives `header` (interval and count) without the
/// samples, for a trace holding `samplesHeld` samples: false, with `header`
/// unchanged, where Resample fails for a reason its header shows. Only the
/// FFT set-up or an allocation can make Resample fail where this succeeds.
[[nodiscard]] bool
ResampleHeader(SegyHeaderType& header, std::size_t samplesHeld, double newIntervalUs);

/// Resamples traces by cutting or zero-padding their half-complex spectrum.
/// Owned by the caller (for example one per combine job); it caches FFT plans
/// or wavetables for the last few lengths it met, so that the steady state
/// allocates nothing per trace. Both backends give the same values to within
/// rounding (about 1e-15 of the trace's largest magnitude), and a backend
/// gives bit-identical values cached or not.
/// One resampler serves one thread; resamplers on different threads may run
/// at once (FFTW plans are made under a process-wide lock).
class CTraceResampler
{
public:
    /// `backend` falls back to GSL when it was not compiled in (see
    /// Backend()). With `cachePlans` false every call makes and releases its
    /// own FFT set-ups, as a one-off resampling does.
    explicit CTraceResampler(FftBackend backend = DefaultFftBackend(), bool cachePlans = true);
    ~CTraceResampler();
    CTraceResampler(const CTraceResampler&) = delete;
    CTraceResampler& operator=(const CTraceResampler&) = delete;

    /// Resamples `trace` to `newIntervalUs` microseconds. With n = header
    /// sampleCount and the old interval = header sampleInterval (signed
    /// 16-bit, us): ratio r = old / new, m = trunc(n * r) new samples. The
    /// forward spectrum of length n keeps its half-complex layout indices in
    /// the spectrum of length m (zero above n, cut above m); the values are
    /// the band-limited interpolation scaled by n / m (no amplitude
    /// correction). Writes sampleInterval (trunc of `newIntervalUs`) and
    /// sampleCount = m, resizes through ReAllocate; no other header field
    /// changes. Returns false and leaves the trace unchanged when there is no
    /// header, n is 0 or exceeds the samples held, either interval lies
    /// outside 1..32767 us, m is 0 or above 65535 (the 16-bit sampleCount
    /// could not hold it), or an FFT set-up or allocation fails.
    [[nodiscard]] bool Resample(CSegyTrace& trace, double newIntervalUs);
    /// The same with `from` left as it is: `to` gets `from`'s header
    /// (CopyHeaderFrom) with the interval and count Resample would write, and
    /// the samples Resample would give. False, with `to` unchanged, where
    /// Resample would fail.
    [[nodiscard]] bool ResampleInto(const CSegyTrace& from, double newIntervalUs, CSegyTrace& to);

    /// The backend actually in use.
    [[nodiscard]] FftBackend Backend() const { return m_backend; }

private:
    /// The resampled samples of `from` in the engine's storage, and their
    /// count `m`; nullptr where Resample fails before touching the trace.
    [[nodiscard]] const double*
    Compute(const CSegyTrace& from, double newIntervalUs, std::int32_t& m);
    /// Puts the `m` samples at `resampled` into `to` as the trace's new
    /// samples at `newIntervalUs`; false, with `to` unchanged, when the room
    /// for them cannot be made.
    [[nodiscard]] static bool
    Store(const double* resampled, std::int32_t m, double newIntervalUs, CSegyTrace& to);

    FftBackend m_backend;
    std::unique_ptr<detail::IResampleEngine> m_engine;
};

} // namespace tessara
