#include "combine/delay_scan.h"

#include "combine/job_state.h"
#include "combine/output_files.h"
#include "segy/format/sample_codec.h"
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sys/stat.h>
#include <system_error>
#include <utility>

namespace tessara
{

namespace
{

namespace fs = std::filesystem;

using DelayTable = std::map<std::int16_t, std::int64_t>;

// Device and inode of `path`: a file moved over the working file (as a
// rewrite through a temporary file does) is another file even when its size
// happens to be the same.
bool IdentityOf(const std::string& path, std::uint64_t& device, std::uint64_t& inode)
{
    struct stat info {
    };
    if (::stat(path.c_str(), &info) != 0)
        return false;
    device = static_cast<std::uint64_t>(info.st_dev);
    inode = static_cast<std::uint64_t>(info.st_ino);
    return true;
}

// Whether the histogram kept while writing is that of the file at `path` as
// it is now. It is not after a rewrite of the file by another step, and not
// when a record went past the counting.
bool WrittenTableDescribes(const JobContext& ctx, const std::string& path)
{
    const CombineJobState& state = ctx.state;
    const DelayScanState& written = state.delay_scan;
    if (!written.exact || ctx.settings.speed_correction || path != state.working_path ||
        written.traces != state.output.traces)
        return false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    if (!IdentityOf(path, device, inode) || device != written.device || inode != written.inode)
        return false;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    return !ec && size == static_cast<std::uintmax_t>(written.bytes);
}

// delay_threshold: max(1, traces x 0.001 truncated). Integer division gives
// the same value as the truncated product for every count a file can hold,
// without depending on how 0.001 rounds.
std::int64_t DelayThreshold(std::int64_t traces)
{
    return std::max<std::int64_t>(1, traces / 1000);
}

// Removes the rare values at the two ends of `table` and tells whether any
// went. Only the ends are trimmed: a rare value between two common ones
// stays. When every value is rare the table is left whole: the file keeps
// its traces rather than lose all of them.
bool TrimRareEnds(DelayTable& table, std::int64_t traces)
{
    const std::int64_t threshold = DelayThreshold(traces);
    DelayTable kept = table;
    while (!kept.empty() && kept.begin()->second < threshold)
        kept.erase(kept.begin());
    while (!kept.empty() && std::prev(kept.end())->second < threshold)
        kept.erase(std::prev(kept.end()));
    if (kept.empty() || kept.size() == table.size())
        return false;
    table = std::move(kept);
    return true;
}

// The scan's status line: a dot per 100 traces, the line started anew when
// the dots make it too long; pending events run with every dot.
class CDelayScanProgress
{
public:
    explicit CDelayScanProgress(IJobHost& host) : m_host(host), m_line(kDelayScanStatus)
    {
        m_host.SetStatus(m_line);
    }

    // One trace more in the pass whose line starts anew as `restart`.
    void Trace(std::string_view restart)
    {
        ++m_counter;
        if (m_counter % kDelayScanTracesPerDot != 0)
            return;
        AddDot(restart);
        m_host.SetStatus(m_line);
        m_host.PumpEvents();
    }

    // `traces` counted while the file was written: the line is left as the
    // counting pass over them would leave it.
    void Counted(std::int64_t traces)
    {
        const std::int64_t dots =
            (m_counter + traces) / kDelayScanTracesPerDot - m_counter / kDelayScanTracesPerDot;
        m_counter += traces;
        for (std::int64_t k = 0; k < dots; ++k)
            AddDot(kDelayScanStatus);
        if (dots > 0)
            m_host.SetStatus(m_line);
        m_host.PumpEvents();
    }

private:
    void AddDot(std::string_view restart)
    {
        m_line += '.';
        if (m_line.size() > kDelayScanStatusWidth)
            m_line = restart;
    }

    IJobHost& m_host;
    std::string m_line;
    std::int64_t m_counter = 0;
};

} // namespace

void CountWrittenTraceDelay(const JobContext& ctx, const CSegyTrace& trace)
{
    CombineJobState& state = ctx.state;
    DelayScanState& written = state.delay_scan;
    const CSegyFileOut& out = state.segy_out;
    const SegyHeaderType& h = *trace.header;
    const std::int64_t recordBytes =
        kTraceHeaderBytes + static_cast<std::int64_t>(h.sampleCount) * out.bytesPerSample;

    // The writer stands right behind the file header and this record: it is
    // the first record of a new output.
    if (out.byteCount == kFileHeaderBytes + recordBytes) {
        written = DelayScanState{};
        written.bytes = kFileHeaderBytes;
        // The reader must walk the records as they were written, which it
        // does when it takes as many bytes per sample as the writer put.
        written.exact = IdentityOf(state.working_path, written.device, written.inode) &&
                        ReaderBytesPerSample(out.formatCode) == out.bytesPerSample;
    }
    ++written.delays[h.delayRecordingTime];
    ++written.traces;
    written.bytes += recordBytes;
    // A record without samples is read back with the file header's count of
    // samples: the file then reads as other traces than were written.
    if (h.sampleCount == 0)
        written.exact = false;
}

std::int64_t ScanFileAndMeasureTraceDelayFrequencys(const JobContext& ctx, const std::string& path)
{
    CombineJobState& state = ctx.state;
    CDelayScanProgress progress(ctx.host);
    CSegyFileIn in;
    CSegyTrace trace;
    DelayTable table;
    std::int64_t traces = 0;

    if (WrittenTableDescribes(ctx, path)) {
        table = std::move(state.delay_scan.delays);
        traces = state.delay_scan.traces;
        progress.Counted(traces);
    } else {
        if (!in.Open(path)) {
            ReportWriteFailure(ctx, path);
            return 0;
        }
        trace.SetN(in.GetSamples());
        for (;;) {
            in.Read(trace, -1);
            if (in.atEnd)
                break;
            ++table[trace.header->delayRecordingTime];
            ++traces;
            progress.Trace(kDelayScanStatus);
        }
    }
    state.delay_scan = DelayScanState{}; // it described this file only

    if (!TrimRareEnds(table, traces)) {
        in.Close();
        ctx.host.SetStatus(kNoDelaysDroppedStatus);
        ctx.host.PumpEvents();
        return 0;
    }

    if (in.bIsOpen()) {
        in.Rewind();
    } else if (!in.Open(path)) {
        ReportWriteFailure(ctx, path);
        return 0;
    } else {
        trace.SetN(in.GetSamples());
    }

    const std::string temporary = path + std::string(kDelayScanTemporarySuffix);
    CSegyFileOut out;
    // Only a copy this scan created may be removed: a failed Open created
    // nothing (the name may belong to something else, a folder say).
    if (!out.Open(temporary)) {
        ReportWriteFailure(ctx, path);
        return 0;
    }
    *out.tapeHeader = *in.tapeHeader;
    out.SetFormat(in.GetFormat());
    out.SetSamples(static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();

    // Exactly the traces counted are read again: none beyond them is copied,
    // and a file that now ends sooner cannot be read back whole.
    std::int64_t read = 0;
    std::int64_t removed = 0;
    while (read < traces && !out.bHasFailed()) {
        in.Read(trace, -1);
        if (in.atEnd)
            break;
        ++read;
        if (table.count(trace.header->delayRecordingTime) != 0)
            out.Write(trace);
        else
            ++removed;
        progress.Trace(kDelayFixStatus);
    }
    in.Close();
    out.Close();

    // rename replaces the scanned file in one step, and only once the copy
    // is complete: until then the file stays as it was.
    std::error_code ec;
    if (!out.bHasFailed() && read == traces)
        fs::rename(temporary, path, ec);
    if (out.bHasFailed() || read != traces || ec) {
        std::error_code ignored; // a copy that cannot be removed is left for the user
        fs::remove(temporary, ignored);
        ReportWriteFailure(ctx, path);
        return 0;
    }
    return removed;
}

} // namespace tessara
