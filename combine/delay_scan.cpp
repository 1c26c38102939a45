#include "combine/delay_scan.h"

#include "combine/api/job_host.h"
#include "segy/format/sample_codec.h"
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <utility>

namespace tessara
{

namespace
{

namespace fs = std::filesystem;

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
bool TrimRareEnds(DelayHistogram& table, std::int64_t traces)
{
    const std::int64_t threshold = DelayThreshold(traces);
    DelayHistogram kept = table;
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

DelayScanResult ScanFileAndMeasureTraceDelayFrequencys(IJobHost& host,
                                                       const std::string& path,
                                                       std::optional<DelayHistogram> written)
{
    DelayScanResult kFailed;
    kFailed.failed = true;
    CDelayScanProgress progress(host);
    CSegyFileIn in;
    CSegyTrace trace;
    DelayHistogram table;
    std::int64_t traces = 0;

    if (written) {
        table = std::move(*written);
        for (const auto& [delay, count] : table)
            traces += count;
        progress.Counted(traces);
    } else {
        if (!in.Open(path))
            return kFailed;
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
    if (!TrimRareEnds(table, traces)) {
        in.Close();
        host.SetStatus(kNoDelaysDroppedStatus);
        host.PumpEvents();
        return {};
    }

    if (in.bIsOpen()) {
        in.Rewind();
    } else if (!in.Open(path)) {
        return kFailed;
    } else {
        trace.SetN(in.GetSamples());
    }

    const std::string temporary = path + std::string(kDelayScanTemporarySuffix);
    // The file itself is whole and complete while the copy fails.
    DelayScanResult copyFailed = kFailed;
    copyFailed.copyFailed = true;
    copyFailed.copyPath = temporary;
    CSegyFileOut out;
    // Only a copy this scan created may be removed: a failed Open created
    // nothing (the name may belong to something else, a folder say).
    if (!out.Open(temporary))
        return copyFailed;
    out.StartLike(in, static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();

    // Exactly the traces counted are read again: none beyond them is copied,
    // and a file that now ends sooner cannot be read back whole.
    std::int64_t read = 0;
    std::int64_t removed = 0;
    bool readShort = false;
    while (read < traces && !out.bHasFailed()) {
        in.Read(trace, -1);
        if (in.atEnd) {
            readShort = true;
            break;
        }
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
        return readShort ? kFailed : copyFailed;
    }
    DelayScanResult result;
    result.removed = removed;
    return result;
}

} // namespace tessara
