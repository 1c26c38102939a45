// combine: the combine job on the command line: its options, turned into
// the job's settings, and its run. The log goes to stdout (or, with --log, to
// a file exactly as the log window would hold it), the status line and the
// job's progress become a progress line on stderr when stderr is a terminal,
// and at the end one line per output written and a summary of where every
// trace went.
#include "cli/cli_format.h"
#include "cli/cli_job_host.h"
#include "cli/combine_report.h"
#include "cli/commands.h"
#include "cli/follow_host.h"
#include "cli/job_files.h"
#include "cli/nav_track.h"
#include "cli/output_target.h"
#include "cli/section_image.h"
#include "combine/api/combine_job.h"
#include "combine/api/combine_settings.h"
#include "combine/api/output_directory.h"
#include "combine/api/output_folder_check.h"
#include "combine/api/settings_profile.h"
#include "combine/api/summary_table.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace tessara::cli
{
namespace
{

/// The first element of every output name when --expedition is not given:
/// one word, since a shell user types the names.
constexpr const char* kDefaultExpedition = "Survey";

/// The settings before any option or profile: the table's defaults, with
/// the command line's expedition name.
CombineSettings CliDefaults()
{
    CombineSettings s;
    s.Expedition = kDefaultExpedition;
    return s;
}

struct CombineOptions {
    CLI::App* command = nullptr; // the values as the user typed them
    CombineSettings settings = CliDefaults();
    std::string profilePath;     ///< --settings
    std::string saveProfilePath; ///< --save-settings
    std::string outputDirectory;
    std::string logPath;
    bool verbose = false;
    bool quicklook = false;
    bool dryRun = false;
    bool json = false;
    bool follow = false;
    std::optional<double> settleSeconds;
    std::string trackPath;
    long long trackPoints = 100;
    // Options whose presence switches a setting on, read after parsing.
    std::string knudsenLayout;
    std::optional<double> samplingFrequency;
    std::optional<double> traceSpacing;
    std::optional<int> navAverageFixes;
    std::optional<int> singleChannel;
    std::string sidescan;
    std::string antennaOffset;
    bool noNullTraces = false;
    bool noDelayScan = false;
    bool noFlipPort = false;
};

/// Parses "PORT,STBD" into two integers.
bool ParseSidescan(const std::string& text, int& port, int& stbd)
{
    int used = 0;
    return std::sscanf(text.c_str(), "%d,%d%n", &port, &stbd, &used) == 2 &&
           static_cast<std::size_t>(used) == text.size();
}

/// Parses "ALONG,ACROSS" into two numbers.
bool ParseAntennaOffset(const std::string& text, double& along, double& across)
{
    int used = 0;
    return std::sscanf(text.c_str(), "%lf,%lf%n", &along, &across, &used) == 2 &&
           static_cast<std::size_t>(used) == text.size();
}

/// The navigation options into settings; an error message on failure.
std::string FinishNavigation(CombineOptions& o)
{
    using S = CombineSettings;
    S& s = o.settings;
    // Both shape how the navigation files are read: without them they
    // would have no effect.
    if (s.navigation_files.empty()) {
        for (const SettingRow* row :
             {&SettingOf(&S::navigation_max_gap), &SettingOf(&S::navigation_epsg)}) {
            if (o.command->count(row->option) > 0)
                return std::string(row->option) + " needs --navigation";
        }
    }
    if (!o.antennaOffset.empty() &&
        !ParseAntennaOffset(o.antennaOffset, s.antenna_offset_along, s.antenna_offset_across))
        return std::string(SettingOf(&S::antenna_offset_along).option) + " " + o.antennaOffset +
               ": expected ALONG,ACROSS (two numbers of metres)";
    for (const SettingRow* row : {&SettingOf(&S::navigation_max_gap),
                                  &SettingOf(&S::antenna_offset_along),
                                  &SettingOf(&S::antenna_offset_across),
                                  &SettingOf(&S::layback)}) {
        double& value = s.*std::get<double S::*>(row->member);
        value = WithSettingDecimals(*row, value);
    }
    return "";
}

/// What --follow watches: the FILE arguments as folders.
FollowOptions FollowFrom(const CombineOptions& o)
{
    FollowOptions follow;
    follow.folders = o.settings.input_files;
    follow.settleSeconds = o.settleSeconds.value_or(follow.settleSeconds);
    return follow;
}

/// --track and --track-points: refused when they cannot work.
std::string TrackOptionsProblem(const CombineOptions& o)
{
    if (o.trackPath.empty())
        return {};
    if (o.dryRun)
        return "--track cannot be used with --dry-run, which writes nothing";
    if (std::string problem = TrackNameProblem("--track", o.trackPath, std::nullopt);
        !problem.empty())
        return problem;
    return OptionRangeProblem(*o.command, "--track-points", o.trackPoints, 1, kMaxShotPointEvery);
}

/// Whether the option of `setting` was given on the command line.
bool bGiven(const CombineOptions& o, const SettingRow& setting)
{
    const CLI::Option* option = o.command->get_option_no_throw(setting.option);
    return option != nullptr && option->count() > 0;
}

/// The settings of the profile --settings names, with every setting whose
/// option was given on the command line as given; an error message on failure.
std::string ApplyProfile(CombineOptions& o)
{
    using S = CombineSettings;
    CombineSettings merged = CliDefaults();
    if (std::string problem = LoadSettingsProfile(o.profilePath, merged); !problem.empty())
        return problem;
    for (const SettingRow& setting : kCombineSettings)
        if (bGiven(o, setting))
            CopySetting(setting, o.settings, merged);
    // A demultiplex mode asked for here replaces the profile's other one, as
    // switching it on in the options dialog does.
    if (bGiven(o, SettingOf(&S::demultiplex_single_channel)))
        merged.demultiplex_sidescan = false;
    if (bGiven(o, SettingOf(&S::demultiplex_sidescan)))
        merged.demultiplex_single_channel = false;
    merged.input_files = std::move(o.settings.input_files);
    merged.navigation_files = std::move(o.settings.navigation_files);
    o.settings = std::move(merged);
    return {};
}

/// Turns the presence options and the profile into settings; an error
/// message on failure.
std::string FinishSettings(CombineOptions& o)
{
    using S = CombineSettings;
    S& s = o.settings;
    const SettingRow& frequency = SettingOf(&S::sampling_frequency);
    const SettingRow& spacing = SettingOf(&S::trace_spacing);
    // A dry run writes nothing: an option that writes would be ignored.
    if (o.json && !o.dryRun)
        return "--json needs --dry-run";
    if (o.dryRun && !o.logPath.empty())
        return "--log cannot be used with --dry-run, which writes nothing";
    if (o.dryRun && o.quicklook)
        return "--quicklook cannot be used with --dry-run, which writes nothing";
    if (o.dryRun && !o.saveProfilePath.empty())
        return "--save-settings cannot be used with --dry-run, which writes nothing";
    if (const std::string problem = TrackOptionsProblem(o); !problem.empty())
        return problem;
    if (o.follow && o.dryRun)
        return "--follow cannot be used with --dry-run: the files to come cannot be decided";
    if (o.settleSeconds && !o.follow)
        return "--settle needs --follow";
    if (o.settleSeconds) {
        if (std::string problem = OptionRealRangeProblem(
                *o.command, "--settle", *o.settleSeconds, kMinSettleSeconds, kMaxSettleSeconds);
            !problem.empty())
            return problem;
    }
    if (o.follow) {
        if (const std::string problem = FollowProblem(FollowFrom(o), o.outputDirectory);
            !problem.empty())
            return problem;
    }
    if (o.navAverageFixes)
        s.nav_average_fixes = *o.navAverageFixes;
    if (std::string problem = FinishNavigation(o); !problem.empty())
        return problem;
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
    if (!o.profilePath.empty()) {
        if (std::string problem = ApplyProfile(o); !problem.empty())
            return problem;
    }
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
    // The user-defined field has a value only for these lengths; any other
    // would give every trace channel 0.
    if (s.channel_field == 4 && s.channel_length != 1 && s.channel_length != 2 &&
        s.channel_length != 4)
        return std::string(SettingOf(&S::channel_field).option) + " 4 needs " +
               SettingOf(&S::channel_length).option + " 1, 2 or 4";
    return ValidateCombineSettings(s, CCliSettingWords(*o.command));
}

/// NAME.png beside every output with its final name. A quicklook is an aid,
/// not part of the job: one that cannot be made is named, and a stop ends
/// the pictures, not the command.
void WriteQuicklooks(const CombineResult& result,
                     const CombineSettings& settings,
                     CTemporaryFileOnStop& onStop)
{
    if (result.outputs.empty() || onStop.bStopRequested())
        return;
    const CGuiForPainting gui;
    for (const OutputRecord& output : result.outputs) {
        std::string error;
        if (WriteQuicklook(output.path, QuicklookOptions(settings), onStop, error))
            std::cout << "Quicklook: " << QuicklookPath(output.path) << std::endl;
        else if (!error.empty())
            std::cerr << "tessara-cli: " << QuicklookPath(output.path)
                      << ": quicklook not written: " << error << '\n';
        if (onStop.bStopRequested())
            return;
    }
}

std::vector<std::string> OutputPaths(const CombineResult& result)
{
    std::vector<std::string> paths;
    for (const OutputRecord& output : result.outputs)
        paths.push_back(output.path);
    return paths;
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

/// Every output of the job decided, nothing written.
int RunDryRun(CombineOptions& o)
{
    (void)std::signal(SIGPIPE, SIG_IGN);
    CCliJobHost host(stdout, false);
    CCombineJob job(o.settings, host);
    OutputFolderFindings folder;
    const CombineOutcome outcome = [&] {
        const CStopSignals stopSignals;
        folder = CheckOutputFolder(o.settings, o.outputDirectory);
        return job.DryRun(o.outputDirectory);
    }();
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

/// What a job that started tells once it has ended, `logFailed` when its
/// log could not be written whole; the exit code.
int ReportCombine(const CombineOptions& o,
                  const CombineResult& result,
                  CombineOutcome outcome,
                  bool logFailed)
{
    if (result.removed_leftover_working_file)
        std::cerr << "tessara-cli: removed " << kWorkingFileName << " left in " << o.outputDirectory
                  << " by an earlier job that did not finish\n";
    // The pictures come after the job's report: a stop from here on ends
    // them, and the report stands, with the job's exit code.
    // A followed job drew each picture as its output was written.
    const bool quicklooks = o.quicklook && !o.follow && outcome != CombineOutcome::Stopped;
    const bool track =
        !o.trackPath.empty() && outcome != CombineOutcome::Stopped && !result.outputs.empty();
    std::optional<CTemporaryFileOnStop> onStop;
    if (quicklooks || track)
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
    // Following, a file left out is what the recorder did, not a failure.
    for (const UnreadableInput& input : result.inputs_left_out)
        std::cerr << "tessara-cli: " << input.path << ": left out, " << input.reason << '\n';
    if (outcome == CombineOutcome::Done && result.outputs.empty()) {
        std::cerr << "tessara-cli: " << WhyNoOutput(result.summary) << '\n';
        failed = true;
    }
    if (quicklooks)
        WriteQuicklooks(result, o.settings, *onStop);
    // The composites stand whatever becomes of their track.
    if (track && !onStop->bStopRequested() &&
        !WriteTracksOf(OutputPaths(result),
                       {o.settings.nav_average_fixes, std::nullopt, o.trackPoints},
                       o.trackPath,
                       *onStop))
        failed = true;
    return CombineExitCode(outcome, failed);
}

/// Without input files the command only saves a profile: an option of the
/// job would be ignored. The required arguments in the parser's words.
std::string ArgumentsProblem(const CombineOptions& o)
{
    if (!o.settings.input_files.empty() || o.saveProfilePath.empty()) {
        if (o.outputDirectory.empty())
            return "--output-dir is required";
        if (o.settings.input_files.empty())
            return "FILE is required";
        return {};
    }
    for (const char* name : {"--output-dir", "--log", "--quicklook", "--verbose", "--dry-run"})
        if (o.command->get_option(name)->count() > 0)
            return std::string(name) +
                   " needs input files: without them the settings are only saved";
    return {};
}

/// Writes the profile of the settings to --save-settings FILE; the exit
/// code: kExitOk when written.
int SaveProfile(const CombineOptions& o)
{
    // Never over an input, a SEG-Y file or an output of the job.
    if (const std::string problem =
            LogPathProblem(o.saveProfilePath, o.settings, o.outputDirectory, "--save-settings");
        !problem.empty()) {
        std::cerr << "tessara-cli: " << problem << '\n';
        return kExitUsage;
    }
    if (const std::string problem = SaveSettingsProfile(o.settings, o.saveProfilePath);
        !problem.empty()) {
        std::cerr << "tessara-cli: " << problem << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

int RunCombine(CombineOptions& o)
{
    std::string usage = ArgumentsProblem(o);
    if (usage.empty())
        usage = FinishSettings(o);
    if (!usage.empty()) {
        std::cerr << "tessara-cli: " << usage << '\n';
        return kExitUsage;
    }
    if (!o.saveProfilePath.empty()) {
        // Without inputs the command only saves.
        if (const int code = SaveProfile(o); code != kExitOk || o.settings.input_files.empty())
            return code;
    }
    if (o.dryRun)
        return RunDryRun(o);
    CJobLogFile log;
    if (!o.logPath.empty()) {
        if (const std::string problem = LogPathProblem(o.logPath, o.settings, o.outputDirectory);
            !problem.empty()) {
            std::cerr << "tessara-cli: " << problem << '\n';
            return kExitUsage;
        }
        if (!log.Open(o.logPath)) {
            std::cerr << "tessara-cli: Cannot write " << o.logPath << '\n';
            return kExitFailure;
        }
    }
    std::vector<std::filesystem::path> createdDirectories;
    if (const std::string problem = CreateOutputDirectory(o.outputDirectory, createdDirectories);
        !problem.empty()) {
        std::cerr << "tessara-cli: " << problem << '\n';
        RemoveCreatedDirectories(createdDirectories);
        log.Discard();
        return kExitFailure;
    }
    // What the user may not have meant: told, not refused, as the window
    // asks before it starts.
    if (const std::string findings = DescribeOutputFolder(
            o.outputDirectory, CheckOutputFolder(o.settings, o.outputDirectory));
        !findings.empty())
        std::cerr << "tessara-cli: warning: " << findings << '\n';
    // A reader of the log that goes away must not end the job with its
    // output half written.
    (void)std::signal(SIGPIPE, SIG_IGN);

    CFollowCliHost host(log.File(), o.verbose, o.follow, o.quicklook);
    CCombineJob job(o.settings, host);
    if (!o.logPath.empty())
        job.KeepFile(o.logPath);
    const FollowOptions follow = FollowFrom(o);
    const CombineOutcome outcome = [&] {
        const CStopSignals stopSignals;
        return o.follow ? job.Follow(o.outputDirectory, follow) : job.Run(o.outputDirectory);
    }();
    host.EndProgressLine();
    const bool logFailed = !log.Close() || host.LogFailed();
    std::fflush(stdout);
    if (outcome == CombineOutcome::DirectoryRefused) {
        log.Discard(); // nothing was logged
        RemoveCreatedDirectories(createdDirectories);
        return kExitFailure;
    }
    // A navigation file the job cannot use was named on stderr; nothing
    // started.
    if (outcome == CombineOutcome::InvalidSettings) {
        log.Discard();
        RemoveCreatedDirectories(createdDirectories);
        return kExitUsage;
    }
    return ReportCombine(o, job.Result(), outcome, logFailed);
}

/// The ship's navigation files and where the sensor is from its antenna.
void AddNavigationOptions(CLI::App& sub, CombineOptions& o)
{
    using S = CombineSettings;
    S& s = o.settings;
    // One file per --navigation, so that the inputs after it stay inputs.
    sub.add_option("--navigation",
                   s.navigation_files,
                   "Navigation file (NMEA 0183 GGA/RMC with ZDA or RMC dates, or CSV with time "
                   "and lat/lon or easting/northing columns); every trace takes its position "
                   "from them. Repeat for more files")
        ->allow_extra_args(false)
        ->check(CLI::ExistingFile);
    AddSettingOption(sub,
                     SettingOf(&S::navigation_max_gap),
                     s.navigation_max_gap,
                     "A trace further than this from every fix keeps its own position")
        ->capture_default_str();
    AddSettingOption(sub,
                     SettingOf(&S::navigation_epsg),
                     s.navigation_epsg,
                     "EPSG code of the UTM zone of a CSV's easting and northing (326zz north, "
                     "327zz south)");
    AddSettingOption(sub,
                     SettingOf(&S::antenna_offset_along),
                     o.antennaOffset,
                     "ALONG,ACROSS: the transducer from the GPS antenna, + forward, + starboard");
    AddSettingOption(sub,
                     SettingOf(&S::layback),
                     s.layback,
                     "A towed body this far behind the antenna along the track");
}

/// The options of the job's settings, each named, ranged and explained
/// as its row of the settings table says.
void AddSettingOptions(CLI::App& sub, CombineOptions& o)
{
    using S = CombineSettings;
    S& s = o.settings;
    AddSettingOption(sub, SettingOf(&S::max_file_size), s.max_file_size, "Size limit of one output")
        ->capture_default_str();
    AddSettingOption(sub,
                     SettingOf(&S::time_duration_limit),
                     s.time_duration_limit,
                     "Duration limit of one output")
        ->capture_default_str();
    AddSettingOption(sub, SettingOf(&S::file_gap), s.file_gap, "Largest time gap inside one output")
        ->capture_default_str();
    sub.add_flag(SettingOf(&S::make_null_traces).option,
                 o.noNullTraces,
                 "Do not fill short gaps with null traces");
    sub.add_flag(SettingOf(&S::demultiplex_only).option,
                 s.demultiplex_only,
                 "No ordering, gap filling or resampling; one output per input");
    AddSettingOption(
        sub, SettingOf(&S::timecorrection), s.timecorrection, "Added to every trace time")
        ->capture_default_str();
    sub.add_flag(
        SettingOf(&S::delayscan).option, o.noDelayScan, "Keep traces with rare extreme delays");
    sub.add_option(SettingOf(&S::fixupknudsen).option,
                   o.knudsenLayout,
                   "Take the trace day from the file name: yearday (0001_2003_255_1735) or "
                   "dayonly (0001_255_1735)")
        ->check(CLI::IsMember({"yearday", "dayonly"}));
    const SettingRow& frequency = SettingOf(&S::sampling_frequency);
    sub.add_option(frequency.option,
                   o.samplingFrequency,
                   SettingHelp("Resample every trace to this frequency", frequency) +
                       "; the interval 1000000/f must be 1..32767 us");
    sub.add_flag(SettingOf(&S::speed_correction).option,
                 s.speed_correction,
                 "Re-space the traces of every output to a constant distance along the track "
                 "(inputs without navigation are skipped, traces without it dropped)");
    AddSettingOption(sub,
                     SettingOf(&S::nav_average_fixes),
                     o.navAverageFixes,
                     "Half-width of the navigation smoothing, default " +
                         std::to_string(S{}.nav_average_fixes));
    AddSettingOption(sub,
                     SettingOf(&S::trace_spacing),
                     o.traceSpacing,
                     "Fixed trace spacing for the speed correction, default: the median");
    AddNavigationOptions(sub, o);
    sub.add_option(
           SettingOf(&S::Expedition).option, s.Expedition, "First element of every output name")
        ->capture_default_str();
    const std::string nameElement = "Output name element (when 2+ characters)";
    sub.add_option(SettingOf(&S::data_type).option, s.data_type, nameElement);
    sub.add_option(SettingOf(&S::instrument_type).option, s.instrument_type, nameElement);
    sub.add_option(SettingOf(&S::xcdr).option, s.xcdr, nameElement);
    AddSettingOption(
        sub, SettingOf(&S::channel_id), o.singleChannel, "Keep only the traces of this channel");
    AddSettingOption(sub,
                     SettingOf(&S::port_id),
                     o.sidescan,
                     "Pair port and starboard traces: PORT,STBD channel numbers");
    AddSettingOption(sub,
                     SettingOf(&S::channel_field),
                     s.channel_field,
                     "Channel in: 0 traceSequenceFile, 1 traceInEnsemble, 2 traceIdCode, "
                     "3 digitizerChannel, 4 --channel-start/--channel-length")
        ->capture_default_str();
    AddSettingOption(
        sub, SettingOf(&S::channel_start), s.channel_start, "First byte of the channel field")
        ->capture_default_str();
    AddSettingOption(
        sub, SettingOf(&S::channel_length), s.channel_length, "Bytes of the channel field")
        ->capture_default_str();
    sub.add_flag(
        SettingOf(&S::flip_port).option, o.noFlipPort, "Keep the port samples in recorded order");
}

} // namespace

void RegisterCombine(CLI::App& app, std::vector<Command>& commands)
{
    auto o = std::make_shared<CombineOptions>();
    auto* sub = app.add_subcommand(
        "combine", "Order, repair and combine SEG-Y files into composite files in a directory");
    o->command = sub;
    // Both required but with --save-settings alone, which only saves.
    sub->add_option("-o,--output-dir",
                    o->outputDirectory,
                    "Directory for the composite files (created when missing); required with "
                    "input files");
    sub->add_option("FILE",
                    o->settings.input_files,
                    "Input SEG-Y files, processed in the order given; required but with "
                    "--save-settings alone");
    sub->add_option("--settings",
                    o->profilePath,
                    "Take the settings from this job profile (TOML); the options given with it "
                    "override its values (a flag or mode it switches on stays on), and a setting "
                    "it leaves out keeps its default");
    sub->add_option("--save-settings",
                    o->saveProfilePath,
                    "Save the settings in force (the profile of --settings, the options over it) "
                    "as a job profile; without input files only save it, else save and run");
    AddSettingOptions(*sub, *o);
    sub->add_option("--log", o->logPath, "Write the log to this file (CR LF line ends)");
    sub->add_flag("--quicklook",
                  o->quicklook,
                  "Also write the section picture NAME.png beside each output NAME.sgy (a "
                  "picture that cannot be written is reported and does not fail the job)");
    sub->add_option("--track",
                    o->trackPath,
                    "After the job, write the tracks of the outputs and their shot points to "
                    "this GeoPackage (.gpkg) or KML file (.kml), WGS 84; one that cannot be "
                    "written is reported, fails the job and keeps the outputs");
    sub->add_option("--track-points",
                    o->trackPoints,
                    "With --track: a shot point every N traces (and the first and last)")
        ->capture_default_str()
        ->needs("--track");
    sub->add_flag("--verbose", o->verbose, "Log as with the log window shown (Ave Time lines)");
    sub->add_flag("--dry-run",
                  o->dryRun,
                  "Decide every output and write nothing: a table of the outputs the job would "
                  "write, the inputs it would skip, and the summary of a real run");
    sub->add_flag("--json", o->json, "With --dry-run: the same as one JSON document");
    sub->add_flag("--follow",
                  o->follow,
                  "FILE are folders: take their SEG-Y files, then each new one once complete, "
                  "writing each output as it closes, until SIGINT");
    sub->add_option("--settle",
                    o->settleSeconds,
                    "With --follow: a file unchanged for this long (s) is complete, default 10 "
                    "(0.1..3600 seconds)");
    commands.push_back({sub, [o] { return RunCombine(*o); }});
}

} // namespace tessara::cli
