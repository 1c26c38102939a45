// Processing of one trace for the picture alone, between decoding and the
// grid: the mean taken off, a zero-phase band-pass, automatic gain. Nothing
// here is ever written to a file.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace tessara
{

/// What is done to every trace before it is reduced, in this order: the
/// mean removed, the band passed, the gain evened out.
struct TraceProcessing {
    /// Subtract each trace's mean (a recorder's offset) before anything else.
    bool removeDc = false;
    /// Band-pass corners in Hz, 0 <= bandLowHz < bandHighHz; both 0: none.
    /// A lower corner of 0 passes everything below the upper one.
    double bandLowHz = 0.0;
    double bandHighHz = 0.0;
    /// AGC window in ms; 0: no AGC.
    double agcWindowMs = 0.0;

    [[nodiscard]] bool bBandPass() const { return bandHighHz > 0.0; }
    [[nodiscard]] bool bAny() const { return removeDc || bBandPass() || agcWindowMs > 0.0; }
};

/// The band-pass's gain at `hz`, the same at every trace length: 1 inside
/// the band, 1/2 at each corner, 0 far outside, with raised-cosine flanks
/// from lowHz/2 to 3 lowHz/2 and from 3 highHz/4 to 5 highHz/4, so that the
/// filter's response in time is short and does not ring. Flanks that meet
/// multiply. lowHz 0: no lower flank.
[[nodiscard]] double BandPassGain(double hz, double lowHz, double highHz);

/// Applies a TraceProcessing to traces one after another. Keeps the FFT
/// plans and buffers of the trace lengths met, so that a file of traces of
/// one length plans once. One per thread: plans are made under the
/// process's FFTW planner lock, but a processor is not to be shared.
class CTraceProcessor
{
public:
    explicit CTraceProcessor(const TraceProcessing& processing);
    ~CTraceProcessor();
    CTraceProcessor(const CTraceProcessor&) = delete;
    CTraceProcessor& operator=(const CTraceProcessor&) = delete;

    [[nodiscard]] bool bActive() const { return m_processing.bAny(); }
    /// Processes `samples` in place, spaced `intervalMs` (> 0; otherwise only
    /// the mean is removed). Samples that are not finite are left as they are
    /// and count as the trace's mean meanwhile. False, the samples untouched,
    /// when FFTW could not plan or allocate for this length.
    bool Process(std::span<double> samples, double intervalMs);
    /// The same for samples in single precision, as the grid holds them.
    bool Process(std::span<float> samples, double intervalMs);

private:
    struct Setup;
    template <typename T> bool ProcessSamples(std::span<T> samples, double intervalMs);
    /// Band-passes `samples` with `mean` (their finite samples') taken off
    /// before the transform.
    template <typename T>
    void BandPass(std::span<T> samples, double intervalMs, double mean, Setup& setup);
    Setup* SetupFor(std::size_t length);

    TraceProcessing m_processing;
    std::vector<std::unique_ptr<Setup>> m_setups;
    std::vector<double> m_scratch;
    std::vector<double> m_gained; ///< single-precision samples while AGC runs on them
};

} // namespace tessara
