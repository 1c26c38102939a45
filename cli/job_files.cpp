#include "cli/job_files.h"

#include "combine/api/output_directory.h"
#include "segy/tools/segy_file_tools.h"

namespace tessara::cli
{

// The log must not take the place of a file the user needs: an input, or
// any SEG-Y file (a glob after --log puts one there); nor of a file the job
// writes, which would remove or replace it. A terminal, a FIFO or a device
// such as /dev/null is written into as it is.
std::string LogPathProblem(const std::string& logPath,
                           const CombineSettings& settings,
                           const std::string& outputDirectory,
                           const std::string& option)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(logPath, ec);
    if (fs::is_directory(status))
        return option + " " + logPath + " is a directory";
    if (fs::is_socket(status) || fs::is_block_file(status))
        return option + " " + logPath +
               " is a socket or block device, not a file to write a log to";
    for (const std::string& input : settings.input_files) {
        if (fs::equivalent(logPath, input, ec))
            return option + " " + logPath + " is one of the inputs";
    }
    if (fs::is_regular_file(status) && SegyOpenFailure(logPath).empty())
        return option + " " + logPath + " is an existing SEG-Y file";
    const fs::path log = fs::weakly_canonical(logPath, ec);
    if (!ec && log.parent_path() == fs::weakly_canonical(outputDirectory, ec) && !ec &&
        bIsJobFileName(settings, log.filename().string()))
        return option + " " + logPath + " is a name the job may give a file in " + outputDirectory;
    return {};
}

bool CJobLogFile::Open(const std::string& path)
{
    std::error_code ec;
    m_created = !std::filesystem::exists(path, ec);
    m_path = path;
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr)
        return false;
    m_file = file;
    return true;
}

bool CJobLogFile::Close()
{
    if (m_file == stdout || m_file == nullptr)
        return true;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed;
}

void CJobLogFile::Discard()
{
    (void)Close(); // nothing was written to it
    if (m_created)
        (void)std::remove(m_path.c_str());
}

std::string CreateOutputDirectory(const std::string& directory,
                                  std::vector<std::filesystem::path>& created)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(directory, ec))
        return {}; // whether the job may write there is the job's to say
    std::vector<fs::path> missing;
    for (fs::path p = fs::absolute(directory, ec).lexically_normal(); !p.empty() && !ec;
         p = p.parent_path()) {
        if (fs::exists(p, ec) || p == p.parent_path())
            break;
        missing.push_back(p);
    }
    for (auto p = missing.rbegin(); p != missing.rend(); ++p) {
        const bool made = fs::create_directory(*p, ec);
        if (ec)
            return "cannot create output directory " + directory + " (" + ec.message() + ")";
        if (made) // else another process made it meanwhile: not ours to remove
            created.insert(created.begin(), *p);
    }
    return {};
}

void RemoveCreatedDirectories(const std::vector<std::filesystem::path>& created)
{
    std::error_code ec;
    for (const std::filesystem::path& p : created)
        (void)std::filesystem::remove(p, ec); // a folder no longer empty stays
}

} // namespace tessara::cli
