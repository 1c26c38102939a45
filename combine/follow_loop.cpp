#include "combine/follow_loop.h"

#include "combine/api/log_format.h"
#include "combine/input_scan.h"
#include "combine/time_correction.h"
#include "segy/io/segy_finishing_writer.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <limits>
#include <system_error>
#include <thread>

namespace tessara
{

namespace fs = std::filesystem;

namespace
{

class CWallClock : public IFollowClock
{
public:
    double Now() override
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void Wait(double seconds) override
    {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
};

constexpr std::uint64_t kLooksPerChangeCheck = 16;

} // namespace

bool bSegyFileName(const std::string& path)
{
    const std::string extension = LowerCaseExtension(path);
    return extension == ".sgy" || extension == ".segy" || extension == ".seg";
}

std::string FollowProblem(const FollowOptions& options, const std::string& outputDirectory)
{
    if (!(options.settleSeconds >= kMinSettleSeconds && options.settleSeconds <= kMaxSettleSeconds))
        return "Settle time " + FormatLogNumber(options.settleSeconds) + " s not in " +
               FormatLogNumber(kMinSettleSeconds) + ".." + FormatLogNumber(kMaxSettleSeconds);
    if (options.folders.empty())
        return "No folder to follow";
    for (const std::string& folder : options.folders) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec))
            return "Folder to follow " + folder + " is not a folder";
        // Every output would come back as an input.
        if (fs::equivalent(folder, outputDirectory, ec))
            return "Output directory " + outputDirectory +
                   " is a followed folder: choose another for the outputs";
    }
    return {};
}

CFolderWatch::CFolderWatch(std::vector<std::string> folders, double settleSeconds)
    : m_folders(std::move(folders)), m_settleSeconds(settleSeconds)
{
}

void CFolderWatch::Look(std::size_t folder, double now)
{
    std::error_code ec;
    for (fs::directory_iterator it(m_folders[folder], ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string& path = it->path().native();
        // A file taken is looked at again only now and then, for a change
        // to report: over a night the folder fills, and each look would
        // otherwise examine every file the night has made.
        if (const auto known = m_files.find(path);
            known != m_files.end() && known->second.complete) {
            known->second.lastLook = m_look;
            if (m_look % kLooksPerChangeCheck != 0 || known->second.changeTold)
                continue;
        }
        std::error_code typeError;
        if (!it->is_regular_file(typeError) || !bSegyFileName(path))
            continue;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        FileVersion version;
        if (!FileIdentity(path, device, inode, &version))
            continue;
        const auto [found, added] = m_files.try_emplace(path);
        Watched& file = found->second;
        file.lastLook = m_look;
        if (added) {
            file.folder = folder;
            file.version = version;
            file.changedAt = now;
            file.firstLook = m_look;
            m_lastActivity = now;
        } else if (file.version != version && !file.complete) {
            file.version = version;
            file.changedAt = now;
            m_lastActivity = now;
        } else if (file.version != version && !file.changeTold) {
            file.changeTold = true;
            m_changed.push_back(path);
        }
    }
}

std::vector<std::string> CFolderWatch::Poll(double now)
{
    ++m_look;
    if (m_lastActivity < 0)
        m_lastActivity = now;
    for (std::size_t k = 0; k < m_folders.size(); ++k)
        Look(k, now);
    // A file that went before it was complete is forgotten.
    std::erase_if(m_files, [this](const auto& item) {
        return !item.second.complete && item.second.lastLook != m_look;
    });

    // The newest file of each folder, by the look that first saw it and by
    // its modification time: every file older than it is complete, since
    // a recorder writes one file at a time.
    std::vector<std::uint64_t> latestLook(m_folders.size(), 0);
    std::vector<std::int64_t> latestModified(m_folders.size(),
                                             std::numeric_limits<std::int64_t>::min());
    for (const auto& [path, file] : m_files) {
        if (file.lastLook != m_look)
            continue;
        latestLook[file.folder] = std::max(latestLook[file.folder], file.firstLook);
        latestModified[file.folder] =
            std::max(latestModified[file.folder], file.version.modified_ns);
    }
    std::vector<std::string> complete;
    for (auto& [path, file] : m_files) {
        if (file.complete || file.lastLook != m_look)
            continue;
        const bool settled = now - file.changedAt >= m_settleSeconds;
        const bool newerBeside = latestLook[file.folder] > file.firstLook ||
                                 latestModified[file.folder] > file.version.modified_ns;
        if (settled || newerBeside) {
            file.complete = true;
            complete.push_back(path);
        }
    }
    return complete;
}

void CFolderWatch::Reopen(const std::string& path)
{
    m_files.erase(path);
}

std::vector<std::string> CFolderWatch::TakeChanged()
{
    std::vector<std::string> changed;
    changed.swap(m_changed);
    return changed;
}

std::vector<std::string> CFolderWatch::Incomplete() const
{
    std::vector<std::string> incomplete;
    for (const auto& [path, file] : m_files) {
        if (!file.complete && file.lastLook == m_look)
            incomplete.push_back(path);
    }
    return incomplete;
}

bool CFollowLoop::Run()
{
    CWallClock wallClock;
    IFollowClock& clock = m_options.clock != nullptr ? *m_options.clock : wallClock;
    CFolderWatch& watch = m_watch;
    for (const std::string& folder : m_options.folders) {
        m_host.AppendLog("Following " + folder);
        m_host.AppendLog(kNL);
    }
    // Often enough that a settled file is taken soon after its settle time,
    // seldom enough that looking costs little beside the job.
    const double pollSeconds = std::clamp(m_options.settleSeconds / 3, 0.05, 1.0);
    while (true) {
        const double now = clock.Now();
        Take(watch.Poll(now));
        for (const std::string& path : watch.TakeChanged()) {
            // One not decided yet is taken again when it is complete.
            if (std::none_of(m_inputs.begin() + static_cast<std::ptrdiff_t>(m_next),
                             m_inputs.end(),
                             [&path](const InputEntry& input) { return input.path == path; }))
                LeaveOut(path, "changed after it was taken");
        }
        if (!Decide(false))
            return false;
        // The recorder has stopped for longer than the gap rule allows: the
        // output is closed now rather than when the next file comes.
        const double idle = now - watch.LastActivity();
        const auto gapLimit = static_cast<double>(m_settings.file_gap) * 60;
        if ((m_open || m_next < m_inputs.size()) && idle > gapLimit) {
            m_host.AppendLog("\tFile close by file  gap limit: nothing new for " +
                             FormatLogNumber(idle) + " s > " + FormatLogNumber(gapLimit));
            m_host.AppendLog(kNL);
            if (!Decide(true))
                return false;
        }
        m_host.PumpEvents();
        if (m_host.StopRequested())
            break;
        clock.Wait(pollSeconds);
    }
    m_stopping = true;
    m_host.AppendLog("\tFollowing stopped by the user");
    m_host.AppendLog(kNL);
    Take(watch.Poll(clock.Now()));
    for (const std::string& path : watch.Incomplete())
        LeaveOut(path, "never completed");
    return Decide(true);
}

// The files complete now become inputs, in the order of their start times,
// after every input already taken that starts no later.
void CFollowLoop::Take(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    const JobContext ctx{m_settings, m_host};
    const FirstTraceCorrection correct = [ctx](const std::string& path, CSegyTrace& t) {
        Apply_Start_Time_Repairs(ctx, path, t);
    };
    std::vector<InputEntry> batch;
    std::vector<SegyHeaderType> firsts;
    std::vector<SegyHeaderType> readable;
    for (const std::string& path : paths) {
        InputEntry entry{path};
        entry.identified = FileIdentity(path, entry.device, entry.inode, &entry.version);
        SegyHeaderType first{};
        // Without ordering every input is an output of its own: it is
        // taken as it comes.
        entry.start_known = !m_settings.demultiplex_only && ReadFirstTrace(path, correct, first);
        if (entry.start_known)
            readable.push_back(first);
        batch.push_back(entry);
        firsts.push_back(first);
    }
    // The job's time scale comes from the first files that give one, as a
    // finished list's comes from all of its files.
    if (!m_scaleChosen && !readable.empty()) {
        bool yearsUncertain = false;
        m_planner.SetTimeScale(CJobTimeScale::ForFirstTraces(readable, yearsUncertain));
        m_scaleChosen = true;
    }
    for (std::size_t k = 0; k < batch.size(); ++k)
        SetStartTime(batch[k], m_planner.Scale(), firsts[k]);
    std::stable_sort(batch.begin(), batch.end(), [](const InputEntry& a, const InputEntry& b) {
        return a.file_time < b.file_time;
    });
    for (InputEntry& entry : batch)
        Insert(std::move(entry));

    std::vector<std::string> order;
    order.reserve(m_inputs.size());
    for (const InputEntry& input : m_inputs)
        order.push_back(input.path);
    m_host.SetInputOrder(order);
    m_host.SetStatus("Following: " + std::to_string(m_inputs.size()) + " files taken");
}

void CFollowLoop::Insert(InputEntry entry)
{
    for (const InputEntry& input : m_inputs) {
        if (entry.identified && input.identified && input.device == entry.device &&
            input.inode == entry.inode) {
            entry.same_as_earlier = true;
            entry.start_known = false;
        }
    }
    // Deciding the inputs before went by the starts up to m_earliestStart:
    // a file starting before it would have changed a decision taken.
    if (entry.start_known && m_earliestStart && entry.file_time < *m_earliestStart) {
        LeaveOut(entry.path, "starts before a file already taken");
        return;
    }
    std::size_t at = m_inputs.size();
    while (entry.start_known && at > m_next && m_inputs[at - 1].start_known &&
           m_inputs[at - 1].file_time > entry.file_time)
        --at;
    m_host.AppendLog("New input " + entry.path);
    m_host.AppendLog(kNL);
    m_progress.total += 2 * entry.version.bytes;
    m_inputs.insert(m_inputs.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    m_progress.inputCount = static_cast<int>(m_inputs.size());
}

void CFollowLoop::LeaveOut(const std::string& path, const std::string& why)
{
    m_writer.Result().inputs_left_out.push_back({path, why});
    m_host.AppendLog("Left out " + path + ": " + why);
    m_host.AppendLog(kNL);
}

// An input's close decision needs the start of the next input that has one.
bool CFollowLoop::bReady(std::size_t input) const
{
    if (m_settings.demultiplex_only)
        return true;
    for (std::size_t k = input + 1; k < m_inputs.size(); ++k) {
        if (m_inputs[k].start_known)
            return true;
    }
    return false;
}

// The input's own start and that of the next input with one decide it.
void CFollowLoop::NoteStartsUsed(std::size_t input)
{
    const auto raise = [this](const InputEntry& used) {
        if (used.start_known && (!m_earliestStart || *m_earliestStart < used.file_time))
            m_earliestStart = used.file_time;
    };
    raise(m_inputs[input]);
    for (std::size_t k = input + 1; k < m_inputs.size(); ++k) {
        if (m_inputs[k].start_known) {
            raise(m_inputs[k]);
            break;
        }
    }
}

// Decides the inputs that can be, and writes each output that closes;
// `toEnd` decides every input taken, the last as the last of a list.
bool CFollowLoop::Decide(bool toEnd)
{
    bool grew = false;
    while (m_next < m_inputs.size() && (toEnd || bReady(m_next))) {
        // Nothing was decided from it yet: a file the recorder went on
        // writing after it seemed complete is taken again once it is.
        // At the end there is no later look to take it again.
        if (CompareWithScan(m_inputs[m_next]) != InputNow::AsScanned) {
            if (m_stopping)
                LeaveOut(m_inputs[m_next].path, "changed after it was taken");
            m_watch.Reopen(m_inputs[m_next].path);
            m_progress.total -= 2 * m_inputs[m_next].version.bytes;
            m_inputs.erase(m_inputs.begin() + static_cast<std::ptrdiff_t>(m_next));
            m_progress.inputCount = static_cast<int>(m_inputs.size());
            continue;
        }
        if (!m_open)
            m_planner.BeginOutput(m_open.emplace());
        NoteStartsUsed(m_next);
        if (m_planner.PlanInput(m_next++)) {
            grew = true;
        } else {
            grew = false;
            if (!WriteOutput())
                return false;
        }
    }
    if (toEnd && m_open)
        return WriteOutput();
    if (grew)
        ShowOpenOutput();
    return true;
}

bool CFollowLoop::WriteOutput()
{
    m_planner.EndOutput(m_next);
    const OutputPlan plan = std::move(*m_open);
    m_open.reset();
    const std::size_t before = m_writer.Result().outputs.size();
    if (m_writer.Write(plan) == CPlanWriter::Ended::Failed)
        return false;
    if (m_writer.Result().outputs.size() > before)
        m_host.OutputCompleted(m_writer.Result().outputs.back().path);
    RemoveOpenOutput();
    return true;
}

// The open output as it stands, written whole into its own file for the
// front end to show: an aid, so a failure only leaves it unshown.
void CFollowLoop::ShowOpenOutput()
{
    if (!m_open || !m_host.WantsOpenOutput() ||
        std::none_of(m_open->steps.begin(), m_open->steps.end(), [](const PlanStep& step) {
            return step.kind == PlanStep::Kind::Take;
        }))
        return;
    OutputPlan sofar = *m_open;
    sofar.Add({PlanStep::Kind::Close});
    sofar.path = JoinPath(m_outputDirectory, kOpenOutputFileName);
    sofar.targetInterval = m_planner.TargetInterval();
    sofar.corrected = false;
    sofar.delays = DelayScanDecision{};
    sofar.atClose = CToldLater{};
    CSilentHost silent;
    ProgressLedger ledger;
    CPlanWriter writer(
        silent, m_inputs, ledger, m_outputDirectory, [](const OutputPlan& p, double) {
            return p.path;
        });
    if (writer.Write(sofar) != CPlanWriter::Ended::Done) {
        writer.CloseAfterFailure();
        writer.Abandon();
        return;
    }
    m_openShown = true;
    m_host.OpenOutputChanged(sofar.path);
}

void CFollowLoop::RemoveOpenOutput()
{
    if (!m_openShown)
        return;
    m_openShown = false;
    std::error_code ec;
    fs::remove(JoinPath(m_outputDirectory, kOpenOutputFileName), ec);
    m_host.OpenOutputChanged({});
}

} // namespace tessara
