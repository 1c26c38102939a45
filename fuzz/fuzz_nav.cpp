// libFuzzer target: arbitrary trace headers through the navigation of the
// speed correction. The first two bytes choose the settings (smoothing
// half-width; median or fixed spacing and its value), every further 240 bytes
// are one trace header, written into a valid big-endian SEG-Y file of
// one-sample traces (only the sample count and interval are set to fit).
// The headers, as the reader gives them, make the fix list of an output of
// that many records, which is finished, planned and walked as the job walks
// it while writing. Besides the sanitizers it checks the promises: one fix
// per trace with a position, numbered by its record, spacings and distances
// that are numbers and never fall, geographic fixes on the globe, a
// correction refused exactly when a position is not a number, and a
// selection that ends after the traces counted, never more than ten a fix,
// going forward through the records of the output and never past them.
//
// Build with clang in its own tree and run it on a scratch copy of the seed
// corpus; undefined behaviour counts as a crash only with halt_on_error:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTESSARA_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_nav
//   mkdir -p /tmp/nav-corpus && cp fuzz/nav_corpus/* /tmp/nav-corpus/
//   export UBSAN_OPTIONS=halt_on_error=1
//   build-fuzz/fuzz/fuzz_nav /tmp/nav-corpus -max_total_time=240 -max_len=12002
#include "combine/api/job_host.h"
#include "combine/speed_selection.h"
#include "nav/navigation.h"
#include "nav/speed_correction.h"
#include "segy/io/segy_file_in.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdlib.h>
#include <string>
#include <system_error>
#include <vector>

namespace
{

using namespace tessara;

constexpr std::size_t kFileHeader = 3600;
constexpr std::size_t kTraceHeader = 240;
constexpr std::size_t kRecord = kTraceHeader + 1; // one 8-bit sample

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

void Put16(unsigned char* at, int value)
{
    at[0] = static_cast<unsigned char>((value >> 8) & 0xFF);
    at[1] = static_cast<unsigned char>(value & 0xFF);
}

/// A folder of its own for the file of headers, in memory when the system
/// has /dev/shm, removed at exit.
struct WorkFolder {
    std::string path;

    WorkFolder()
    {
        const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        path = base + "/fuzz_nav_XXXXXX";
        if (mkdtemp(path.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
    }
    ~WorkFolder()
    {
        std::error_code ec;
        (void)std::filesystem::remove_all(path, ec); // best effort at exit
    }
};

std::vector<unsigned char> BuildFile(const std::uint8_t* headers, std::size_t traces)
{
    std::vector<unsigned char> file(kFileHeader + traces * kRecord, 0);
    std::memset(file.data(), ' ', 3200);
    file[0] = 'C';
    Put16(&file[3216], 100); // sample interval, us
    Put16(&file[3220], 1);   // samples per trace
    Put16(&file[3224], 8);   // 8-bit integers
    Put16(&file[3500], 0x0100);
    Put16(&file[3502], 1); // fixed-length traces
    for (std::size_t k = 0; k < traces; ++k) {
        unsigned char* record = &file[kFileHeader + k * kRecord];
        std::memcpy(record, headers + k * kTraceHeader, kTraceHeader);
        Put16(record + 114, 1);
        Put16(record + 116, 100);
        record[kTraceHeader] = static_cast<unsigned char>(k);
    }
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    CombineSettings settings;
    settings.nav_average_fixes = 2 + data[0] % 99;
    settings.spacing_mode = data[1] & 1 ? SpacingMode::Fixed : SpacingMode::Median;
    settings.trace_spacing = 2.0 + (data[1] >> 1);
    const std::size_t traces = (size - 2) / kTraceHeader;
    const std::vector<unsigned char> file = BuildFile(data + 2, traces);
    static const WorkFolder folder;
    const std::string path = folder.path + "/headers.sgy";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        Require(static_cast<bool>(out), "the file of headers is written");
    }

    // The records as the job numbers them in an output, from 0.
    std::vector<SegyHeaderType> headers;
    std::vector<std::int16_t> delays;
    std::vector<llt> fixes;
    CSegyFileIn in;
    Require(in.Open(path), "the file of headers opens");
    for (;;) {
        SegyHeaderType h{};
        in.ReadHeader(h);
        if (in.atEnd)
            break;
        const auto record = static_cast<std::int64_t>(headers.size());
        const bool added = AddFixOfHeader(fixes, h, record, static_cast<std::int32_t>(record + 1));
        Require(added == TraceHasNavigation(h), "a fix exactly for a trace with a position");
        headers.push_back(h);
        delays.push_back(h.delayRecordingTime);
    }
    Require(headers.size() == traces, "every trace is read");
    const auto records = static_cast<std::int64_t>(traces);
    std::int64_t lastPosition = -1;
    for (const llt& f : fixes) {
        Require(f.position > lastPosition && f.position < records, "fixes in record order");
        lastPosition = f.position;
        Require(f.isUTM || (std::fabs(f.lat) <= 90.0 && f.lon >= -180.0 && f.lon <= 360.0),
                "every geographic fix on the globe");
    }

    std::vector<llt> finished = fixes;
    (void)FinishFixList(finished, settings.nav_average_fixes);
    if (finished.size() >= 2) {
        double distance = 0.0;
        for (const llt& f : finished) {
            Require(!std::isnan(f.deltap) && f.deltap >= 0.0, "spacing is a number, not below 0");
            Require(f.cummulativeDistance >= distance, "distance along the track never falls");
            distance = f.cummulativeDistance;
        }
    }
    const double spacing = ChooseSpacing(finished,
                                         settings.spacing_mode == SpacingMode::Fixed
                                             ? std::optional<double>(settings.trace_spacing)
                                             : std::nullopt);
    const std::int64_t planned = CorrectedTraceCount(finished, spacing);
    Require(planned >= 0, "a count of traces");

    CSilentHost host;
    const SpeedCorrectionPlan plan =
        PlanSpeedCorrection(settings, host, fixes, records, delays, "fuzz");
    using Status = SpeedCorrectionPlan::Status;
    Require(plan.tracesBefore == records, "the plan knows the records");
    Require((plan.status == Status::NoNavigation) == fixes.empty(),
            "no navigation exactly when no trace has a position");
    if (plan.status == Status::NoNavigation)
        return 0;
    // The time repair may cut the list: the plan works from the finished one.
    Require(plan.fixes.size() == finished.size(), "the plan has the same fixes");
    const auto fixCount = static_cast<std::int64_t>(finished.size());
    const auto unusable = std::count_if(finished.begin(), finished.end(), [](const llt& f) {
        return !std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.lat) ||
               !std::isfinite(f.lon);
    });
    Require((plan.status == Status::PositionsUnusable) == (fixCount >= 2 && unusable > 0),
            "refused exactly when a position is not a number");
    const std::int64_t limit = kMaxTracesPerFix * fixCount;
    Require((plan.status == Status::TooManyTraces) ==
                (fixCount >= 2 && unusable == 0 && spacing > 0.0 &&
                 finished.back().cummulativeDistance > 0.0 && planned > limit),
            "refused exactly when above ten traces a fix");
    if (plan.status != Status::Corrected)
        return 0;
    Require(plan.spacingMetres == spacing, "the plan has the spacing chosen");
    Require(plan.tracesAfter == planned, "the selection holds the traces counted");
    Require(plan.tracesAfter <= limit, "never more than ten traces a fix");

    // Walked as the writer walks it, with a header for every trace.
    std::int64_t selected = 0;
    std::int64_t lastRecord = 0;
    std::int64_t counted = 0;
    for (const auto& [delay, count] : plan.delays)
        counted += count;
    Require(counted == plan.tracesAfter, "a delay for every selected trace");
    CCorrectedSelection selection(plan.fixes, plan.spacingMetres);
    for (CCorrectedSelection::Entry e; selection.Peek(e); selection.Advance()) {
        Require(++selected <= plan.tracesAfter, "the selection ends after the traces counted");
        Require(e.record >= lastRecord && e.record < records,
                "forward through the records of the output");
        lastRecord = e.record;
        SegyHeaderType h = headers[static_cast<std::size_t>(e.record)];
        if (e.between) {
            Require(e.f >= 0.001 && e.f <= 0.999, "interpolated well between two fixes");
            InterpolateHeader(h, *e.a, *e.b, e.f);
        }
    }
    Require(selected == plan.tracesAfter, "the selection holds the traces counted");
    return 0;
}
