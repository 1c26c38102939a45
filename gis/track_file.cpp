#include "gis/track_file.h"

#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <span>
#include <unistd.h>

namespace tessara
{
namespace
{
/// The working file of a write: removed unless it got its final name.
class CWorkingTrackFile
{
public:
    explicit CWorkingTrackFile(std::string path) : m_path(std::move(path)) {}
    ~CWorkingTrackFile()
    {
        if (!m_kept)
            (void)std::remove(m_path.c_str()); // nothing more can be done about it
    }
    CWorkingTrackFile(const CWorkingTrackFile&) = delete;
    CWorkingTrackFile& operator=(const CWorkingTrackFile&) = delete;
    /// Gives the file the name `path`, replacing a file of that name in
    /// one step: a reader sees the old track or the new one, never half of
    /// it. False with `error` set when it cannot (the file is then removed).
    bool MoveTo(const std::string& path, std::string& error)
    {
        m_kept = std::rename(m_path.c_str(), path.c_str()) == 0;
        if (!m_kept)
            error = WriteFailureText(errno);
        return m_kept;
    }

private:
    std::string m_path;
    bool m_kept = false;
};

/// Writes all of `bytes` to `fd`; false with errno set when a write fails.
bool WriteAll(int fd, std::span<const unsigned char> bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

/// The module's entry point, loaded on first use and kept for the life of
/// the program; null with `error` set when the module cannot be loaded.
TrackBytesFunction TrackBytesMaker(std::string& error)
{
    static std::once_flag loaded;
    static TrackBytesFunction entry = nullptr;
    static std::string failure;
    std::call_once(loaded, [] {
        // Beside the program in the build; in the package's library folder
        // next to the program's folder once installed.
        std::error_code ec;
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (ec) {
            failure = "cannot find the program's folder: " + ec.message();
            return;
        }
        const std::filesystem::path folder = program.parent_path();
        const std::vector<std::filesystem::path> places = {
            folder / kTrackModuleName,
            (folder / TESSARA_GIS_MODULE_DIR / kTrackModuleName).lexically_normal()};
        for (const std::filesystem::path& place : places) {
            if (!std::filesystem::exists(place, ec))
                continue;
            void* module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module == nullptr) {
                const char* why = ::dlerror();
                failure = "cannot load " + place.string() + ": " + (why ? why : "unknown reason");
                return;
            }
            entry = reinterpret_cast<TrackBytesFunction>(::dlsym(module, kTrackBytesSymbol));
            if (entry == nullptr)
                failure = place.string() + " has no " + kTrackBytesSymbol;
            return;
        }
        failure = std::string("the GeoPackage and KML writer ") + kTrackModuleName +
                  " is not installed (looked in " + places.front().parent_path().string() +
                  " and " + places.back().parent_path().string() + ")";
    });
    if (entry == nullptr)
        error = failure;
    return entry;
}

} // namespace

std::optional<TrackFormat> TrackFormatOfName(const std::string& path)
{
    const std::string extension = LowerCaseExtension(path);
    if (extension == ".gpkg")
        return TrackFormat::GeoPackage;
    if (extension == ".kml")
        return TrackFormat::Kml;
    return std::nullopt;
}

bool WriteTrackFile(const std::string& path,
                    TrackFormat format,
                    const TrackLayers& layers,
                    bool withPoints,
                    std::string& error,
                    const WorkingFileCreated& created)
{
    // GDAL's drivers do not all report a failed write (KML does not): the
    // file is made in memory and its bytes written here, where every
    // failure shows.
    const TrackBytesFunction makeBytes = TrackBytesMaker(error);
    if (makeBytes == nullptr)
        return false;
    const TrackBytesRequest request{format, &layers, withPoints};
    std::vector<unsigned char> bytes;
    if (!makeBytes(&request, &bytes, &error))
        return false;
    std::string working;
    const int fd = CreateBeside(path, working, created);
    if (fd < 0) {
        error = WriteFailureText(errno);
        return false;
    }
    CWorkingTrackFile temporary(working);
    bool written = WriteAll(fd, bytes);
    // Where a file system that writes late (NFS) reports a full disk.
    written = ::close(fd) == 0 && written;
    if (!written) {
        error = WriteFailureText(errno);
        return false;
    }
    return temporary.MoveTo(path, error);
}

} // namespace tessara
