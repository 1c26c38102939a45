// What the job driver and its steps share: the settings and the front end
// of the running job, the log's line end, and the time and path helpers
// every step uses. The job's own state is the driver's (combine_job.cpp);
// a step receives what it works on and returns what it decided.
#pragma once

#include "combine/api/combine_settings.h"
#include "combine/api/job_host.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tessara
{

/// Line end of the processing log.
constexpr std::string_view kNL = "\r\n";

/// The settings (read where used) and the front end of the running job.
struct JobContext {
    const CombineSettings& settings;
    IJobHost& host;

    void Log(std::string_view text) const { host.AppendLog(text); }
};

/// A front end that is told nothing and never asks to stop: for the steps
/// of the job run where no front end looks on.
class CSilentHost : public IJobHost
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

/// The current input's count of traces and its mean trace interval, which
/// the status points and the fill of the gap after the input go by.
struct InputCounters {
    std::int32_t traces = 0;      ///< traces counted, fill traces included
    double averageInterval = 1.0; ///< s

    /// Counts a trace at `time` (seconds of year): from the third trace on,
    /// the mean interval is measured from `inputStart` (seconds of year).
    /// Every trace that gives the job its time counts, written or not.
    void Count(double time, double inputStart)
    {
        if (traces > 1)
            averageInterval = (time - inputStart) / (traces - 1);
        ++traces;
    }
};

/// The job's progress as deciding and writing its outputs share it: each
/// input's bytes count once when its output is decided and once when it is
/// written.
struct ProgressLedger {
    std::int64_t decided = 0; ///< bytes of the inputs decided
    std::int64_t written = 0; ///< bytes of the inputs written
    std::int64_t total = 0;   ///< twice the bytes of all inputs
    int inputCount = 0;

    /// Where the job stands with `partial` bytes of the input in hand gone
    /// through, input `input` (0-based) in `phase`.
    [[nodiscard]] JobProgress
    At(JobProgress::Phase phase, std::size_t input, std::int64_t partial) const
    {
        JobProgress p;
        p.phase = phase;
        p.input = static_cast<int>(input) + 1;
        p.inputCount = inputCount;
        p.bytesTotal = total;
        p.bytesDone = std::min(total, decided + written + std::max<std::int64_t>(0, partial));
        return p;
    }
};

/// delayRecordingTime (ms) -> traces that carry it.
using DelayHistogram = std::map<std::int16_t, std::int64_t>;

/// What tells one content of a file from a later one: its size, the time it
/// was last modified and the time its inode last changed. The change time
/// cannot be set back by a program, so a rewrite whose modification time was
/// restored afterwards still shows.
struct FileVersion {
    std::int64_t bytes = 0;
    std::int64_t modified_ns = 0; ///< since the epoch
    std::int64_t changed_ns = 0;  ///< since the epoch

    bool operator==(const FileVersion&) const = default;
};

/// One input of the job, in processing order.
struct InputEntry {
    std::string path;
    /// Seconds of year with milliseconds of its first trace after day repair
    /// and time correction (0 with demultiplex_only or before the scan).
    double start_time = 0;
    /// start_time truncated to whole seconds, clamped to 32 bits.
    std::int32_t file_time = 0;
    /// The scan read a first trace; inputs without one are passed over when
    /// the job looks for the next input's start time.
    bool start_known = false;
    /// The file's identity (device and inode) and version when it could be
    /// examined, as the job started: an input found otherwise when it is
    /// about to be read was replaced or rewritten meanwhile.
    bool identified = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    FileVersion version{};
    /// The same file as an input before it in processing order: skipped.
    bool same_as_earlier = false;
};

/// Device and inode of the file at `path`, without opening it (a FIFO or a
/// device must not block), and its version when `version` is given. False,
/// with the outputs untouched, when it cannot be examined.
[[nodiscard]] bool FileIdentity(const std::string& path,
                                std::uint64_t& device,
                                std::uint64_t& inode,
                                FileVersion* version = nullptr);

/// How the file of an input stands against the identity and version taken
/// of it as the job started.
enum class InputNow {
    AsScanned, ///< the same file, unchanged
    Changed,   ///< another file, or the same rewritten (or not identified then)
    Gone,      ///< nothing at its path can be examined
};
[[nodiscard]] InputNow CompareWithScan(const InputEntry& input);

/// `directory` joined with `name` by the platform's separator (no doubled
/// separator when `directory` already ends in one).
[[nodiscard]] std::string JoinPath(const std::string& directory, const std::string& name);
/// The file name of `path` without its directory.
[[nodiscard]] std::string FileNameOf(const std::string& path);

/// A time on the job's scale (seconds of year) split into day, hour, minute
/// and seconds, each part truncated from the time in its own unit: the rule
/// of output names and of fill-trace times alike.
struct SplitTime {
    double day;
    double hour;
    double minute;
    double seconds; ///< with the fraction
};
[[nodiscard]] SplitTime SplitSecondsOfYear(double secondsOfYear);

/// Header fields are 16-bit: a wider value keeps its low 16 bits, as every
/// 16-bit field written from a 32-bit value does.
[[nodiscard]] inline std::int16_t To16(std::int64_t value)
{
    return static_cast<std::int16_t>(value);
}

} // namespace tessara
