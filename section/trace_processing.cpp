#include "section/trace_processing.h"

#include "section/section_grid.h"
#include "trace/fftw_planner.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>
#include <limits>
#include <numbers>
#include <type_traits>

namespace tessara
{
namespace
{

/// Plans of so many lengths at most: a file whose traces all differ in
/// length plans anew for each rather than piling plans up.
constexpr std::size_t kSetupsKept = 8;

/// 0 below `from`, 1 above `to`, a raised cosine between.
double RisingFlank(double hz, double from, double to)
{
    if (hz <= from)
        return 0.0;
    if (hz >= to)
        return 1.0;
    return 0.5 - 0.5 * std::cos(std::numbers::pi * (hz - from) / (to - from));
}

/// The smallest length >= `n` that FFTW's estimated plans transform fast:
/// 8 times a few factors of 3 and 5 (2^a 3^b 5^c, a >= 3, b + c <= 3).
/// Lengths of many 3s or 5s, or a prime, take twice as long or more.
std::size_t FastLength(std::size_t n)
{
    for (std::size_t m = std::max<std::size_t>(n, 8);; ++m) {
        std::size_t rest = m;
        int twos = 0;
        int others = 0;
        for (; rest % 2 == 0; rest /= 2)
            ++twos;
        for (const std::size_t p : {3u, 5u})
            for (; rest % p == 0; rest /= p)
                ++others;
        if (rest == 1 && twos >= 3 && others <= 3)
            return m;
    }
}

/// Whether `v` is finite, by one comparison rather than a classification.
template <typename T> bool IsFinite(T v)
{
    return std::fabs(v) <= std::numeric_limits<T>::max();
}

/// The mean of the finite samples, summed in double precision; 0 when
/// none is.
template <typename T> double FiniteMean(std::span<const T> samples)
{
    // Selects, not branches: this runs over every sample shown.
    double sum = 0.0;
    std::size_t count = 0;
    for (const T v : samples) {
        const bool finite = IsFinite(v);
        sum += finite ? static_cast<double>(v) : 0.0;
        count += finite ? 1 : 0;
    }
    return count == 0 ? 0.0 : sum / static_cast<double>(count);
}

struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};

struct PlanDestroy {
    void operator()(fftw_plan p) const
    {
        const std::lock_guard<std::mutex> lock(FftwPlannerMutex());
        fftw_destroy_plan(p);
    }
};

} // namespace

double BandPassGain(double hz, double lowHz, double highHz)
{
    const double f = std::fabs(hz);
    const double low = lowHz > 0.0 ? RisingFlank(f, 0.5 * lowHz, 1.5 * lowHz) : 1.0;
    const double high = 1.0 - RisingFlank(f, 0.75 * highHz, 1.25 * highHz);
    return low * high;
}

/// The plans and buffers of one trace length. The trace is padded with
/// zeros by a quarter of its length: the filter's short response at one
/// end then runs out in the padding instead of wrapping round to the other.
struct CTraceProcessor::Setup {
    std::size_t length = 0; ///< samples of the traces
    std::size_t padded = 0; ///< of the transform
    std::unique_ptr<double, FftwFree> real;
    std::unique_ptr<fftw_complex, FftwFree> spectrum;
    std::unique_ptr<fftw_plan_s, PlanDestroy> forward;
    std::unique_ptr<fftw_plan_s, PlanDestroy> inverse;
    double gainsIntervalMs = 0.0; ///< the sample interval `gains` were worked out for
    std::vector<double> gains;    ///< per bin, the 1/padded of the inverse included
};

CTraceProcessor::CTraceProcessor(const TraceProcessing& processing) : m_processing(processing) {}

CTraceProcessor::~CTraceProcessor() = default;

CTraceProcessor::Setup* CTraceProcessor::SetupFor(std::size_t length)
{
    for (const auto& s : m_setups)
        if (s->length == length)
            return s.get();
    // FFTW takes lengths as int.
    if (length > (std::size_t{1} << 28))
        return nullptr;
    auto s = std::make_unique<Setup>();
    s->length = length;
    s->padded = FastLength(length + length / 4);
    const auto padded = static_cast<int>(s->padded);
    s->real.reset(fftw_alloc_real(s->padded));
    s->spectrum.reset(fftw_alloc_complex(s->padded / 2 + 1));
    if (!s->real || !s->spectrum)
        return nullptr;
    {
        const std::lock_guard<std::mutex> lock(FftwPlannerMutex());
        s->forward.reset(
            fftw_plan_dft_r2c_1d(padded, s->real.get(), s->spectrum.get(), FFTW_ESTIMATE));
        s->inverse.reset(
            fftw_plan_dft_c2r_1d(padded, s->spectrum.get(), s->real.get(), FFTW_ESTIMATE));
    }
    if (!s->forward || !s->inverse)
        return nullptr;
    if (m_setups.size() >= kSetupsKept)
        m_setups.erase(m_setups.begin());
    m_setups.push_back(std::move(s));
    return m_setups.back().get();
}

template <typename T>
void CTraceProcessor::BandPass(std::span<T> samples, double intervalMs, double mean, Setup& s)
{
    const std::size_t n = samples.size();
    // The mean goes out before the zeros are padded on: left in, it would
    // make a step at each end that rings through the band. Unless DC
    // removal was asked for, it comes back as far as the band passes 0 Hz.
    double* real = s.real.get();
    for (std::size_t i = 0; i < n; ++i)
        real[i] = IsFinite(samples[i]) ? samples[i] - mean : 0.0;
    std::fill(real + n, real + s.padded, 0.0);
    fftw_execute(s.forward.get());
    // A real gain shifts no phase. Worked out once per length and interval:
    // a cosine per bin would cost as much as the transform.
    if (s.gainsIntervalMs != intervalMs || s.gains.empty()) {
        const double hzPerBin = 1000.0 / (intervalMs * static_cast<double>(s.padded));
        const double norm = 1.0 / static_cast<double>(s.padded); // FFTW does not normalise
        s.gains.resize(s.padded / 2 + 1);
        for (std::size_t k = 0; k < s.gains.size(); ++k)
            s.gains[k] = norm * BandPassGain(static_cast<double>(k) * hzPerBin,
                                             m_processing.bandLowHz,
                                             m_processing.bandHighHz);
        s.gainsIntervalMs = intervalMs;
    }
    fftw_complex* spectrum = s.spectrum.get();
    for (std::size_t k = 0; k < s.gains.size(); ++k) {
        spectrum[k][0] *= s.gains[k];
        spectrum[k][1] *= s.gains[k];
    }
    fftw_execute(s.inverse.get());
    const double meanKept =
        m_processing.removeDc
            ? 0.0
            : mean * BandPassGain(0.0, m_processing.bandLowHz, m_processing.bandHighHz);
    for (std::size_t i = 0; i < n; ++i)
        samples[i] = IsFinite(samples[i]) ? static_cast<T>(real[i] + meanKept) : samples[i];
}

bool CTraceProcessor::Process(std::span<double> samples, double intervalMs)
{
    return ProcessSamples(samples, intervalMs);
}

bool CTraceProcessor::Process(std::span<float> samples, double intervalMs)
{
    return ProcessSamples(samples, intervalMs);
}

template <typename T> bool CTraceProcessor::ProcessSamples(std::span<T> samples, double intervalMs)
{
    // Planned first: a length FFTW cannot take leaves the trace untouched.
    const bool bandPass = m_processing.bBandPass() && intervalMs > 0.0 && samples.size() > 1;
    Setup* setup = bandPass ? SetupFor(samples.size()) : nullptr;
    if (bandPass && setup == nullptr)
        return false;
    // One mean for both: the band-pass takes it off anyway.
    const double mean =
        m_processing.removeDc || setup != nullptr ? FiniteMean(std::span<const T>(samples)) : 0.0;
    if (setup != nullptr) {
        BandPass(samples, intervalMs, mean, *setup);
    } else if (m_processing.removeDc) {
        for (T& v : samples)
            v = static_cast<T>(v - mean);
    }
    if (!(intervalMs > 0.0))
        return true;
    if (m_processing.agcWindowMs > 0.0) {
        const int window = static_cast<int>(std::lround(m_processing.agcWindowMs / intervalMs));
        if constexpr (std::is_same_v<T, double>) {
            ApplyAgc(samples, window, m_scratch);
        } else {
            m_gained.assign(samples.begin(), samples.end());
            ApplyAgc(m_gained, window, m_scratch);
            std::transform(m_gained.begin(), m_gained.end(), samples.begin(), [](double v) {
                return static_cast<float>(v);
            });
        }
    }
    return true;
}

} // namespace tessara
