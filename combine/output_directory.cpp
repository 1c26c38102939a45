#include "combine/output_directory.h"

#include "combine/api/output_directory.h"
#include "combine/job_state.h"
#include "nav/speed_correction.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <regex>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tessara
{

namespace fs = std::filesystem;

std::string JoinPath(const std::string& directory, const std::string& name)
{
    return (fs::path(directory) / name).string();
}

bool FileIdentity(const std::string& path,
                  std::uint64_t& device,
                  std::uint64_t& inode,
                  FileVersion* version)
{
    struct stat info {
    };
    if (::stat(path.c_str(), &info) != 0)
        return false;
    device = static_cast<std::uint64_t>(info.st_dev);
    inode = static_cast<std::uint64_t>(info.st_ino);
    if (version != nullptr) {
        version->bytes = static_cast<std::int64_t>(info.st_size);
        version->modified_ns = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                               static_cast<std::int64_t>(info.st_mtim.tv_nsec);
        version->changed_ns = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 +
                              static_cast<std::int64_t>(info.st_ctim.tv_nsec);
    }
    return true;
}

InputNow CompareWithScan(const InputEntry& input)
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    FileVersion version;
    if (!FileIdentity(input.path, device, inode, &version))
        return InputNow::Gone;
    const bool same = input.identified && device == input.device && inode == input.inode &&
                      version == input.version;
    return same ? InputNow::AsScanned : InputNow::Changed;
}

std::string FileNameOf(const std::string& path)
{
    return fs::path(path).filename().string();
}

COutputDirectoryLock::~COutputDirectoryLock()
{
    if (m_fd >= 0)
        (void)::close(m_fd); // releases the lock; nothing was written through it
}

bool COutputDirectoryLock::Acquire(const std::string& directory, bool& inUse)
{
    inUse = false;
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        inUse = errno == EWOULDBLOCK;
        (void)::close(fd);
        return false;
    }
    if (m_fd >= 0)
        (void)::close(m_fd);
    m_fd = fd;
    return true;
}

bool ProbeOutputDirectory(const std::string& directory, bool& removedLeftover)
{
    removedLeftover = false;
    const std::string probe = JoinPath(directory, kWorkingFileName);
    std::error_code ec;
    if (fs::exists(probe, ec)) {
        if (!fs::remove(probe, ec))
            return false;
        removedLeftover = true;
    }
    if (ec)
        return false;
    // "x": the probe must be a file this process created, not one that
    // appeared in the meantime.
    std::FILE* file = std::fopen(probe.c_str(), "wbx");
    if (file == nullptr)
        return false;
    const bool written = std::fputc(0xFF, file) == 0xFF;
    const bool closed = std::fclose(file) == 0;
    const bool removed = fs::remove(probe, ec);
    return written && closed && removed;
}

bool WorkingPathIsLink(const std::string& directory)
{
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(JoinPath(directory, kWorkingFileName), ec));
}

std::string WorkingPathIsLinkMessage(const std::string& directory)
{
    return std::string(kWorkingFileName) + " in " + directory + " is a link: remove it";
}

std::string NotWriteableMessage(const std::string& directory)
{
    return "Selected output directory, " + directory + ", is not writeable";
}

std::string DirectoryInUseMessage(const std::string& directory)
{
    return "Output directory " + directory + " is in use by another job";
}

SplitTime SplitSecondsOfYear(double t)
{
    const double day = std::trunc(t / 24 / 3600);
    const double hour = std::trunc(t / 3600 - day * 24);
    const double minute = std::trunc(t / 60 - (day * 24 + hour) * 60);
    return {day, hour, minute, t - ((day * 24 + hour) * 60 + minute) * 60};
}

namespace
{

struct DayClock {
    long long day;
    long long clock; // hour * 100 + minute
};

// The name's day and clock of a time in seconds of year.
DayClock DayClockOf(double seconds)
{
    const SplitTime s = SplitSecondsOfYear(seconds);
    return {static_cast<long long>(s.day), static_cast<long long>(s.hour * 100 + s.minute)};
}

std::string Padded(long long value, int width)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
    return buffer;
}

} // namespace

std::string BuildOutputFileName(const CombineSettings& settings,
                                double startSeconds,
                                double lastSeconds,
                                std::optional<double> spacingMetres)
{
    std::string name = settings.Expedition + "_";
    for (const std::string* text :
         {&settings.data_type, &settings.instrument_type, &settings.xcdr}) {
        if (text->size() > 1)
            name += *text + "_";
    }
    const DayClock start = DayClockOf(startSeconds);
    const DayClock end = DayClockOf(lastSeconds);
    name += Padded(start.day, 3) + "_" + Padded(start.clock, 4) + "_to_" + Padded(end.day, 3) +
            "_" + Padded(end.clock, 4);
    // One decimal rounded half away from zero, as the chart title shows it.
    if (spacingMetres)
        name += "_SC" + SpacingText(*spacingMetres) + "m";
    return name + ".sgy";
}

std::string OutputNamePrefix(const CombineSettings& settings)
{
    constexpr std::string_view kSpanAtZero = "000_0000_to_000_0000.sgy";
    const std::string any = BuildOutputFileName(settings, 0, 0, std::nullopt);
    return any.substr(0, any.size() - kSpanAtZero.size());
}

std::optional<OutputNameSpan> ReadOutputFileName(const CombineSettings& settings,
                                                 const std::string& fileName)
{
    // The texts before the span are the settings' own and may hold any
    // character: compared as they are, the rest by its pattern.
    const std::string prefix = OutputNamePrefix(settings);
    if (fileName.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    static const std::regex rest(
        R"((\d{3})_(\d{2})(\d{2})_to_(\d{3})_(\d{2})(\d{2})(_SC[0-9.]+m)?(_\d+)?\.(sgy|png))");
    std::smatch m;
    if (!std::regex_match(fileName.cbegin() + static_cast<std::ptrdiff_t>(prefix.size()),
                          fileName.cend(),
                          m,
                          rest))
        return std::nullopt;
    const auto at = [&m](std::size_t day, std::size_t hour, std::size_t minute) {
        return ((std::stod(m[day]) * 24 + std::stod(m[hour])) * 60 + std::stod(m[minute])) * 60;
    };
    return OutputNameSpan{at(1, 2, 3), at(4, 5, 6), m[9] == "png"};
}

bool bIsJobFileName(const CombineSettings& settings, const std::string& fileName)
{
    return fileName == kWorkingFileName || ReadOutputFileName(settings, fileName).has_value();
}

} // namespace tessara
