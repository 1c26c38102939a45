// What combine makes before its job starts: the log file and the output
// directory, each taken back when the job does not start, so that a refused
// command leaves nothing behind.
#pragma once

#include "combine/api/combine_settings.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tessara::cli
{

/// Why `logPath` may not take the log (or what `option` writes) of the job
/// with `settings` that writes into `outputDirectory`: "--log PATH is a
/// directory", "... is one of the inputs", "... is an existing SEG-Y file",
/// "... is a name the job may give a file in DIR", or a socket or block
/// device. Empty when it may.
[[nodiscard]] std::string LogPathProblem(const std::string& logPath,
                                         const CombineSettings& settings,
                                         const std::string& outputDirectory,
                                         const std::string& option = "--log");

/// The job's log: stdout, or the file opened by Open.
class CJobLogFile
{
public:
    CJobLogFile() = default;
    ~CJobLogFile() { (void)Close(); }
    CJobLogFile(const CJobLogFile&) = delete;
    CJobLogFile& operator=(const CJobLogFile&) = delete;

    /// Opens `path` for appending, not emptied: the job empties it once it
    /// has made sure it may write into the output directory. False when it
    /// cannot be opened.
    [[nodiscard]] bool Open(const std::string& path);
    /// Where the log goes: stdout until a file is open.
    [[nodiscard]] std::FILE* File() const { return m_file; }
    /// Closes an open file; false when what was buffered could not be written.
    [[nodiscard]] bool Close();
    /// The job did not start: closes the file and removes it when Open
    /// created it.
    void Discard();

private:
    std::FILE* m_file = stdout;
    std::string m_path;
    bool m_created = false;
};

/// Creates `directory` and the folders above it that are missing; `created`
/// gets the folders made, deepest first. An error message ("cannot create
/// output directory DIR (REASON)") on failure, with what was made by then in
/// `created`. An existing `directory` is left to the job to judge.
[[nodiscard]] std::string CreateOutputDirectory(const std::string& directory,
                                                std::vector<std::filesystem::path>& created);

/// Removes the folders CreateOutputDirectory made, as long as they are empty.
void RemoveCreatedDirectories(const std::vector<std::filesystem::path>& created);

} // namespace tessara::cli
