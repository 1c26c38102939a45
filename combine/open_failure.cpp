#include "combine/open_failure.h"

#include "segy/format/sample_codec.h"
#include "segy/io/segy_file_in.h"

#include <filesystem>
#include <unistd.h>

namespace tessara
{

std::string OpenFailureText(const std::string& path, const CSegyFileIn& reader)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status))
        return "no such file";
    if (std::filesystem::is_directory(status))
        return "is a directory";
    if (!std::filesystem::is_regular_file(status))
        return "not a regular file";
    if (::access(path.c_str(), R_OK) != 0)
        return "permission denied";
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return "cannot be read";
    if (size < static_cast<std::uintmax_t>(kFileHeaderBytes))
        return "not a SEG-Y file: " + std::to_string(size) + " bytes, shorter than the " +
               std::to_string(kFileHeaderBytes) + "-byte file header";
    if (!IsReadableFormat(reader.OpenError().formatCode))
        return "not a readable SEG-Y file: sample format " +
               std::to_string(reader.OpenError().formatCode) + " not in {1,2,3,5,8}";
    return "cannot be read";
}

} // namespace tessara
