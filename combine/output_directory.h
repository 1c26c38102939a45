// The output directory while a job runs: one job at a time, and the
// writability probe.
#pragma once

#include "combine/api/combine_settings.h"

#include <optional>
#include <string>

namespace tessara
{

/// An exclusive lock on a directory (flock on the directory itself), held
/// from Acquire to destruction. Another job, in this process or another,
/// cannot take it meanwhile; the system releases it when the process ends,
/// however it ends.
class COutputDirectoryLock
{
public:
    COutputDirectoryLock() = default;
    ~COutputDirectoryLock();
    COutputDirectoryLock(const COutputDirectoryLock&) = delete;
    COutputDirectoryLock& operator=(const COutputDirectoryLock&) = delete;

    /// Takes the lock without waiting. False when another holder has it
    /// (`inUse` true) or the directory cannot be opened (`inUse` false).
    [[nodiscard]] bool Acquire(const std::string& directory, bool& inUse);

private:
    int m_fd = -1;
};

/// The writability probe of a job: in `directory`, deletes an existing
/// "SegyOut.sgy" (a working file left by a job that was killed; `removedLeftover`
/// then true), creates it anew, writes one byte 0xFF, closes it and deletes it
/// again. True when every step worked; any failure counts as not writeable.
/// The probe file never remains.
[[nodiscard]] bool ProbeOutputDirectory(const std::string& directory, bool& removedLeftover);

/// True when "SegyOut.sgy" in `directory` is a symbolic link, dangling or
/// not. The job never writes through it nor removes it: where it points is
/// the user's.
[[nodiscard]] bool WorkingPathIsLink(const std::string& directory);

/// The message shown when the working path is a link.
[[nodiscard]] std::string WorkingPathIsLinkMessage(const std::string& directory);
/// The message shown when the probe fails.
[[nodiscard]] std::string NotWriteableMessage(const std::string& directory);
/// The part of every output name the settings give, before its span
/// ("Expedition_[data_type_][instrument_type_][xcdr_]").
[[nodiscard]] std::string OutputNamePrefix(const CombineSettings& settings);

/// What a file name in the output directory tells when it is one the job
/// gives: Expedition_..._DDD_HHMM_to_DDD_HHMM[_SC...m][_n] with ".sgy", or
/// ".png" for its quicklook. Times are seconds of their own year, each end
/// its minute's start.
struct OutputNameSpan {
    double startSeconds;
    double endSeconds;
    bool quicklook;
};
[[nodiscard]] std::optional<OutputNameSpan> ReadOutputFileName(const CombineSettings& settings,
                                                               const std::string& fileName);

/// The message shown when another job holds the directory.
[[nodiscard]] std::string DirectoryInUseMessage(const std::string& directory);

} // namespace tessara
