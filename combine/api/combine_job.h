// The combine job: streams every trace of a list of SEG-Y inputs into a
// sequence of composite outputs, split by size, duration and time gap.
#pragma once

#include "combine/api/combine_settings.h"
#include "combine/api/follow_options.h"
#include "combine/api/job_host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessara
{

/// How a job ended.
enum class CombineOutcome {
    Done,             ///< every input was processed; the status line says "Done...."
    InvalidSettings,  ///< a setting was out of range; nothing was read or written
    WriteFailed,      ///< a file could not be written; the job stopped at once
    Stopped,          ///< the user stopped the job; what was written has its final name
    DirectoryRefused, ///< the output directory is not writeable, in use by another
                      ///< job, or holds an input as its working file; nothing was written
    AlreadyRunning,   ///< Run was called while this job was running; nothing changed
};

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
    std::int64_t dropped_clock_glitch = 0; ///< a time far from both its neighbours' in its input
    std::int64_t merged_into_pairs = 0;    ///< port traces carried inside a written pair
    std::int64_t removed_by_delay_scan =
        0;                              ///< written, then removed from an output (fill included)
    std::int64_t inputs_unreadable = 0; ///< skipped: not a readable SEG-Y file, or changed
                                        ///< after the job started
    std::int64_t inputs_same_file = 0;  ///< skipped: the same file as an earlier input
    std::int64_t inputs_without_navigation = 0; ///< skipped while speed correction is on
    std::int64_t outputs_discarded = 0;         ///< closed without a trace and deleted
    /// Traces written whose sample count differs from their output's file
    /// header (fill traces included): readers that go by the file header
    /// misread such an output.
    std::int64_t traces_other_length = 0;
    /// Real traces whose samples were converted with loss: from a
    /// floating-point input to an integer output format, or to a narrower
    /// integer format.
    std::int64_t traces_converted_with_loss = 0;
};

/// One completed output, under its final name.
struct OutputRecord {
    std::string path;
    std::int64_t traces = 0;        ///< trace records in the file, fill traces included
    std::int64_t fill_traces = 0;   ///< of which null traces (before any delay scan)
    std::int64_t bytes = 0;         ///< size of the file
    double first_trace_time = 0;    ///< seconds of its year, with milliseconds
    double last_trace_time = 0;     ///< seconds of its year, of the last real trace
    bool replaced_existing = false; ///< a file of that name, from before the job, was replaced
    bool speed_corrected = false;   ///< rewritten at a constant trace spacing
    double spacing_metres = 0;      ///< speed_corrected: the spacing, m
    std::int64_t traces_before_correction = 0; ///< speed_corrected: trace records before
};

/// An input the job skipped because it could not be read.
struct UnreadableInput {
    std::string path;
    std::string reason; ///< one line, without the path
};

/// Two inputs, one after the other in time order, whose recording times
/// overlap: the later starts before the earlier's last trace, so the output
/// goes back in time where the second begins.
struct OverlappingInputs {
    std::string earlier;
    std::string later;
};

/// What the last Run of a job did.
struct CombineResult {
    CombineOutcome outcome = CombineOutcome::Done;
    std::vector<OutputRecord> outputs; ///< in the order they were completed
    CombineSummary summary;
    /// WriteFailed: the path that could not be written, or with
    /// input_changed the input that failed while its output was written:
    /// it changed, went, could no longer be read, or gave a trace that
    /// could not be resampled for want of memory.
    std::string failed_path;
    bool input_changed = false;
    /// With input_changed, what became of the input, in the words that
    /// follow its path: "changed while the job was writing", "is gone",
    /// "cannot be read (REASON)" or "gave a trace that could not be
    /// resampled (out of memory)".
    std::string input_failure;
    /// Unreadable inputs, and inputs that changed after the job started
    /// (replaced or rewritten; they count as unreadable), in processing order.
    std::vector<UnreadableInput> unreadable_inputs;
    /// Inputs skipped because no trace of theirs has a position while speed
    /// correction is on, in processing order.
    std::vector<std::string> inputs_without_navigation;
    /// Inputs skipped as the same file as an earlier input, in processing
    /// order.
    std::vector<std::string> inputs_same_file;
    /// Inputs whose recording times overlap the input before them in the same
    /// output, in processing order (not with demultiplex_only).
    std::vector<OverlappingInputs> overlapping_inputs;
    /// Following: files left out, with why ("never completed", "starts
    /// before a file already taken", "changed after it was taken"), in
    /// the order they were found so.
    std::vector<UnreadableInput> inputs_left_out;
    /// The probe removed a working file left in the output directory by a
    /// job that did not end (killed, or the machine stopped).
    bool removed_leftover_working_file = false;
    /// The inputs' first traces carry different years, but not every one a
    /// plausible year: times are seconds of each trace's own year, so the
    /// inputs' order may be wrong.
    bool inputs_span_years = false;
};

/// One run of the combine job. It reads its settings through the reference
/// it was given once for each output, as it starts deciding it, so the front
/// end may change them while the job runs (inside IJobHost::PumpEvents) and
/// the change takes effect from the next output. It reaches its front end
/// only through the host. Memory does not grow with input size: traces are
/// streamed one at a time through three reusable traces; a speed-corrected
/// output keeps its fixes (about 100 bytes a record).
///
/// Each output is decided before it is written: reading the trace headers
/// of its inputs decides everything (the records taken and those left out
/// with their reasons, the fill traces, where the output closes, its
/// speed-corrected selection and the traces the delay scan removes, its
/// name, what the log and the front end are told) into a plan, and writes
/// nothing; a writer then carries the plan out, reading exactly the records
/// it lists and writing every trace once into the working file, which then
/// takes its final name.
class CCombineJob
{
public:
    CCombineJob(const CombineSettings& settings, IJobHost& host);
    ~CCombineJob();
    CCombineJob(const CCombineJob&) = delete;
    CCombineJob& operator=(const CCombineJob&) = delete;

    /// Runs the job into `outputDirectory`, which the front end chose. The
    /// job locks the directory for its whole run (a second job into it is
    /// refused with "Output directory ... is in use by another job"), refuses
    /// a working path that is a symbolic link ("SegyOut.sgy in ... is a link:
    /// remove it"; the link and its target stay as they are) and an input
    /// that is its working file, and probes that it can write there
    /// ("Selected output directory, ..., is not writeable"): each refusal is
    /// shown through the host and ends the run with DirectoryRefused before
    /// anything is read. Completed outputs carry their final names; a write
    /// failure stops the job with the working file left under its name and
    /// no input deleted or replaced. An input whose identity or version
    /// (device, inode, size, modification and change time) differs, when its
    /// output is decided, from what it was as the job started is skipped and
    /// counted with the unreadable ones. No working file remains after a job that
    /// ends with Done or Stopped. A call made while the job runs (from
    /// inside the host's PumpEvents) returns AlreadyRunning and changes
    /// nothing, the running job's Result included. When memory runs out,
    /// std::bad_alloc leaves Run with no working file behind.
    ///
    /// Once an output is decided, an input of it whose identity or version
    /// (the change time included) differs from what it was as the job
    /// started, before it is written or after, that has gone, can no longer
    /// be read or gives other records than were decided stops the job as a
    /// write failure of that input (failed_path), since what was decided no
    /// longer holds: the output keeps its working name. A stop request while
    /// an output is decided ends the job before it is written; one while it
    /// is written ends it at the trace in hand (its output record counts what
    /// was written), and no further output is opened.
    [[nodiscard]] CombineOutcome Run(const std::string& outputDirectory);

    /// Runs the job as Run does on inputs that arrive while it runs: the
    /// SEG-Y files of `follow.folders` (settings.input_files is not read),
    /// each taken once complete, in the order of their start times. An
    /// output is decided as its inputs arrive and written once it closes by
    /// the rules of a finished list, or, by the clock, when nothing in the
    /// folders has changed for longer than file_gap: it is then what a job
    /// on the same files gives, byte for byte. The host's stop request ends
    /// following: the files taken are decided and written whole and the job
    /// ends with Done. A file complete with a start before an input already
    /// decided, one changed after it was taken, and one not complete at the
    /// stop are left out and named (Result().inputs_left_out). Folders that
    /// are not folders, a settle time out of range or an output directory
    /// that is one of the folders end the run with InvalidSettings before
    /// anything is written; the output directory is refused as in Run.
    [[nodiscard]] CombineOutcome Follow(const std::string& outputDirectory,
                                        const FollowOptions& follow);

    /// A file the front end writes while the job runs (its log): no output
    /// takes its place, whatever its name; an output of that name gets the
    /// next free "_2", "_3", ... instead. Called before Run.
    void KeepFile(const std::string& path) { m_keptFiles.push_back(path); }

    /// Decides every output of the job and writes nothing: no lock, no
    /// working file, no log. The result holds the outputs the job would
    /// write (names, times, traces, bytes, spacing, whether they would
    /// replace a file) and the same summary a run would give.
    [[nodiscard]] CombineOutcome DryRun(const std::string& outputDirectory);

    /// What the last Run did; empty before the first. While the job runs it
    /// holds what has been done so far.
    [[nodiscard]] const CombineResult& Result() const;

    /// True from the start of Run to its return.
    [[nodiscard]] bool bIsRunning() const { return m_running; }

private:
    class CDriver;
    [[nodiscard]] CombineOutcome
    Start(const std::string& outputDirectory, bool dryRun, const FollowOptions* follow = nullptr);

    const CombineSettings& m_settings;
    IJobHost& m_host;
    std::unique_ptr<CDriver> m_driver;
    std::vector<std::string> m_keptFiles;
    bool m_running = false;
};

} // namespace tessara
