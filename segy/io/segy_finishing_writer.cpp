#include "segy/io/segy_finishing_writer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace tessara
{

namespace
{

// Names tried before giving up: a clash is a sign of something else at work.
constexpr int kNameAttempts = 100;

} // namespace

int CreateBeside(const std::string& finalPath,
                 std::string& workingPath,
                 const WorkingFileCreated& created)
{
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // Unpredictable enough to make a clash rare; O_EXCL makes one harmless.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::mt19937_64 random(static_cast<std::uint64_t>(now) ^
                           (static_cast<std::uint64_t>(::getpid()) << 32));
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    sigset_t stops;
    sigset_t before;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    (void)::pthread_sigmask(SIG_BLOCK, &stops, &before);
    int fd = -1;
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
        std::string candidate = finalPath + ".";
        for (int k = 0; k < 6; ++k)
            candidate += kLetters[pick(random)];
        // Created here rather than by mkstemp, whose files are the owner's
        // alone: the finished file gets the permissions the umask gives.
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        error = fd < 0 ? errno : 0;
        if (fd >= 0)
            workingPath = candidate;
    }
    if (fd >= 0 && created)
        created(workingPath);
    (void)::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return fd;
}

std::string LowerCaseExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return extension;
}

std::string WriteFailureText(int error)
{
    // A file-size limit is the process's, not a fault of the file.
    return error == EFBIG ? "file too large" : std::strerror(error);
}

bool CSegyFinishingWriter::OpenBeside(const std::string& finalPath,
                                      const WorkingFileCreated& created)
{
    Abandon();
    const int fd = CreateBeside(finalPath, m_working, created);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    (void)::close(fd); // the writer opens it again
    m_error = 0;
    if (!m_out.Open(m_working)) {
        m_error = errno;
        Abandon();
        return false;
    }
    return true;
}

bool CSegyFinishingWriter::OpenAt(const std::string& workingPath)
{
    Abandon();
    if (!m_out.Open(workingPath)) {
        m_error = errno;
        return false;
    }
    m_error = 0;
    m_working = workingPath;
    return true;
}

CSegyFinishingWriter::Finished CSegyFinishingWriter::Finish(const std::string& finalPath)
{
    if (m_working.empty())
        return Finished::NotOpen;
    m_out.Close(); // where a full disk shows up
    if (m_out.bHasFailed())
        return Finished::WriteFailed;
    // rename replaces a file of the final name in one step: a reader sees
    // the old file or the new one, never a part of either.
    if (std::rename(m_working.c_str(), finalPath.c_str()) != 0) {
        m_error = errno;
        return Finished::RenameFailed;
    }
    m_working.clear();
    return Finished::Done;
}

void CSegyFinishingWriter::Abandon()
{
    m_out.Close();
    if (m_working.empty())
        return;
    (void)std::remove(m_working.c_str()); // already gone is as good as removed
    m_working.clear();
}

} // namespace tessara
