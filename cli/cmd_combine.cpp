// combine: the combine job on the command line. The log goes to stdout (or,
// with --log, to a file exactly as the log window would hold it), the status
// line and the job's progress become a progress line on stderr when stderr is
// a terminal, and at the end one line per output written and a summary of
// where every trace went.
#include "cli/cli_format.h"
#include "cli/cli_json.h"
#include "cli/commands.h"
#include "cli/output_target.h"
#include "cli/progress_line.h"
#include "cli/section_image.h"
#include "combine/api/combine_job.h"
#include "combine/api/combine_settings.h"
#include "combine/api/log_format.h"
#include "combine/api/output_directory.h"
#include "combine/api/output_folder_check.h"
#include "combine/api/summary_table.h"
#include "segy/tools/segy_file_tools.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessara::cli
{
namespace
{

struct CombineOptions {
    CLI::App* command = nullptr; // the values as the user typed them
    CombineSettings settings;
    std::string outputDirectory;
    std::string logPath;
    bool verbose = false;
    bool quicklook = false;
    bool dryRun = false;
    bool json = false;
    // Options whose presence switches a setting on, read after parsing.
    std::string knudsenLayout;
    std::optional<double> samplingFrequency;
    std::optional<double> traceSpacing;
    std::optional<int> navAverageFixes;
    std::optional<int> singleChannel;
    std::string sidescan;
    bool noNullTraces = false;
    bool noDelayScan = false;
    bool noFlipPort = false;
};

// The first SIGINT or SIGTERM asks the job to stop; the handler then steps
// aside, so that a second one ends the process at once.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void OnStopSignal(int signal)
{
    g_stopSignal = signal;
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
}

/// The command line's front end of the job.
class CCliJobHost : public IJobHost
{
public:
    CCliJobHost(std::FILE* log, bool verbose)
        : m_log(log), m_toStdout(log == stdout), m_verbose(verbose),
          m_progress(::isatty(STDERR_FILENO) == 1)
    {
    }

    void ClearLog() override
    {
        if (m_toStdout)
            return; // what was printed stays printed
        std::fflush(m_log);
        // A FIFO or a device is written into as it is: only a file is emptied.
        struct stat info {
        };
        if (::fstat(::fileno(m_log), &info) != 0 || !S_ISREG(info.st_mode))
            return;
        if (::ftruncate(::fileno(m_log), 0) != 0)
            m_logFailed = true;
        std::rewind(m_log);
    }

    void AppendLog(std::string_view text) override
    {
        if (m_toStdout) {
            // A terminal or a pipe wants the platform's line ends.
            std::string lines(text);
            for (std::size_t p = lines.find("\r\n"); p != std::string::npos;
                 p = lines.find("\r\n", p))
                lines.erase(p, 1);
            EndProgressLine();
            if (std::fwrite(lines.data(), 1, lines.size(), m_log) != lines.size())
                m_logFailed = true;
            return;
        }
        if (std::fwrite(text.data(), 1, text.size(), m_log) != text.size())
            m_logFailed = true;
    }

    [[nodiscard]] bool IsLogVisible() const override { return m_verbose; }

    [[nodiscard]] bool StopRequested() const override { return g_stopSignal != 0; }

    void SetStatus(std::string_view text) override
    {
        m_status.assign(text);
        ShowProgress(text == "Done....");
    }

    void Progress(const JobProgress& progress) override
    {
        m_jobProgress = progress;
        ShowProgress(false);
    }

    void PumpEvents() override {}

    void ShowMessage(std::string_view text) override
    {
        EndProgressLine();
        std::fflush(stdout);
        std::cerr << "tessara-cli: " << text << '\n';
    }

    void SetInputOrder(const std::vector<std::string>& /*paths*/) override {}

    /// Ends the progress line so that other text starts on a line of its own.
    void EndProgressLine()
    {
        if (m_progressOpen) {
            std::fputc('\n', stderr);
            m_progressOpen = false;
        }
    }

    [[nodiscard]] bool LogFailed() const { return m_logFailed; }

private:
    void ShowProgress(bool last)
    {
        if (!m_progress)
            return;
        // A terminal needs no more than a few updates a second.
        const auto now = std::chrono::steady_clock::now();
        if (m_shown && now - m_lastShown < std::chrono::milliseconds(100) && !last)
            return;
        m_lastShown = now;
        m_shown = true;
        winsize size{};
        const int columns =
            ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_started);
        const std::string line = ProgressLine(m_status, m_jobProgress, elapsed, columns);
        std::fflush(stdout);
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        std::fflush(stderr);
        m_progressOpen = true;
    }

    std::FILE* m_log;
    bool m_toStdout;
    bool m_verbose;
    bool m_progress;
    bool m_progressOpen = false;
    bool m_shown = false;
    bool m_logFailed = false;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_lastShown{};
    std::string m_status;
    JobProgress m_jobProgress;
};

/// Parses "PORT,STBD" into two integers.
bool ParseSidescan(const std::string& text, int& port, int& stbd)
{
    int used = 0;
    return std::sscanf(text.c_str(), "%d,%d%n", &port, &stbd, &used) == 2 &&
           static_cast<std::size_t>(used) == text.size();
}

/// Turns the presence options into settings; an error message on failure.
std::string FinishSettings(CombineOptions& o)
{
    using S = CombineSettings;
    S& s = o.settings;
    const SettingRow& frequency = SettingOf(&S::sampling_frequency);
    const SettingRow& spacing = SettingOf(&S::trace_spacing);
    // Both shape the speed correction only: without it they would be
    // accepted and have no effect.
    const std::string needsSpeedCorrection =
        std::string(" needs ") + SettingOf(&S::speed_correction).option;
    if (!s.speed_correction) {
        if (o.traceSpacing)
            return spacing.option + needsSpeedCorrection;
        if (o.navAverageFixes)
            return SettingOf(&S::nav_average_fixes).option + needsSpeedCorrection;
    }
    // A dry run writes nothing: an option that writes would be ignored.
    if (o.json && !o.dryRun)
        return "--json needs --dry-run";
    if (o.dryRun && !o.logPath.empty())
        return "--log cannot be used with --dry-run, which writes nothing";
    if (o.dryRun && o.quicklook)
        return "--quicklook cannot be used with --dry-run, which writes nothing";
    if (o.navAverageFixes)
        s.nav_average_fixes = *o.navAverageFixes;
    s.make_null_traces = !o.noNullTraces;
    s.delayscan = !o.noDelayScan;
    s.flip_port = !o.noFlipPort;
    if (!o.knudsenLayout.empty()) {
        s.fixupknudsen = true;
        s.knudsen_name_format =
            o.knudsenLayout == "dayonly" ? KnudsenNameFormat::DayOnly : KnudsenNameFormat::YearDay;
    }
    // The decimal settings keep the precision of their controls.
    if (o.samplingFrequency) {
        s.assign_sampling_frequency = true;
        s.sampling_frequency = WithSettingDecimals(frequency, *o.samplingFrequency);
    }
    if (o.traceSpacing) {
        s.spacing_mode = SpacingMode::Fixed;
        s.trace_spacing = WithSettingDecimals(spacing, *o.traceSpacing);
    }
    if (o.singleChannel) {
        s.demultiplex_single_channel = true;
        s.channel_id = *o.singleChannel;
    }
    if (!o.sidescan.empty()) {
        if (!ParseSidescan(o.sidescan, s.port_id, s.stbd_id))
            return std::string(SettingOf(&S::demultiplex_sidescan).option) + " " + o.sidescan +
                   ": expected PORT,STBD (two integers)";
        s.demultiplex_sidescan = true;
    }
    // The user-defined field has a value only for these lengths; any other
    // would give every trace channel 0.
    if (s.channel_field == 4 && s.channel_length != 1 && s.channel_length != 2 &&
        s.channel_length != 4)
        return std::string(SettingOf(&S::channel_field).option) + " 4 needs " +
               SettingOf(&S::channel_length).option + " 1, 2 or 4";
    return ValidateCombineSettings(s, CCliSettingWords(*o.command));
}

void PrintOutputs(const CombineResult& state)
{
    for (const OutputRecord& r : state.outputs) {
        std::cout << r.path << ": " << r.traces << " traces";
        if (r.fill_traces > 0)
            std::cout << " (" << r.fill_traces << " fill)";
        std::cout << ", " << r.bytes << " bytes, " << FormatSecondsOfYear(r.first_trace_time)
                  << " to " << FormatSecondsOfYear(r.last_trace_time);
        if (r.replaced_existing)
            std::cout << ", replaced an existing file";
        if (r.speed_corrected)
            std::cout << ", speed corrected at " << FormatLogNumber(r.spacing_metres) << " m from "
                      << r.traces_before_correction << " traces";
        std::cout << '\n';
    }
}

void PrintSummary(const CombineResult& state)
{
    const CombineSummary& s = state.summary;
    const auto line = [&s](SummaryLine which) {
        for (const SummaryRow& row : kSummaryRows) {
            const std::int64_t count = CountOf(s, row);
            if (row.line == which && (count > 0 || !row.onlyWhenAny))
                std::cout << row.before << row.label << ' ' << count;
        }
    };
    line(SummaryLine::Traces);
    std::cout << '\n';
    line(SummaryLine::Fill);
    std::cout << "\nOutputs " << state.outputs.size();
    line(SummaryLine::Files);
    std::cout << '\n';
    for (const std::string& path : state.inputs_without_navigation)
        std::cout << "Skipped without navigation: " << path << '\n';
    if (state.inputs_span_years)
        std::cout << "Warning: inputs span more than one year; their order may be wrong\n";
    // Other programs read such outputs by their file header, or read back
    // other values than were recorded: worth knowing before they are used.
    for (const SummaryRow& row : kSummaryRows) {
        if (row.line == SummaryLine::Warnings && CountOf(s, row) > 0)
            std::cout << row.label << ' ' << CountOf(s, row) << '\n';
    }
}

// The log must not take the place of a file the user needs: an input, or
// any SEG-Y file (a glob after --log puts one there); nor of a file the job
// writes, which would remove or replace it. A terminal, a FIFO or a device
// such as /dev/null is written into as it is.
std::string LogPathProblem(const CombineOptions& o)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(o.logPath, ec);
    if (fs::is_directory(status))
        return "--log " + o.logPath + " is a directory";
    if (fs::is_socket(status) || fs::is_block_file(status))
        return "--log " + o.logPath + " is a socket or block device, not a file to write a log to";
    for (const std::string& input : o.settings.input_files) {
        if (fs::equivalent(o.logPath, input, ec))
            return "--log " + o.logPath + " is one of the inputs";
    }
    if (fs::is_regular_file(status) && SegyOpenFailure(o.logPath).empty())
        return "--log " + o.logPath + " is an existing SEG-Y file";
    const fs::path log = fs::weakly_canonical(o.logPath, ec);
    if (!ec && log.parent_path() == fs::weakly_canonical(o.outputDirectory, ec) && !ec &&
        bIsJobFileName(o.settings, log.filename().string()))
        return "--log " + o.logPath + " is a name the job may give a file in " + o.outputDirectory;
    return {};
}

/// Creates the output directory and the folders above it that are missing;
/// `created` gets the folders made, deepest first. An error message on
/// failure (what was made by then is in `created`).
std::string CreateOutputDirectory(const std::string& directory,
                                  std::vector<std::filesystem::path>& created)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(directory, ec))
        return {}; // whether the job may write there is the job's to say
    std::vector<fs::path> missing;
    for (fs::path p = fs::absolute(directory, ec).lexically_normal(); !p.empty() && !ec;
         p = p.parent_path()) {
        if (fs::exists(p, ec) || p == p.parent_path())
            break;
        missing.push_back(p);
    }
    for (auto p = missing.rbegin(); p != missing.rend(); ++p) {
        const bool made = fs::create_directory(*p, ec);
        if (ec)
            return "cannot create output directory " + directory + " (" + ec.message() + ")";
        if (made) // else another process made it meanwhile: not ours to remove
            created.insert(created.begin(), *p);
    }
    return {};
}

/// Removes the folders CreateOutputDirectory made, as long as they are empty.
void RemoveCreatedDirectories(const std::vector<std::filesystem::path>& created)
{
    std::error_code ec;
    for (const std::filesystem::path& p : created)
        (void)std::filesystem::remove(p, ec); // a folder no longer empty stays
}

/// NAME.png beside every output with its final name. A quicklook is an aid,
/// not part of the job: one that cannot be made is named, and a stop ends
/// the pictures, not the command.
void WriteQuicklooks(const CombineResult& result, CTemporaryFileOnStop& onStop)
{
    if (result.outputs.empty() || onStop.bStopRequested())
        return;
    const CGuiForPainting gui;
    for (const OutputRecord& output : result.outputs) {
        std::string error;
        if (WriteQuicklook(output.path, onStop, error))
            std::cout << "Quicklook: " << QuicklookPath(output.path) << std::endl;
        else if (!error.empty())
            std::cerr << "tessara-cli: " << QuicklookPath(output.path)
                      << ": quicklook not written: " << error << '\n';
        if (onStop.bStopRequested())
            return;
    }
}

/// The exit code of a job that ended with `outcome`, `failed` when
/// something it was asked for was not done.
int CombineExitCode(CombineOutcome outcome, bool failed)
{
    switch (outcome) {
    case CombineOutcome::Done:
        return failed ? kExitFailure : kExitOk;
    case CombineOutcome::Stopped:
        return kExitStopped;
    case CombineOutcome::InvalidSettings:
        return kExitUsage;
    case CombineOutcome::WriteFailed:
    case CombineOutcome::DirectoryRefused:
    case CombineOutcome::AlreadyRunning:
        break;
    }
    return kExitFailure;
}

constexpr const char* kSameFileReason = "same file as an earlier input";

/// The outputs a dry run found, as a table.
void PrintPlannedOutputs(const CombineResult& result, const std::string& folderFindings)
{
    std::printf("%-9s %-9s %-13s %-17s %-17s %-8s %-9s %s\n",
                "Traces",
                "Fill",
                "Bytes",
                "First trace",
                "Last trace",
                "Spacing",
                "Replaces",
                "Output");
    for (const OutputRecord& r : result.outputs) {
        const std::string spacing =
            r.speed_corrected ? FormatLogNumber(r.spacing_metres) + " m" : std::string("-");
        std::printf("%-9lld %-9lld %-13lld %-17s %-17s %-8s %-9s %s\n",
                    static_cast<long long>(r.traces),
                    static_cast<long long>(r.fill_traces),
                    static_cast<long long>(r.bytes),
                    FormatSecondsOfYear(r.first_trace_time).c_str(),
                    FormatSecondsOfYear(r.last_trace_time).c_str(),
                    spacing.c_str(),
                    r.replaced_existing ? "yes" : "no",
                    r.path.c_str());
    }
    for (const UnreadableInput& input : result.unreadable_inputs)
        std::printf("Would skip %s: %s\n", input.path.c_str(), input.reason.c_str());
    for (const std::string& path : result.inputs_same_file)
        std::printf("Would skip %s: %s\n", path.c_str(), kSameFileReason);
    if (!folderFindings.empty())
        std::printf("%s\n", folderFindings.c_str());
    std::fflush(stdout);
}

Json OutputJson(const OutputRecord& r)
{
    Json output{{"path", r.path},
                {"first_trace_time", FormatSecondsOfYear(r.first_trace_time)},
                {"last_trace_time", FormatSecondsOfYear(r.last_trace_time)},
                {"traces", r.traces},
                {"fill_traces", r.fill_traces},
                {"bytes", r.bytes},
                {"speed_corrected", r.speed_corrected}};
    if (r.speed_corrected) {
        // The spacing as the report words it, so that both give one value.
        output["spacing_metres"] = NumberOfText(FormatLogNumber(r.spacing_metres));
        output["traces_before_correction"] = r.traces_before_correction;
    }
    output["replaces_existing"] = r.replaced_existing;
    return output;
}

/// The same as one JSON document.
Json PlanJson(const CombineResult& result, const OutputFolderFindings& folder)
{
    Json outputs = Json::array();
    for (const OutputRecord& r : result.outputs)
        outputs.push_back(OutputJson(r));
    Json skipped = Json::array();
    for (const UnreadableInput& input : result.unreadable_inputs)
        skipped.push_back(Json{{"path", input.path}, {"reason", input.reason}});
    for (const std::string& path : result.inputs_without_navigation)
        skipped.push_back(Json{{"path", path}, {"reason", "without navigation"}});
    for (const std::string& path : result.inputs_same_file)
        skipped.push_back(Json{{"path", path}, {"reason", kSameFileReason}});
    Json summary = Json::object();
    for (const SummaryRow& row : kSummaryRows)
        summary[std::string(row.key)] = CountOf(result.summary, row);
    return Json{
        {"outputs", outputs},
        {"skipped_inputs", skipped},
        {"summary", summary},
        {"inputs_span_years", result.inputs_span_years},
        {"output_folder", {{"inputs", folder.inputs}, {"earlier_outputs", folder.earlierOutputs}}}};
}

/// Every deciding pass of the job, nothing written.
int RunDryRun(CombineOptions& o)
{
    (void)std::signal(SIGPIPE, SIG_IGN);
    (void)std::signal(SIGINT, OnStopSignal);
    (void)std::signal(SIGTERM, OnStopSignal);
    CCliJobHost host(stdout, false);
    CCombineJob job(o.settings, host);
    const OutputFolderFindings folder = CheckOutputFolder(o.settings, o.outputDirectory);
    const CombineOutcome outcome = job.DryRun(o.outputDirectory);
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
    const CombineResult& result = job.Result();
    if (outcome == CombineOutcome::InvalidSettings)
        return kExitUsage;
    if (o.json) {
        PrintJsonDocument(PlanJson(result, folder));
    } else {
        PrintPlannedOutputs(result, DescribeOutputFolder(o.outputDirectory, folder));
        PrintSummary(result);
    }
    std::cout.flush();
    if (outcome == CombineOutcome::Stopped)
        return kExitStopped;
    if (result.outputs.empty()) {
        std::cerr << "tessara-cli: " << WhyNoOutput(result.summary) << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

int RunCombine(CombineOptions& o)
{
    if (const std::string problem = FinishSettings(o); !problem.empty()) {
        std::cerr << "tessara-cli: " << problem << '\n';
        return kExitUsage;
    }
    if (o.dryRun)
        return RunDryRun(o);
    std::FILE* log = stdout;
    bool logCreated = false;
    if (!o.logPath.empty()) {
        if (const std::string problem = LogPathProblem(o); !problem.empty()) {
            std::cerr << "tessara-cli: " << problem << '\n';
            return kExitUsage;
        }
        std::error_code ec;
        logCreated = !std::filesystem::exists(o.logPath, ec);
        // Not truncated here: the job empties the log when it starts, after
        // it has made sure it may write into the output directory.
        log = std::fopen(o.logPath.c_str(), "ab");
        if (log == nullptr) {
            std::cerr << "tessara-cli: Cannot write " << o.logPath << '\n';
            return kExitFailure;
        }
    }
    std::vector<std::filesystem::path> createdDirectories;
    if (const std::string problem = CreateOutputDirectory(o.outputDirectory, createdDirectories);
        !problem.empty()) {
        std::cerr << "tessara-cli: " << problem << '\n';
        RemoveCreatedDirectories(createdDirectories);
        if (log != stdout)
            (void)std::fclose(log); // nothing was written to it
        if (logCreated)
            (void)std::remove(o.logPath.c_str());
        return kExitFailure;
    }
    // What the user may not have meant: told, not refused, as the window
    // asks before it starts.
    if (const std::string findings = DescribeOutputFolder(
            o.outputDirectory, CheckOutputFolder(o.settings, o.outputDirectory));
        !findings.empty())
        std::cerr << "tessara-cli: warning: " << findings << '\n';
    // A file-size limit must show as a failed write that the job reports,
    // not end the process with the output half written; and a reader of the
    // log that goes away must not end the job with its output half written.
    (void)std::signal(SIGXFSZ, SIG_IGN);
    (void)std::signal(SIGPIPE, SIG_IGN);
    (void)std::signal(SIGINT, OnStopSignal);
    (void)std::signal(SIGTERM, OnStopSignal);

    CCliJobHost host(log, o.verbose);
    CCombineJob job(o.settings, host);
    if (!o.logPath.empty())
        job.KeepFile(o.logPath);
    const CombineOutcome outcome = job.Run(o.outputDirectory);
    (void)std::signal(SIGINT, SIG_DFL);
    (void)std::signal(SIGTERM, SIG_DFL);
    host.EndProgressLine();
    bool logFailed = host.LogFailed();
    if (log != stdout)
        logFailed = std::fclose(log) != 0 || logFailed;
    std::fflush(stdout);

    const CombineResult& result = job.Result();
    if (outcome == CombineOutcome::DirectoryRefused) {
        if (logCreated)
            (void)std::remove(o.logPath.c_str()); // nothing was logged
        RemoveCreatedDirectories(createdDirectories);
        return kExitFailure;
    }
    if (result.removed_leftover_working_file)
        std::cerr << "tessara-cli: removed " << kWorkingFileName << " left in " << o.outputDirectory
                  << " by an earlier job that did not finish\n";
    // The pictures come after the job's report: a stop from here on ends
    // them, and the report stands, with the job's exit code.
    const bool quicklooks = o.quicklook && outcome != CombineOutcome::Stopped;
    std::optional<CTemporaryFileOnStop> onStop;
    if (quicklooks)
        onStop.emplace(true);
    PrintOutputs(result);
    PrintSummary(result);
    std::cout.flush();
    bool failed = logFailed;
    // A log on stdout that could not be written is reported with the rest
    // of stdout, when the command ends.
    if (logFailed && !o.logPath.empty())
        std::cerr << "tessara-cli: Cannot write " << o.logPath << '\n';
    for (const UnreadableInput& input : result.unreadable_inputs) {
        std::cerr << "tessara-cli: " << input.path << ": " << input.reason << '\n';
        failed = true;
    }
    if (outcome == CombineOutcome::Done && result.outputs.empty()) {
        std::cerr << "tessara-cli: " << WhyNoOutput(result.summary) << '\n';
        failed = true;
    }
    if (quicklooks)
        WriteQuicklooks(result, *onStop);
    return CombineExitCode(outcome, failed);
}

} // namespace

void RegisterCombine(CLI::App& app, std::vector<Command>& commands)
{
    using S = CombineSettings;
    auto o = std::make_shared<CombineOptions>();
    S& s = o->settings;
    auto* sub = app.add_subcommand(
        "combine", "Order, repair and combine SEG-Y files into composite files in a directory");
    o->command = sub;
    sub->add_option("-o,--output-dir",
                    o->outputDirectory,
                    "Directory for the composite files (created when missing)")
        ->required();
    sub->add_option("FILE", s.input_files, "Input SEG-Y files, processed in the order given")
        ->required();

    AddSettingOption(
        *sub, SettingOf(&S::max_file_size), s.max_file_size, "Size limit of one output")
        ->capture_default_str();
    AddSettingOption(*sub,
                     SettingOf(&S::time_duration_limit),
                     s.time_duration_limit,
                     "Duration limit of one output")
        ->capture_default_str();
    AddSettingOption(
        *sub, SettingOf(&S::file_gap), s.file_gap, "Largest time gap inside one output")
        ->capture_default_str();
    sub->add_flag(SettingOf(&S::make_null_traces).option,
                  o->noNullTraces,
                  "Do not fill short gaps with null traces");
    sub->add_flag(SettingOf(&S::demultiplex_only).option,
                  s.demultiplex_only,
                  "No ordering, gap filling or resampling; one output per input");
    AddSettingOption(
        *sub, SettingOf(&S::timecorrection), s.timecorrection, "Added to every trace time")
        ->capture_default_str();
    sub->add_flag(
        SettingOf(&S::delayscan).option, o->noDelayScan, "Keep traces with rare extreme delays");
    sub->add_option(SettingOf(&S::fixupknudsen).option,
                    o->knudsenLayout,
                    "Take the trace day from the file name: yearday (0001_2003_255_1735) or "
                    "dayonly (0001_255_1735)")
        ->check(CLI::IsMember({"yearday", "dayonly"}));
    const SettingRow& frequency = SettingOf(&S::sampling_frequency);
    sub->add_option(frequency.option,
                    o->samplingFrequency,
                    SettingHelp("Resample every trace to this frequency", frequency) +
                        "; the interval 1000000/f must be 1..32767 us");
    sub->add_flag(SettingOf(&S::speed_correction).option,
                  s.speed_correction,
                  "Re-space the traces of every output to a constant distance along the track "
                  "(inputs without navigation are skipped, traces without it dropped)");
    AddSettingOption(*sub,
                     SettingOf(&S::nav_average_fixes),
                     o->navAverageFixes,
                     "Half-width of the navigation smoothing, default " +
                         std::to_string(S{}.nav_average_fixes));
    AddSettingOption(*sub,
                     SettingOf(&S::trace_spacing),
                     o->traceSpacing,
                     "Fixed trace spacing for the speed correction, default: the median");
    sub->add_option(
           SettingOf(&S::Expedition).option, s.Expedition, "First element of every output name")
        ->capture_default_str();
    const std::string nameElement = "Output name element (when 2+ characters)";
    sub->add_option(SettingOf(&S::data_type).option, s.data_type, nameElement);
    sub->add_option(SettingOf(&S::instrument_type).option, s.instrument_type, nameElement);
    sub->add_option(SettingOf(&S::xcdr).option, s.xcdr, nameElement);
    AddSettingOption(
        *sub, SettingOf(&S::channel_id), o->singleChannel, "Keep only the traces of this channel");
    AddSettingOption(*sub,
                     SettingOf(&S::port_id),
                     o->sidescan,
                     "Pair port and starboard traces: PORT,STBD channel numbers");
    AddSettingOption(*sub,
                     SettingOf(&S::channel_field),
                     s.channel_field,
                     "Channel in: 0 traceSequenceFile, 1 traceInEnsemble, 2 traceIdCode, "
                     "3 digitizerChannel, 4 --channel-start/--channel-length")
        ->capture_default_str();
    AddSettingOption(
        *sub, SettingOf(&S::channel_start), s.channel_start, "First byte of the channel field")
        ->capture_default_str();
    AddSettingOption(
        *sub, SettingOf(&S::channel_length), s.channel_length, "Bytes of the channel field")
        ->capture_default_str();
    sub->add_flag(
        SettingOf(&S::flip_port).option, o->noFlipPort, "Keep the port samples in recorded order");
    sub->add_option("--log", o->logPath, "Write the log to this file (CR LF line ends)");
    sub->add_flag("--quicklook",
                  o->quicklook,
                  "Also write the section picture NAME.png beside each output NAME.sgy (a "
                  "picture that cannot be written is reported and does not fail the job)");
    sub->add_flag("--verbose", o->verbose, "Log as with the log window shown (Ave Time lines)");
    sub->add_flag("--dry-run",
                  o->dryRun,
                  "Decide every output and write nothing: a table of the outputs the job would "
                  "write, the inputs it would skip, and the summary of a real run");
    sub->add_flag("--json", o->json, "With --dry-run: the same as one JSON document");
    commands.push_back({sub, [o] { return RunCombine(*o); }});
}

} // namespace tessara::cli
