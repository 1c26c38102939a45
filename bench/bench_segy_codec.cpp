// Sample conversions: IBM <-> IEEE, byte reversal, decode and encode of every
// format, in samples per second, beside segyio's conversions of the same
// buffer. The samples are the synthetic generator's sub-bottom traces, so the
// exponents spread as in real data.
//
//   bench_segy_codec [--benchmark_filter=...] [--benchmark_repetitions=N]
//
// At the end the time ratios ours / segyio are printed; ours should not be
// slower (ratio <= 1).
#include "bench/bench_segy_ratio.h"
#include "segy/format/byte_order.h"
#include "segy/format/sample_codec.h"
#include "segy/format/segy_headers.h"
#include "tools/synth/synth_survey.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <segyio/segy.h>
#include <vector>

namespace
{

using namespace tessara;

/// n samples of a synthetic survey, as doubles.
const std::vector<double>& Samples(std::int64_t n)
{
    static std::vector<double> all;
    if (static_cast<std::int64_t>(all.size()) < n) {
        synth::SurveyOptions o;
        o.formatCode = 5;
        o.samplesPerTrace = 5000;
        std::vector<double> trace;
        all.clear();
        for (int k = 0; static_cast<std::int64_t>(all.size()) < n; ++k) {
            synth::TraceSamples(o, 0, k, trace);
            all.insert(all.end(), trace.begin(), trace.end());
        }
    }
    return all;
}

std::vector<float> Floats(std::int64_t n)
{
    const auto& d = Samples(n);
    std::vector<float> f(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i)
        f[static_cast<std::size_t>(i)] = static_cast<float>(d[static_cast<std::size_t>(i)]);
    return f;
}

/// IBM words in host order.
std::vector<std::uint32_t> IbmWords(std::int64_t n)
{
    const std::vector<float> f = Floats(n);
    std::vector<std::uint32_t> w(f.size());
    std::memcpy(w.data(), f.data(), 4 * f.size());
    ieee2ibm(w.data(), w.data(), n);
    return w;
}

/// The samples as a big-endian file holds them in format `code`.
std::vector<unsigned char> FileBytes(int code, std::int64_t n)
{
    std::vector<unsigned char> b(static_cast<std::size_t>(n * WriterBytesPerSample(code)));
    EncodeSamplesBigEndian(code, Samples(n).data(), n, b.data());
    return b;
}

/// The samples as a file of byte order `swap` holds them (1: big-endian, read
/// with reversal; 0: little-endian).
std::vector<unsigned char> FileBytesInOrder(int code, bool swap, std::int64_t n)
{
    std::vector<unsigned char> raw = FileBytes(code, n);
    if (!swap) {
        if (code == 3)
            SwapBytes16(raw.data(), n);
        else if (code != 8)
            SwapBytes32(raw.data(), n);
    }
    return raw;
}

void SetSamples(benchmark::State& state, std::int64_t n)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * n);
}

// In-place conversions need fresh input every iteration; both sides of each
// comparison pay the same copy, and BM_CopyOnly shows what it costs.

void BM_CopyOnly(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<std::uint32_t> in = IbmWords(n);
    std::vector<std::uint32_t> work(in.size());
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), 4 * in.size());
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

void BM_IbmToIeee_HostOrder(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<std::uint32_t> in = IbmWords(n);
    std::vector<std::uint32_t> work(in.size());
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), 4 * in.size());
        ibm2ieee(work.data(), work.data(), n);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

// Big-endian IBM file words to native floats, in place: what segy_to_native
// does for format 1.
void BM_IbmFileToFloat_Ours(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<unsigned char> in = FileBytes(1, n);
    std::vector<std::uint32_t> work(static_cast<std::size_t>(n));
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), in.size());
        SwapN(work.data(), n);
        ibm2ieee(work.data(), work.data(), n);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

void BM_IbmFileToFloat_Segyio(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<unsigned char> in = FileBytes(1, n);
    std::vector<std::uint32_t> work(static_cast<std::size_t>(n));
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), in.size());
        (void)segy_to_native(SEGY_IBM_FLOAT_4_BYTE, n, work.data()); // format 1 cannot fail
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

// Native floats to big-endian IBM file words, in place: segy_from_native.
void BM_FloatToIbmFile_Ours(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<float> in = Floats(n);
    std::vector<std::uint32_t> work(static_cast<std::size_t>(n));
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), 4 * in.size());
        ieee2ibm(work.data(), work.data(), n);
        SwapN(work.data(), n);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

void BM_FloatToIbmFile_Segyio(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<float> in = Floats(n);
    std::vector<std::uint32_t> work(static_cast<std::size_t>(n));
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), 4 * in.size());
        (void)segy_from_native(SEGY_IBM_FLOAT_4_BYTE, n, work.data());
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

// Byte reversal alone: segyio does exactly this for formats 5 (32-bit) and 3
// (16-bit).
void BM_Swap32_Ours(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<unsigned char> in = FileBytes(5, n);
    std::vector<unsigned char> work(in.size());
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), in.size());
        SwapBytes32(work.data(), n);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

void BM_Swap32_Segyio(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<unsigned char> in = FileBytes(5, n);
    std::vector<unsigned char> work(in.size());
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), in.size());
        (void)segy_to_native(SEGY_IEEE_FLOAT_4_BYTE, n, work.data());
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

void BM_Swap16_Ours(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<unsigned char> in = FileBytes(3, n);
    std::vector<unsigned char> work(in.size());
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), in.size());
        SwapBytes16(work.data(), n);
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

void BM_Swap16_Segyio(benchmark::State& state)
{
    const std::int64_t n = state.range(0);
    const std::vector<unsigned char> in = FileBytes(3, n);
    std::vector<unsigned char> work(in.size());
    for (auto _ : state) {
        std::memcpy(work.data(), in.data(), in.size());
        (void)segy_to_native(SEGY_SIGNED_SHORT_2_BYTE, n, work.data());
        benchmark::DoNotOptimize(work.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

// What the reader does per trace: file bytes (big-endian: swap 1, or
// little-endian: swap 0) to 64-bit samples.
void BM_Decode(benchmark::State& state)
{
    const int code = static_cast<int>(state.range(0));
    const bool swap = state.range(1) != 0;
    const std::int64_t n = state.range(2);
    const std::vector<unsigned char> raw = FileBytesInOrder(code, swap, n);
    std::vector<double> out(static_cast<std::size_t>(n));
    for (auto _ : state) {
        const bool ok = DecodeSamples(code, raw.data(), n, swap, out.data());
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

// What the writer does per trace: 64-bit samples to big-endian file bytes.
void BM_Encode(benchmark::State& state)
{
    const int code = static_cast<int>(state.range(0));
    const std::int64_t n = state.range(1);
    const std::vector<double>& in = Samples(n);
    std::vector<unsigned char> out(static_cast<std::size_t>(n * WriterBytesPerSample(code)));
    for (auto _ : state) {
        EncodeSamplesBigEndian(code, in.data(), n, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

// A trace written in its input's format: copied as it is where every sample
// passes through, against decoding and encoding it.
void BM_PassThrough(benchmark::State& state)
{
    const int code = static_cast<int>(state.range(0));
    const bool swap = state.range(1) != 0;
    const std::int64_t n = state.range(2);
    const std::vector<unsigned char> raw = FileBytesInOrder(code, swap, n);
    std::vector<unsigned char> out(raw.size());
    if (!PassSamplesThrough(code, raw.data(), n, swap, out.data())) {
        state.SkipWithError("the synthetic samples do not pass through");
        return;
    }
    for (auto _ : state) {
        const bool ok = PassSamplesThrough(code, raw.data(), n, swap, out.data());
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

void BM_DecodeEncode(benchmark::State& state)
{
    const int code = static_cast<int>(state.range(0));
    const bool swap = state.range(1) != 0;
    const std::int64_t n = state.range(2);
    const std::vector<unsigned char> raw = FileBytesInOrder(code, swap, n);
    std::vector<double> samples(static_cast<std::size_t>(n));
    std::vector<unsigned char> out(raw.size());
    for (auto _ : state) {
        const bool ok = DecodeSamples(code, raw.data(), n, swap, samples.data());
        EncodeSamplesBigEndian(code, samples.data(), n, out.data());
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    SetSamples(state, n);
}

// Trace headers reversed in place, as every header read from and written to a
// big-endian file is: a block of random headers, so that the reversal cannot
// be folded away, timed per header ("per_header").
void BM_SwapHeader(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<SegyHeaderType> headers(count);
    std::mt19937 random(19);
    auto* bytes = reinterpret_cast<unsigned char*>(headers.data());
    for (std::size_t i = 0; i < count * sizeof(SegyHeaderType); ++i)
        bytes[i] = static_cast<unsigned char>(random());
    for (auto _ : state) {
        for (SegyHeaderType& h : headers)
            SwapHeader(h);
        benchmark::DoNotOptimize(headers.data());
        benchmark::ClobberMemory();
    }
    state.counters["per_header"] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

constexpr std::int64_t kTrace = 5000;    // one sub-bottom trace
constexpr std::int64_t kBlock = 1 << 18; // 1 MB of 4-byte samples

BENCHMARK(BM_CopyOnly)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_IbmToIeee_HostOrder)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_IbmFileToFloat_Ours)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_IbmFileToFloat_Segyio)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_FloatToIbmFile_Ours)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_FloatToIbmFile_Segyio)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_Swap32_Ours)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_Swap32_Segyio)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_Swap16_Ours)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_Swap16_Segyio)->Arg(kTrace)->Arg(kBlock);
BENCHMARK(BM_Decode)
    ->ArgNames({"format", "swap", "n"})
    ->ArgsProduct({{1, 2, 3, 5, 8}, {0, 1}, {kTrace}});
BENCHMARK(BM_Encode)->ArgNames({"format", "n"})->ArgsProduct({{1, 2, 3, 5, 8}, {kTrace}});
BENCHMARK(BM_PassThrough)
    ->ArgNames({"format", "swap", "n"})
    ->ArgsProduct({{1, 5}, {0, 1}, {kTrace}});
BENCHMARK(BM_DecodeEncode)
    ->ArgNames({"format", "swap", "n"})
    ->ArgsProduct({{1, 5}, {0, 1}, {kTrace}});
BENCHMARK(BM_SwapHeader)->Arg(1024);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    tessara::bench::CRatioReporter reporter(true);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::vector<tessara::bench::RatioPair> pairs;
    for (const char* n : {"5000", "262144"}) {
        const std::string size = std::string("/") + n;
        const std::string label = std::string(" (") + n + " samples)";
        pairs.push_back({"BM_IbmFileToFloat_Ours" + size,
                         "BM_IbmFileToFloat_Segyio" + size,
                         "IBM file -> float" + label,
                         1.0});
        pairs.push_back({"BM_FloatToIbmFile_Ours" + size,
                         "BM_FloatToIbmFile_Segyio" + size,
                         "float -> IBM file" + label,
                         1.0});
        pairs.push_back({"BM_Swap32_Ours" + size,
                         "BM_Swap32_Segyio" + size,
                         "32-bit byte reversal" + label,
                         1.0});
        pairs.push_back({"BM_Swap16_Ours" + size,
                         "BM_Swap16_Segyio" + size,
                         "16-bit byte reversal" + label,
                         1.0});
    }
    // Copying a trace that needs no conversion must beat converting it; beside
    // a plain copy, for the record.
    for (const char* code : {"1", "5"}) {
        for (const char* swap : {"0", "1"}) {
            const std::string args = std::string("/format:") + code + "/swap:" + swap + "/n:5000";
            const std::string label = std::string(" (format ") + code +
                                      (swap[0] == '1' ? ", big-endian" : ", little-endian") +
                                      ", 5000 samples)";
            pairs.push_back({"BM_PassThrough" + args,
                             "BM_DecodeEncode" + args,
                             "pass-through / decode and encode" + label,
                             1.0});
            pairs.push_back(
                {"BM_PassThrough" + args, "BM_CopyOnly/5000", "pass-through / memcpy" + label, 0});
        }
    }
    const bool ok = reporter.PrintRatios(pairs);
    benchmark::Shutdown();
    return ok ? 0 : 2;
}
