// The file a command makes (section -o, copy OUT, a quicklook): where it
// goes, and its temporary file when the command is stopped.
#pragma once

#include <string>

namespace tessara::cli
{

/// How a command's output is written.
enum class OutputKind {
    File,    ///< written beside the name and renamed over it when complete
    Stream,  ///< written straight into what is there, front to back
    Refused, ///< nothing can be written there
};

struct OutputTarget {
    OutputKind kind = OutputKind::File;
    /// Refused: "is a directory", "is a socket", "is a block device", "is the
    /// input file; choose another output"
    std::string why;
    int exitCode = 0; ///< Refused: kExitUsage for the input itself, else kExitFailure
};

/// Whether `path` names standard output: "-" or "/dev/stdout".
[[nodiscard]] bool IsStandardOutput(const std::string& path);

/// How `path` is written by a command that reads `input`: Refused when it
/// is `input` itself, else as follows. "-" and "/dev/stdout" are standard output, a
/// Stream whatever it is. An existing FIFO or character device (a link to
/// one too: /dev/stderr) is a Stream: renamed over, it would be replaced by
/// a file. A directory, socket or block device is Refused. Anything else (no
/// file, a regular file, a link to one or a dangling link) is a File: a
/// link is then replaced, never what it points to.
[[nodiscard]] OutputTarget ClassifyOutput(const std::string& input, const std::string& path);

/// A descriptor of its own for writing into the Stream `path`: standard
/// output duplicated, or the FIFO or device opened (waiting for a FIFO's
/// reader). -1 with `why` set to the system's reason ("Permission denied")
/// when it cannot be had.
[[nodiscard]] int OpenStreamTarget(const std::string& path, std::string& why);

/// While it lives, SIGINT and SIGTERM remove the temporary file armed, if
/// any, and end the process by the same signal, so that the caller sees how
/// it ended. Made `firstAsksToStop`, the first of them only asks to stop
/// (bStopRequested), for work that may end early and normally: pictures
/// drawn after a job's report, whose exit code the job decided. One at a
/// time; SIGINT and SIGTERM get their default actions back at its end.
class CTemporaryFileOnStop
{
public:
    explicit CTemporaryFileOnStop(bool firstAsksToStop = false);
    ~CTemporaryFileOnStop();
    CTemporaryFileOnStop(const CTemporaryFileOnStop&) = delete;
    CTemporaryFileOnStop& operator=(const CTemporaryFileOnStop&) = delete;

    /// A first SIGINT or SIGTERM came (only when made `firstAsksToStop`).
    [[nodiscard]] bool bStopRequested() const;
    /// The temporary file at `path` exists: a stop removes it. Called where
    /// the signals are held back (see CreateBeside), so none falls between
    /// the file's creation and this. A path too long to keep is not armed.
    void Arm(const std::string& path);
    /// The temporary file has its final name or is gone.
    void Disarm();
};

} // namespace tessara::cli
