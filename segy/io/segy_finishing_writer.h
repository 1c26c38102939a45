// A SEG-Y file written under a working name beside its final one, which it
// takes only when every byte reached the disk: a file cut short (a full
// disk, a file-size limit, a stop) never passes for a whole one, and a file
// it replaces stays whole until then.
#pragma once

#include "segy/io/segy_file_out.h"

#include <functional>
#include <string>

namespace tessara
{

/// Told the path of a working file as soon as it exists, for a signal
/// handler that removes it when the process is stopped.
using WorkingFileCreated = std::function<void(const std::string&)>;

/// Creates a file of a name no other file has, `finalPath` followed by "."
/// and six characters, with the permissions any new file of the user gets,
/// and returns its descriptor, open for writing, with its path in
/// `workingPath`; -1 with errno set when it cannot. SIGINT and SIGTERM are
/// held back from before the file exists until `created` (when given) has
/// returned, so that a handler it arms never misses the file.
[[nodiscard]] int CreateBeside(const std::string& finalPath,
                               std::string& workingPath,
                               const WorkingFileCreated& created = {});

/// Why a write failed, in a few words for the user: "file too large" past a
/// file-size limit, else the system's text for `error` ("No space left on
/// device").
[[nodiscard]] std::string WriteFailureText(int error);

/// The extension of the file name `path` ends in, with its dot, in lower
/// case (".sgy" for "LINE1.SGY"); empty when the name has none. What kind of
/// file a name promises, whatever case the recorder or the user wrote it in.
[[nodiscard]] std::string LowerCaseExtension(const std::string& path);

/// Owner of one working file at a time and of the writer that fills it.
/// The object may be opened again once the file is finished or abandoned.
class CSegyFinishingWriter
{
public:
    /// How Finish ended.
    enum class Finished {
        Done,         ///< the file has its final name
        WriteFailed,  ///< a write or the close failed
        RenameFailed, ///< the final name could not be given (Error() says why)
        NotOpen,      ///< no working file
    };

    CSegyFinishingWriter() = default;
    /// Closes an open file. An unfinished working file stays on the disk
    /// (Abandon removes it): a caller may keep what a failed run wrote.
    ~CSegyFinishingWriter() = default;
    CSegyFinishingWriter(const CSegyFinishingWriter&) = delete;
    CSegyFinishingWriter& operator=(const CSegyFinishingWriter&) = delete;

    /// Creates a working file of a name no other file has, `finalPath`
    /// followed by "." and six characters, with the permissions any new
    /// file of the user gets (see CreateBeside, which tells `created`).
    /// False, with Error() set, when it cannot.
    [[nodiscard]] bool OpenBeside(const std::string& finalPath,
                                  const WorkingFileCreated& created = {});
    /// Creates or truncates the working file at `workingPath`, a name the
    /// caller chose. Refused when `workingPath` is a symbolic link (see
    /// CSegyFileOut::Open).
    [[nodiscard]] bool OpenAt(const std::string& workingPath);

    /// The writer of the working file, valid while it is open. Closing it
    /// early is allowed (Finish then only checks and renames).
    [[nodiscard]] CSegyFileOut& Out() { return m_out; }
    /// The working file's path; empty when there is none.
    [[nodiscard]] const std::string& WorkingPath() const { return m_working; }
    /// errno of the last failure to create the working file or to give it
    /// its final name; 0 otherwise.
    [[nodiscard]] int Error() const { return m_error; }

    /// Closes the file and, when every write since it was opened succeeded,
    /// gives it `finalPath` in one step, replacing a file of that name. On
    /// any failure nothing is at `finalPath` that was not there before, and
    /// the closed working file stays for the caller to Abandon or keep.
    [[nodiscard]] Finished Finish(const std::string& finalPath);
    /// Closes the file and removes it; nothing when there is none.
    void Abandon();

private:
    CSegyFileOut m_out;
    std::string m_working;
    int m_error = 0;
};

} // namespace tessara
