// libFuzzer target: arbitrary trace headers through the navigation of the
// speed correction. The first two bytes choose the settings (smoothing
// half-width; median or fixed spacing and its value), every further 240 bytes
// are one trace header, written into a valid big-endian SEG-Y file of
// one-sample traces (only the sample count and interval are set to fit).
// The file goes through the fix list, the spacing, the count of corrected
// traces and the correction itself. Besides the sanitizers it checks the
// promises: one fix per trace with a position at its record, spacings and
// distances that are numbers and never fall, and a corrected file that holds
// what was counted and never more than ten traces a fix.
//
// Build with clang in its own tree and run it on a scratch copy of the seed
// corpus; undefined behaviour counts as a crash only with halt_on_error:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTESSARA_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_nav
//   mkdir -p /tmp/nav-corpus && cp fuzz/nav_corpus/* /tmp/nav-corpus/
//   export UBSAN_OPTIONS=halt_on_error=1
//   build-fuzz/fuzz/fuzz_nav /tmp/nav-corpus -max_total_time=240 -max_len=12002
#include "combine/api/job_host.h"
#include "nav/navigation.h"
#include "nav/speed_correction.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

class CQuietHost : public IJobHost
{
public:
    void ClearLog() override {}
    void AppendLog(std::string_view /*text*/) override {}
    [[nodiscard]] bool IsLogVisible() const override { return false; }
    void SetStatus(std::string_view /*text*/) override {}
    void PumpEvents() override {}
    void ShowMessage(std::string_view /*text*/) override {}
    void SetInputOrder(const std::vector<std::string>& /*paths*/) override {}
};

/// A folder of its own for the composite and the correction's temporary
/// file, in memory when the system has /dev/shm, removed at exit.
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
    const std::string path = folder.path + "/SegyOut.sgy";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        Require(static_cast<bool>(out), "the composite is written");
    }

    std::vector<llt> fixes;
    const FixListStats stats =
        ReadAndBufferTraceHeaderData(path, settings.nav_average_fixes, fixes);
    if (traces == 0) {
        Require(fixes.empty(), "no fix without a trace");
        return 0;
    }
    Require(stats.traces == static_cast<std::int64_t>(traces), "every trace is read");
    Require(static_cast<std::int64_t>(fixes.size()) <= stats.traces - stats.withoutNavigation,
            "one fix at most for every trace with a position");
    std::int64_t lastPosition = -1;
    for (const llt& f : fixes) {
        Require(f.position > lastPosition, "fixes in file order");
        Require(f.position >= static_cast<std::int64_t>(kFileHeader) &&
                    (f.position - static_cast<std::int64_t>(kFileHeader)) %
                            static_cast<std::int64_t>(kRecord) ==
                        0,
                "a fix points at a trace record");
        lastPosition = f.position;
    }
    if (fixes.size() >= 2) {
        double distance = 0.0;
        for (const llt& f : fixes) {
            Require(!std::isnan(f.deltap) && f.deltap >= 0.0, "spacing is a number, not below 0");
            Require(f.cummulativeDistance >= distance, "distance along the track never falls");
            distance = f.cummulativeDistance;
        }
    }
    const double spacing = ChooseSpacing(fixes, settings);
    const std::int64_t planned = CorrectedTraceCount(fixes, spacing);
    Require(planned >= 0, "a count of traces");

    CQuietHost host;
    const SpeedCorrectionResult r = CreatSpeedCorrectedSegy(settings, host, path, "fuzz");
    using Status = SpeedCorrectionResult::Status;
    Require(r.status != Status::ReadFailed && r.status != Status::WriteFailed,
            "a correction in a folder of its own does not fail");
    if (r.status == Status::NoNavigation)
        return 0;
    Require(r.fixes == static_cast<std::int64_t>(fixes.size()),
            "the correction has the same fixes");
    const std::int64_t limit = kMaxTracesPerFix * r.fixes;
    Require((r.status == Status::TooManyTraces) ==
                (r.fixes >= 2 && spacing > 0.0 && fixes.back().cummulativeDistance > 0.0 &&
                 planned > limit),
            "refused exactly when above ten traces a fix");
    if (r.status == Status::Corrected) {
        Require(r.tracesAfter == planned, "the corrected file holds the traces counted");
        Require(r.tracesAfter <= limit, "never more than ten traces a fix");
        Require(std::filesystem::file_size(path) ==
                    kFileHeader + static_cast<std::uintmax_t>(r.tracesAfter) * kRecord,
                "the corrected file is as long as its traces");
    }
    return 0;
}
