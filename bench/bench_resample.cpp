// Trace resampling throughput: 20 000 traces of 5000 samples from 40 to 83 us
// (m = 2409 = 3 x 11 x 73) and 5 000 traces from 100 to 83 us (m = 6024 =
// 2^3 x 3 x 251), with each backend, cached and per call, in one run. Prints
// traces per second, the time for the whole count, the ratios against GSL
// with cached wavetables, and the heap allocations per trace in the steady
// state. The parts (one transform, one set-up) show where the time goes.
//
// --traces_fraction=F runs F times the trace counts (the totals are then
// extrapolated); the usual --benchmark_* flags apply.
#include "trace/resample.h"
#include "trace/segy_trace.h"

#include <benchmark/benchmark.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_fft_halfcomplex.h>
#include <gsl/gsl_fft_real.h>

#if TESSARA_BENCH_FFTW
#include <fftw3.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

// Heap allocation counter: glibc lets a program replace malloc and friends;
// forwarding to glibc's own entry points counts every allocation of the
// process, C++ and C (GSL wavetables, fftw_malloc, FFTW plans) alike.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define TESSARA_COUNT_ALLOCATIONS 1
namespace
{
std::atomic<long> g_allocations{0};
void CountAllocation()
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);

void* malloc(std::size_t size) noexcept
{
    CountAllocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept
{
    CountAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) noexcept
{
    CountAllocation();
    return __libc_realloc(p, size);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept
{
    CountAllocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept
{
    CountAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept
{
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    CountAllocation();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr)
        return ENOMEM;
    *out = p;
    return 0;
}
void free(void* p) noexcept
{
    __libc_free(p);
}
}
#else
#define TESSARA_COUNT_ALLOCATIONS 0
#endif

namespace
{

using tessara::CSegyTrace;
using tessara::CTraceResampler;
using tessara::FftBackend;

constexpr std::uint32_t kSamples = 5000;
constexpr std::size_t kPoolSize = 8;
double g_tracesFraction = 1.0;

struct Scenario {
    const char* name;
    std::int16_t oldUs;
    double newUs;
    long traces; // full count of the scenario
};
constexpr Scenario kScenarios[] = {{"40to83us", 40, 83.0, 20000}, {"100to83us", 100, 83.0, 5000}};

const std::vector<std::vector<double>>& InputPool()
{
    static const std::vector<std::vector<double>> pool = [] {
        std::mt19937 generator(42);
        std::normal_distribution<double> gauss(0.0, 1000.0);
        std::vector<std::vector<double>> traces(kPoolSize, std::vector<double>(kSamples));
        for (auto& trace : traces)
            for (double& v : trace)
                v = gauss(generator);
        return traces;
    }();
    return pool;
}

/// Heap allocations per call of `f`, over 50 calls (0 when not counted).
template <class F> double AllocationsPerCall(F&& f)
{
#if TESSARA_COUNT_ALLOCATIONS
    const long before = g_allocations.load();
    for (int i = 0; i < 50; ++i)
        f();
    return static_cast<double>(g_allocations.load() - before) / 50.0;
#else
    (void)f;
    return 0.0;
#endif
}

/// As a reader hands over the next trace: its header, ReAllocate, its samples.
void Refill(CSegyTrace& trace, const std::vector<double>& values, std::int16_t intervalUs)
{
    trace.header->sampleCount = static_cast<std::uint16_t>(values.size());
    trace.header->sampleInterval = intervalUs;
    trace.ReAllocate();
    std::copy(values.begin(), values.end(), trace.samples.begin());
}

void BM_Resample(benchmark::State& state, Scenario scenario, FftBackend backend, bool cached)
{
    const auto& pool = InputPool();
    CTraceResampler resampler(backend, cached);
    CSegyTrace trace(kSamples);

    // Steady-state allocations, untimed: after one trace of warm-up (plans,
    // buffers, the trace's storage at the new length).
    Refill(trace, pool[0], scenario.oldUs);
    if (!resampler.Resample(trace, scenario.newUs)) {
        state.SkipWithError("resampling failed");
        return;
    }
    std::size_t warm = 0;
    state.counters["allocs/trace"] = AllocationsPerCall([&] {
        Refill(trace, pool[++warm % kPoolSize], scenario.oldUs);
        benchmark::DoNotOptimize(resampler.Resample(trace, scenario.newUs));
    });

    std::size_t next = 0;
    for (auto _ : state) {
        Refill(trace, pool[next], scenario.oldUs);
        next = (next + 1) % kPoolSize;
        if (!resampler.Resample(trace, scenario.newUs)) {
            state.SkipWithError("resampling failed");
            break;
        }
        benchmark::DoNotOptimize(trace.samples.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["samples_out"] = trace.numSamples;
}

/// The copy-in of a trace alone, to subtract from the figures above.
void BM_RefillOnly(benchmark::State& state)
{
    const auto& pool = InputPool();
    CSegyTrace trace(kSamples);
    std::size_t next = 0;
    for (auto _ : state) {
        Refill(trace, pool[next], 40);
        next = (next + 1) % kPoolSize;
        benchmark::DoNotOptimize(trace.samples.data());
        benchmark::ClobberMemory();
    }
}

// The parts: one transform with a ready set-up, and one set-up.
void BM_GslForward(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    gsl_fft_real_wavetable* table = gsl_fft_real_wavetable_alloc(n);
    gsl_fft_real_workspace* work = gsl_fft_real_workspace_alloc(n);
    std::vector<double> data(n);
    for (auto _ : state) {
        std::copy(InputPool()[0].begin(),
                  InputPool()[0].begin() + static_cast<std::ptrdiff_t>(n),
                  data.begin());
        benchmark::DoNotOptimize(gsl_fft_real_transform(data.data(), 1, n, table, work));
    }
    gsl_fft_real_workspace_free(work);
    gsl_fft_real_wavetable_free(table);
}

void BM_GslInverse(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    gsl_fft_halfcomplex_wavetable* table = gsl_fft_halfcomplex_wavetable_alloc(n);
    gsl_fft_real_workspace* work = gsl_fft_real_workspace_alloc(n);
    std::vector<double> data(n);
    for (auto _ : state) {
        std::copy(InputPool()[0].begin(),
                  InputPool()[0].begin() + static_cast<std::ptrdiff_t>(n),
                  data.begin());
        benchmark::DoNotOptimize(gsl_fft_halfcomplex_inverse(data.data(), 1, n, table, work));
    }
    gsl_fft_real_workspace_free(work);
    gsl_fft_halfcomplex_wavetable_free(table);
}

void BM_GslSetup(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        gsl_fft_real_wavetable* real = gsl_fft_real_wavetable_alloc(n);
        gsl_fft_halfcomplex_wavetable* hc = gsl_fft_halfcomplex_wavetable_alloc(n);
        gsl_fft_real_workspace* work = gsl_fft_real_workspace_alloc(n);
        benchmark::DoNotOptimize(real);
        gsl_fft_real_workspace_free(work);
        gsl_fft_halfcomplex_wavetable_free(hc);
        gsl_fft_real_wavetable_free(real);
    }
}

#if TESSARA_BENCH_FFTW
void BM_FftwForward(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    double* real = fftw_alloc_real(static_cast<std::size_t>(n));
    fftw_complex* spectrum = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    std::fill_n(real, n, 0.0);
    std::fill_n(&spectrum[0][0], 2 * (n / 2 + 1), 0.0);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, real, spectrum, FFTW_ESTIMATE);
    // FFTW's own scratch buffers (Rader, generic and buffered solvers for
    // large prime factors) are allocated inside every execution.
    state.counters["allocs/exec"] =
        AllocationsPerCall([&] { fftw_execute_dft_r2c(plan, real, spectrum); });
    for (auto _ : state) {
        std::copy(InputPool()[0].begin(), InputPool()[0].begin() + n, real);
        fftw_execute_dft_r2c(plan, real, spectrum);
        benchmark::DoNotOptimize(spectrum);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(spectrum);
    fftw_free(real);
}

void BM_FftwInverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    double* real = fftw_alloc_real(static_cast<std::size_t>(n));
    fftw_complex* spectrum = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    std::fill_n(real, n, 0.0);
    std::fill_n(&spectrum[0][0], 2 * (n / 2 + 1), 0.0);
    fftw_plan plan = fftw_plan_dft_c2r_1d(n, spectrum, real, FFTW_ESTIMATE);
    state.counters["allocs/exec"] =
        AllocationsPerCall([&] { fftw_execute_dft_c2r(plan, spectrum, real); });
    for (auto _ : state) {
        for (int k = 0; k <= n / 2; ++k) {
            spectrum[k][0] = InputPool()[0][static_cast<std::size_t>(k)];
            spectrum[k][1] = InputPool()[1][static_cast<std::size_t>(k)];
        }
        fftw_execute_dft_c2r(plan, spectrum, real);
        benchmark::DoNotOptimize(real);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(spectrum);
    fftw_free(real);
}

void BM_FftwSetup(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    double* real = fftw_alloc_real(static_cast<std::size_t>(n));
    fftw_complex* spectrum = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    for (auto _ : state) {
        fftw_plan forward = fftw_plan_dft_r2c_1d(n, real, spectrum, FFTW_ESTIMATE);
        fftw_plan inverse = fftw_plan_dft_c2r_1d(n, spectrum, real, FFTW_ESTIMATE);
        benchmark::DoNotOptimize(forward);
        fftw_destroy_plan(inverse);
        fftw_destroy_plan(forward);
    }
    fftw_free(spectrum);
    fftw_free(real);
}
#endif

std::string VariantName(FftBackend backend, bool cached)
{
    return std::string(backend == FftBackend::Gsl ? "Gsl" : "Fftw") +
           (cached ? "Cached" : "PerCall");
}

/// Console output as usual, and the mean times per trace of every run kept
/// for the summary.
class CSummaryReporter : public benchmark::ConsoleReporter
{
public:
    struct Times {
        double cpuSeconds = 0.0;  ///< per trace
        double wallSeconds = 0.0; ///< per trace
    };

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                const auto count = static_cast<double>(run.iterations);
                m_times[run.benchmark_name()] = {run.cpu_accumulated_time / count,
                                                 run.real_accumulated_time / count};
            }
        ConsoleReporter::ReportRuns(runs);
    }

    /// Times of the run whose name starts with `prefix`, or zeros.
    Times TimesOf(const std::string& prefix) const
    {
        for (const auto& [name, times] : m_times)
            if (name.rfind(prefix, 0) == 0)
                return times;
        return {};
    }

private:
    std::map<std::string, Times> m_times;
};

void PrintSummary(const CSummaryReporter& reporter)
{
    // CPU time leads: the machine may be shared, and waiting for a core is
    // not the resampler's cost.
    std::printf("\nSummary (5000-sample traces; CPU time, wall time in brackets; totals for "
                "the full counts, extrapolated when --traces_fraction < 1)\n");
    std::printf("%-10s %-14s %10s %10s %12s %9s %13s\n",
                "case",
                "variant",
                "us/trace",
                "(wall)",
                "traces/s",
                "total s",
                "vs GslCached");
    for (const Scenario& scenario : kScenarios) {
        const std::string base = std::string("Resample/") + scenario.name + "/";
        const double gslCached = reporter.TimesOf(base + "GslCached").cpuSeconds;
        for (FftBackend backend : {FftBackend::Gsl, FftBackend::Fftw}) {
            for (bool cached : {true, false}) {
                const auto times = reporter.TimesOf(base + VariantName(backend, cached));
                if (times.cpuSeconds <= 0.0)
                    continue;
                std::printf("%-10s %-14s %10.1f %10.1f %12.0f %9.2f %12.2fx\n",
                            scenario.name,
                            VariantName(backend, cached).c_str(),
                            times.cpuSeconds * 1e6,
                            times.wallSeconds * 1e6,
                            1.0 / times.cpuSeconds,
                            times.cpuSeconds * static_cast<double>(scenario.traces),
                            gslCached > 0.0 ? gslCached / times.cpuSeconds : 0.0);
            }
        }
        const double defaultCached =
            reporter.TimesOf(base + VariantName(tessara::DefaultFftBackend(), true)).cpuSeconds;
        if (defaultCached > 0.0 && gslCached > 0.0)
            std::printf("%-10s default backend (%s) cached is %.2fx GSL cached (target >= 3x)\n",
                        scenario.name,
                        tessara::DefaultFftBackend() == FftBackend::Gsl ? "GSL" : "FFTW",
                        gslCached / defaultCached);
    }
#if !TESSARA_COUNT_ALLOCATIONS
    std::printf("(allocation counting needs glibc and no sanitizer)\n");
#endif
}

} // namespace

int main(int argc, char** argv)
{
    gsl_set_error_handler_off();

    // Our own flag first, so that the benchmark library does not reject it.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const char* flag = "--traces_fraction=";
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0)
            g_tracesFraction = std::clamp(std::atof(argv[i] + std::strlen(flag)), 1e-4, 1.0);
        else
            args.push_back(argv[i]);
    }
    int argCount = static_cast<int>(args.size());

    for (const Scenario& scenario : kScenarios) {
        const auto iterations = std::max<benchmark::IterationCount>(
            1,
            static_cast<benchmark::IterationCount>(static_cast<double>(scenario.traces) *
                                                   g_tracesFraction));
        for (FftBackend backend : {FftBackend::Gsl, FftBackend::Fftw}) {
            if (!tessara::IsFftBackendAvailable(backend))
                continue;
            for (bool cached : {true, false}) {
                const std::string name =
                    std::string("Resample/") + scenario.name + "/" + VariantName(backend, cached);
                benchmark::RegisterBenchmark(name.c_str(), BM_Resample, scenario, backend, cached)
                    ->Iterations(iterations)
                    ->Unit(benchmark::kMicrosecond)
                    ->UseRealTime();
            }
        }
    }
    benchmark::RegisterBenchmark("Parts/RefillOnly", BM_RefillOnly)->Unit(benchmark::kMicrosecond);
    for (int length : {5000, 2409, 6024}) {
        benchmark::RegisterBenchmark("Parts/GslForward", BM_GslForward)
            ->Arg(length)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Parts/GslInverse", BM_GslInverse)
            ->Arg(length)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Parts/GslSetup", BM_GslSetup)
            ->Arg(length)
            ->Unit(benchmark::kMicrosecond);
#if TESSARA_BENCH_FFTW
        benchmark::RegisterBenchmark("Parts/FftwForward", BM_FftwForward)
            ->Arg(length)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Parts/FftwInverse", BM_FftwInverse)
            ->Arg(length)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Parts/FftwSetup", BM_FftwSetup)
            ->Arg(length)
            ->Unit(benchmark::kMicrosecond);
#endif
    }

    benchmark::Initialize(&argCount, args.data());
    if (benchmark::ReportUnrecognizedArguments(argCount, args.data()))
        return 1;
    CSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
