// Repairs of a fix list. Time repair with long runs of bad times: 150,000
// bad times must be repaired in under one second. Each pattern is a list of
// 150,000 bad fixes plus a few good ones around them:
//   Run          one clock reset: the bad times count up from 0 ticks, then
//                the clock comes back
//   FallingRun   the bad times count down
//   Interleaved  good times falling step by step, a bad fix after each
//   Cut          no later good time: the list is cut at the first bad fix
// The list is copied outside the timed region. bad_per_s is the rate; the
// target is met when bad_per_s exceeds 150,000. Spike repair of positions
// in runs of 1, 10 (the longest mended) and 11 (left), fixes_per_s.
#include "nav/navigation.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace
{

using namespace tessara;

constexpr std::int64_t kBad = 150'000;
constexpr std::int64_t kSecond = 10'000'000;             // ticks
constexpr std::int64_t kStart = 631'770'624'000'000'000; // 2003-01-01

llt FixAt(std::int64_t ticks, std::int64_t i)
{
    llt f;
    f.t = CTimestamp::FromTicks(ticks);
    f.x = 500000.0 + static_cast<double>(i);
    f.y = 6000000.0;
    f.lat = f.y;
    f.lon = f.x;
    f.isUTM = true;
    return f;
}

std::vector<llt> Pattern(int shape)
{
    std::vector<llt> fixes;
    std::int64_t i = 0;
    const auto add = [&fixes, &i](std::int64_t ticks) { fixes.push_back(FixAt(ticks, i++)); };
    add(kStart);
    add(kStart + kSecond);
    switch (shape) {
    case 0:
        for (std::int64_t k = 0; k < kBad; ++k)
            add(k + 1);
        break;
    case 1:
        for (std::int64_t k = 0; k < kBad; ++k)
            add(kBad - k);
        break;
    case 2:
        for (std::int64_t k = 0; k < kBad; ++k) {
            add(kStart + (2 * kBad - k) * kSecond);
            add(k + 1);
        }
        break;
    default:
        for (std::int64_t k = 0; k < kBad; ++k)
            add(k + 1);
        add(kStart - kSecond);
        add(kStart - kSecond);
        return fixes;
    }
    for (std::int64_t k = 0; k < 3; ++k)
        add(kStart + (3 * kBad + k) * kSecond);
    return fixes;
}

void BM_RepairFixTimes(benchmark::State& state)
{
    const std::vector<llt> pattern = Pattern(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<llt> fixes = pattern;
        state.ResumeTiming();
        RepairFixTimes(fixes);
        benchmark::DoNotOptimize(fixes.data());
        benchmark::ClobberMemory();
    }
    state.counters["bad_per_s"] = benchmark::Counter(static_cast<double>(kBad),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_RepairFixTimes)
    ->ArgName("shape")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond);

/// A projected line of kBad fixes a second apart, 3 m a fix, with runs of
/// `run` positions 9 km off it after every 5 good fixes: runs of 10 are
/// mended, runs of 11 are looked through from both ends and left.
std::vector<llt> SpikePattern(std::int64_t run)
{
    std::vector<llt> fixes;
    for (std::int64_t i = 0; i < kBad; ++i) {
        llt f = FixAt(kStart + i * kSecond, i);
        f.x = 500000.0 + 3.0 * static_cast<double>(i);
        if (i % (run + 5) >= 5)
            f.x += 9000.0;
        f.lon = f.x;
        fixes.push_back(f);
    }
    return fixes;
}

// Spike repair of 150,000 fixes: linear whatever the runs, so fixes_per_s
// stays in the millions for runs of every length.
void BM_RepairNavigationSpikes(benchmark::State& state)
{
    const std::vector<llt> pattern = SpikePattern(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<llt> fixes = pattern;
        state.ResumeTiming();
        benchmark::DoNotOptimize(RepairNavigationSpikes(fixes));
        benchmark::ClobberMemory();
    }
    state.counters["fixes_per_s"] = benchmark::Counter(
        static_cast<double>(kBad), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_RepairNavigationSpikes)
    ->ArgName("run")
    ->Arg(1)
    ->Arg(10)
    ->Arg(11)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
