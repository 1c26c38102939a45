#include "section/trace_processing.h"

#include "section/section_grid.h"
#include "trace/fftw_planner.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// Two doubles at a time: compilers make vector code of these operators on
// any target, where the plain loops over a trace's samples below, with their
// selects, stay scalar at the default optimisation level. The operations are
// those of the scalar loops, lane by lane, so the results are the same. 16
// bytes, the baseline's registers: wider vectors passed between functions
// would differ between builds for different processors.
using Doubles [[gnu::vector_size(16)]] = double;
using Longs [[gnu::vector_size(16)]] = std::int64_t;
using Floats2 [[gnu::vector_size(8)]] = float;
using Ints2 [[gnu::vector_size(8)]] = std::int32_t;
constexpr std::size_t kLanes = 2;

Doubles Splat(double x)
{
    return Doubles{x, x};
}

Doubles LoadDoubles(const double* p)
{
    Doubles v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

Doubles LoadDoubles(const float* p)
{
    Floats2 f;
    std::memcpy(&f, p, sizeof f);
    return __builtin_convertvector(f, Doubles);
}

/// All ones in the lanes of `v` that are finite as a T, zeros elsewhere.
template <typename T> Longs FiniteLanes(Doubles v)
{
    const auto magnitude = reinterpret_cast<Doubles>(reinterpret_cast<Longs>(v) &
                                                     std::numeric_limits<std::int64_t>::max());
    return reinterpret_cast<Longs>(magnitude <= Splat(std::numeric_limits<T>::max()));
}

/// `v` where `mask` is set, +0 elsewhere.
Doubles Keep(Doubles v, Longs mask)
{
    return reinterpret_cast<Doubles>(reinterpret_cast<Longs>(v) & mask);
}

/// Stores `v` at `p`, rounded to T, in the lanes `mask` sets; the others keep
/// what `p` holds.
void StoreWhere(double* p, Doubles v, Longs mask)
{
    const Longs old = reinterpret_cast<Longs>(LoadDoubles(p));
    const Longs merged = (reinterpret_cast<Longs>(v) & mask) | (old & ~mask);
    std::memcpy(p, &merged, sizeof merged);
}

void StoreWhere(float* p, Doubles v, Longs mask)
{
    Ints2 old;
    std::memcpy(&old, p, sizeof old);
    const auto narrow = reinterpret_cast<Ints2>(__builtin_convertvector(v, Floats2));
    const auto lanes = __builtin_convertvector(mask, Ints2);
    const Ints2 merged = (narrow & lanes) | (old & ~lanes);
    std::memcpy(p, &merged, sizeof merged);
}

/// The mean of the finite samples, summed in double precision; 0 when
/// none is. Four running sums, added up at the end: one sum would wait for
/// the last addition at every sample.
template <typename T> double FiniteMean(std::span<const T> samples)
{
    const std::size_t n = samples.size();
    Doubles sums[2] = {Splat(0.0), Splat(0.0)};
    Longs counts = {};
    std::size_t i = 0;
    for (; i + 2 * kLanes <= n; i += 2 * kLanes) {
        for (std::size_t k = 0; k < 2; ++k) {
            const Doubles v = LoadDoubles(samples.data() + i + k * kLanes);
            const Longs finite = FiniteLanes<T>(v);
            sums[k] += Keep(v, finite);
            counts -= finite; // a set lane is -1
        }
    }
    double sum = (sums[0][0] + sums[0][1]) + (sums[1][0] + sums[1][1]);
    auto count = static_cast<std::size_t>(counts[0] + counts[1]);
    for (; i < n; ++i) {
        const bool finite = IsFinite(samples[i]);
        sum += finite ? static_cast<double>(samples[i]) : 0.0;
        count += finite ? 1 : 0;
    }
    return count == 0 ? 0.0 : sum / static_cast<double>(count);
}

/// `to[i]` = samples[i] - mean where that sample is finite, 0 elsewhere.
template <typename T> void CentreInto(std::span<const T> samples, double mean, double* to)
{
    const std::size_t n = samples.size();
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        const Doubles v = LoadDoubles(samples.data() + i);
        const Doubles centred = Keep(v - Splat(mean), FiniteLanes<T>(v));
        std::memcpy(to + i, &centred, sizeof centred);
    }
    for (; i < n; ++i)
        to[i] = IsFinite(samples[i]) ? samples[i] - mean : 0.0;
}

/// samples[i] = from[i] + offset, rounded to T, where the sample is finite:
/// a sample that is not stays as it is.
template <typename T> void ReplaceFinite(std::span<T> samples, const double* from, double offset)
{
    const std::size_t n = samples.size();
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes) {
        const Longs finite = FiniteLanes<T>(LoadDoubles(samples.data() + i));
        StoreWhere(samples.data() + i, LoadDoubles(from + i) + Splat(offset), finite);
    }
    for (; i < n; ++i)
        samples[i] = IsFinite(samples[i]) ? static_cast<T>(from[i] + offset) : samples[i];
}

/// `mean` off every sample, rounded to T.
template <typename T> void SubtractMean(std::span<T> samples, double mean)
{
    const std::size_t n = samples.size();
    const Longs all = {-1, -1};
    std::size_t i = 0;
    for (; i + kLanes <= n; i += kLanes)
        StoreWhere(samples.data() + i, LoadDoubles(samples.data() + i) - Splat(mean), all);
    for (; i < n; ++i)
        samples[i] = static_cast<T>(samples[i] - mean);
}

/// `values[k]` *= gains[k] for `count` values.
void Scale(double* values, const double* gains, std::size_t count)
{
    std::size_t k = 0;
    for (; k + kLanes <= count; k += kLanes) {
        const Doubles v = LoadDoubles(values + k) * LoadDoubles(gains + k);
        std::memcpy(values + k, &v, sizeof v);
    }
    for (; k < count; ++k)
        values[k] *= gains[k];
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
    std::vector<double> gains;    ///< per bin (twice), the 1/padded of the inverse included
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
    CentreInto(std::span<const T>(samples), mean, real);
    std::fill(real + n, real + s.padded, 0.0);
    fftw_execute(s.forward.get());
    // A real gain shifts no phase. Worked out once per length and interval:
    // a cosine per bin would cost as much as the transform.
    if (s.gainsIntervalMs != intervalMs || s.gains.empty()) {
        const double hzPerBin = 1000.0 / (intervalMs * static_cast<double>(s.padded));
        const double norm = 1.0 / static_cast<double>(s.padded); // FFTW does not normalise
        // Twice each, for the real and the imaginary part of its bin.
        s.gains.resize(2 * (s.padded / 2 + 1));
        for (std::size_t k = 0; 2 * k < s.gains.size(); ++k)
            s.gains[2 * k] = s.gains[2 * k + 1] =
                norm * BandPassGain(static_cast<double>(k) * hzPerBin,
                                    m_processing.bandLowHz,
                                    m_processing.bandHighHz);
        s.gainsIntervalMs = intervalMs;
    }
    Scale(&s.spectrum.get()[0][0], s.gains.data(), s.gains.size());
    fftw_execute(s.inverse.get());
    const double meanKept =
        m_processing.removeDc
            ? 0.0
            : mean * BandPassGain(0.0, m_processing.bandLowHz, m_processing.bandHighHz);
    ReplaceFinite(samples, real, meanKept);
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
        SubtractMean(samples, mean);
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
