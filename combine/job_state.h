// The state of one combine job, shared by the job driver and its steps.
//
// Every step of the job (input scan, output files, time corrections and gap
// filling, demultiplexing, delay scan, speed correction) is a free function
// taking a JobContext: the settings (read where used), the front end, and
// this state. A step that needs state of its own declares it in its own
// header and it is held here as a member.
#pragma once

#include "combine/api/combine_settings.h"
#include "combine/api/job_host.h"
#include "combine/delay_scan.h"
#include "combine/demultiplex.h"
#include "combine/speed_correction.h"
#include "combine/time_correction.h"
#include "segy/io/segy_file_out.h"
#include "trace/resample.h"
#include "trace/segy_trace.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tessara
{

/// Line end of the processing log.
constexpr std::string_view kNL = "\r\n";
/// Name of the output being written, in the output directory, until it is
/// closed and moved to its final name; also the writability probe.
constexpr const char* kWorkingFileName = "SegyOut.sgy";

/// Where every trace read by the job went. traces_read equals traces_written
/// + traces_unfinished + merged_into_pairs + the dropped_* counts at the end of
/// every job; fill traces are extra (made by the job, not read).
struct CombineSummary {
    std::int64_t traces_read = 0;          ///< delivered by the reader in the combine pass
    std::int64_t traces_written = 0;       ///< real traces in outputs that were completed
    std::int64_t traces_filled = 0;        ///< null traces in outputs that were completed
    std::int64_t traces_unfinished = 0;    ///< real traces of an output a write failure cut short
    std::int64_t dropped_reference = 0;    ///< an input's reference trace and traces before it
    std::int64_t dropped_before_start = 0; ///< earlier than the output's first trace
    std::int64_t dropped_resampling = 0;   ///< could not be resampled to the job's interval
    std::int64_t dropped_empty = 0;        ///< a record without samples
    std::int64_t dropped_channel = 0;      ///< channel not kept, or a port trace in no written pair
    std::int64_t dropped_implausible = 0;  ///< sidescan pairs dropped as implausible
    std::int64_t dropped_navigation = 0;   ///< no position while speed correction is on
    std::int64_t merged_into_pairs = 0;    ///< port traces carried inside a written pair
    std::int64_t removed_by_delay_scan =
        0;                             ///< written, then removed from an output (fill included)
    int inputs_unreadable = 0;         ///< skipped: not a readable SEG-Y file
    int inputs_without_navigation = 0; ///< skipped while speed correction is on
    int outputs_discarded = 0;         ///< closed without a trace and deleted
};

/// One completed output, under its final name.
struct OutputRecord {
    std::string path;
    std::int64_t traces = 0;      ///< trace records in the file, fill traces included
    std::int64_t fill_traces = 0; ///< of which null traces (before any delay scan)
    std::int64_t bytes = 0;       ///< size of the file
    double first_trace_time = 0;  ///< seconds of year, with milliseconds
    double last_trace_time = 0;   ///< seconds of year of the last real trace
};

/// Bookkeeping of the working output since it was opened.
struct WorkingOutput {
    std::int64_t traces = 0;      ///< records written, fill included
    std::int64_t fill_traces = 0; ///< of which null traces
    double first_trace_time = 0;  ///< of the first real trace written
};

/// The job's state; names follow the job's description where it has them.
struct CombineJobState {
    std::string output_directory;
    std::string working_path; ///< output_directory + "/" + kWorkingFileName

    /// The inputs in processing order: the settings' list at job start, then
    /// reordered by the input scan.
    std::vector<std::string> input_files;
    /// Per input, in the order of input_files. start_times: seconds of year
    /// with milliseconds of its first trace after day repair and time
    /// correction (all 0 with demultiplex_only). file_times: truncated to whole
    /// seconds. start_known: the scan read a first trace; inputs without one
    /// are passed over when the job looks for the next input's start time.
    /// file_order: for each position, the input's position in the list the
    /// job started with. A scan that reorders permutes all four alike.
    std::vector<double> start_times;
    std::vector<std::int32_t> file_times;
    std::vector<bool> start_known;
    std::vector<std::int32_t> file_order;

    std::string current_file;          ///< path of the input being read
    std::size_t current_input = 0;     ///< its position in input_files
    std::int32_t target_interval = -1; ///< us; -1 until the first trace sets it
    bool output_open = false;          ///< an output is open and has met its first trace
    double output_start_time = 0;      ///< whole seconds of year of that first trace
    double last_trace_time = 0;        ///< seconds of year of the last trace written
    std::int64_t running_size = 0;     ///< bytes, the size measure of the limits
    std::int32_t trace_count = 0;      ///< traces written from this input, fill included
    double average_interval = 1.0;     ///< s, mean trace interval of this input

    CSegyTrace trace;      ///< the working trace every read goes into
    CSegyTrace null_trace; ///< header of the last trace written, zero samples
    CSegyTrace pair_trace; ///< sidescan pair: port header, port + starboard samples
    CSegyFileOut segy_out; ///< one writer for every output of the job
    std::unique_ptr<CTraceResampler> resampler; ///< made on first use

    WorkingOutput output;
    TimeCorrectionState time_correction;
    DemultiplexState demultiplex;
    DelayScanState delay_scan;
    SpeedCorrectionState speed;

    std::set<std::string> produced_paths; ///< final names this job has given
    std::vector<OutputRecord> outputs;
    CombineSummary summary;

    /// A write failed: the job stops and failed_path names what could not be written.
    bool failed = false;
    std::string failed_path;
};

/// What every step receives.
struct JobContext {
    const CombineSettings& settings;
    IJobHost& host;
    CombineJobState& state;

    void Log(std::string_view text) const { host.AppendLog(text); }
};

} // namespace tessara
