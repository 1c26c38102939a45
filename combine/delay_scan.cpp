#include "combine/delay_scan.h"

#include "combine/api/job_host.h"
#include "segy/format/sample_codec.h"
#include "segy/io/segy_file_in.h"
#include "segy/io/segy_file_out.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <span>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

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

std::atomic<bool> g_kernelCopy{true};

// The copy after its file header, in file order: byte ranges of the scanned
// file (records copied as they are stored) and records encoded here.
// Adjoining ranges go in one piece. The kernel copies them where it can
// (copy_file_range shares the blocks on file systems that support it, and
// otherwise saves the trip through user space); where it refuses, plain
// reads and writes take over for the rest of the copy.
class CRecordCopier
{
public:
    CRecordCopier(int from, int to, std::int64_t at)
        : m_from(from), m_to(to), m_at(at), m_kernel(g_kernelCopy)
    {
    }

    // Appends bytes [offset, offset + bytes) of the scanned file.
    [[nodiscard]] bool Range(std::int64_t offset, std::int64_t bytes)
    {
        if (m_encoded.empty() && m_rangeBytes > 0 && m_rangeStart + m_rangeBytes == offset &&
            m_rangeBytes + bytes <= kRangeBytes) {
            m_rangeBytes += bytes;
            return true;
        }
        if (!Flush())
            return false;
        m_rangeStart = offset;
        m_rangeBytes = bytes;
        return true;
    }

    // Appends `trace` as CSegyFileOut::Write puts it in a file in `format`.
    [[nodiscard]] bool Record(const CSegyTrace& trace, std::int32_t format)
    {
        if (!CopyRange())
            return false;
        const std::size_t at = m_encoded.size();
        m_encoded.resize(at + kTraceHeaderBytes +
                         std::size_t{trace.header->sampleCount} *
                             static_cast<std::size_t>(WriterBytesPerSample(format)));
        CSegyFileOut::EncodeRecord(trace, format, m_encoded.data() + at);
        return m_encoded.size() < kChunkBytes || WriteEncoded();
    }

    // Writes what is still waiting.
    [[nodiscard]] bool Flush() { return CopyRange() && WriteEncoded(); }

    // Whether the failure was the scanned file's: it ended early or could
    // not be read.
    [[nodiscard]] bool bReadFailed() const { return m_readFailed; }

private:
    // Pieces of the plain copy; encoded records are written in pieces of
    // about this size too.
    static constexpr std::size_t kChunkBytes = 1 << 17;
    // Longest range copied in one go: the copy happens between two passes
    // of pending events, and a whole file in one call would hold the window
    // still for as long as a disk takes to copy it.
    static constexpr std::int64_t kRangeBytes = 1 << 23;

    [[nodiscard]] bool CopyRange()
    {
        std::int64_t from = m_rangeStart;
        std::int64_t left = m_rangeBytes;
        m_rangeBytes = 0;
        while (m_kernel && left > 0) {
            off_t in = from;
            off_t out = m_at;
            const ssize_t got =
                ::copy_file_range(m_from, &in, m_to, &out, static_cast<std::size_t>(left), 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                // Refused (ENOSYS, EXDEV, EINVAL, EOPNOTSUPP, ...), or the
                // file ended early, or a real failure. The plain copy of
                // the rest tells a failure of the scanned file from one of
                // the copy, and meets the same failure again if it was one.
                m_kernel = false;
                break;
            }
            from += got;
            left -= got;
            m_at += got;
        }
        while (left > 0) {
            if (m_buffer.empty())
                m_buffer.resize(kChunkBytes);
            const std::size_t piece = std::min(m_buffer.size(), static_cast<std::size_t>(left));
            const ssize_t got = ::pread(m_from, m_buffer.data(), piece, from);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                m_readFailed = true;
                return false;
            }
            if (!WriteAll({m_buffer.data(), static_cast<std::size_t>(got)}))
                return false;
            from += got;
            left -= got;
        }
        return true;
    }

    [[nodiscard]] bool WriteEncoded()
    {
        const bool written = WriteAll(m_encoded);
        m_encoded.clear();
        return written;
    }

    // Writes every byte at the copy's end, resuming after partial writes.
    [[nodiscard]] bool WriteAll(std::span<const unsigned char> bytes)
    {
        while (!bytes.empty()) {
            const ssize_t put = ::pwrite(m_to, bytes.data(), bytes.size(), m_at);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) // an error, or no progress (a full disk, a file size limit)
                return false;
            bytes = bytes.subspan(static_cast<std::size_t>(put));
            m_at += put;
        }
        return true;
    }

    int m_from;
    int m_to;
    std::int64_t m_at; // end of the copy so far, bytes
    bool m_kernel;
    bool m_readFailed = false;
    std::int64_t m_rangeStart = 0;
    std::int64_t m_rangeBytes = 0;
    std::vector<unsigned char> m_encoded; // records encoded and not yet written
    std::vector<unsigned char> m_buffer;  // the plain copy's
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
    SegyHeaderType header;
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
        // Headers only: ReadHeader walks the records Read would deliver,
        // with the same repairs, and leaves the samples alone.
        for (;;) {
            in.ReadHeader(header);
            if (in.atEnd)
                break;
            ++table[header.delayRecordingTime];
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

    if (in.bIsOpen())
        in.Rewind();
    else if (!in.Open(path))
        return kFailed;
    // The stored records are copied from a descriptor of their own.
    const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0)
        return kFailed;

    const std::string temporary = path + std::string(kDelayScanTemporarySuffix);
    // The file itself is whole and complete while the copy fails.
    DelayScanResult copyFailed = kFailed;
    copyFailed.copyFailed = true;
    copyFailed.copyPath = temporary;
    // The file header as the writer makes it from the input's: no extended
    // text headers, the reader's samples per trace.
    CSegyFileOut out;
    // Only a copy this scan created may be removed: a failed Open created
    // nothing (the name may belong to something else, a folder say).
    if (!out.Open(temporary)) {
        (void)::close(from); // read-only: nothing to flush
        return copyFailed;
    }
    out.StartLike(in, static_cast<std::uint16_t>(in.GetSamples()));
    out.WriteHeader();
    out.Close();
    const int to = out.bHasFailed() ? -1 : ::open(temporary.c_str(), O_WRONLY | O_CLOEXEC);

    // A record the writer would store as it is stored here goes as bytes.
    const std::int32_t format = in.GetFormat();
    const bool sameBytes =
        in.swapBytes && ReaderBytesPerSample(format) == WriterBytesPerSample(format);
    CRecordCopier copier(from, to, kFileHeaderBytes);
    CSegyTrace trace(in.GetSamples());
    bool copied = to >= 0;

    // Exactly the traces counted are read again: none beyond them is copied,
    // and a file that now ends sooner cannot be read back whole.
    std::int64_t read = 0;
    std::int64_t removed = 0;
    bool readShort = false;
    while (read < traces && copied) {
        const std::int64_t at = in.GetPosition();
        in.ReadHeader(header);
        if (in.atEnd) {
            readShort = true;
            break;
        }
        ++read;
        if (table.count(header.delayRecordingTime) == 0) {
            ++removed;
        } else if (sameBytes && !in.LastHeaderRepaired()) {
            // The writer would store the header as the file does.
            copied = copier.Range(at, in.GetPosition() - at);
        } else {
            // The trace as the reader delivers it, repairs and all.
            if (!in.SetPosition(at)) {
                readShort = true;
                break;
            }
            in.Read(trace, -1);
            if (in.atEnd) {
                readShort = true;
                break;
            }
            copied = copier.Record(trace, format);
        }
        progress.Trace(kDelayFixStatus);
    }
    copied = copied && copier.Flush();
    readShort = readShort || copier.bReadFailed();
    in.Close();
    (void)::close(from);
    if (to >= 0 && ::close(to) != 0)
        copied = false;

    // rename replaces the scanned file in one step, and only once the copy
    // is complete: until then the file stays as it was.
    std::error_code ec;
    if (copied && !readShort && read == traces)
        fs::rename(temporary, path, ec);
    if (!copied || readShort || read != traces || ec) {
        std::error_code ignored; // a copy that cannot be removed is left for the user
        fs::remove(temporary, ignored);
        return readShort ? kFailed : copyFailed;
    }
    DelayScanResult result;
    result.removed = removed;
    return result;
}

void SetDelayScanKernelCopy(bool enabled)
{
    g_kernelCopy = enabled;
}

} // namespace tessara
