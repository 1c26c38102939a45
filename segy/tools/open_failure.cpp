#include "segy/tools/open_failure.h"

#include "segy/io/segy_file_in.h"

#include <cstring>
#include <filesystem>

namespace tessara
{

std::string OpenFailureText(const std::string& path, const CSegyFileIn& reader)
{
    const SegyOpenError& e = reader.OpenError();
    switch (e.reason) {
    case SegyOpenReason::NoSuchFile:
        return "no such file";
    case SegyOpenReason::PermissionDenied:
        return "permission denied";
    case SegyOpenReason::NotRegularFile: {
        std::error_code ec;
        return std::filesystem::is_directory(path, ec) ? "is a directory" : "not a regular file";
    }
    case SegyOpenReason::TooShort:
        if (e.fileBytes < kFileHeaderBytes)
            return "not a SEG-Y file: " + std::to_string(e.fileBytes) +
                   " bytes, shorter than the " + std::to_string(kFileHeaderBytes) +
                   "-byte file header";
        return "not a readable SEG-Y file: " + std::to_string(e.fileBytes) +
               " bytes, shorter than its file header and extended text headers";
    case SegyOpenReason::UnsupportedFormat:
        return "not a readable SEG-Y file: sample format " + std::to_string(e.formatCode) +
               " not in {1,2,3,5,8}";
    case SegyOpenReason::ExtendedHeaders:
        return "not a readable SEG-Y file: extended text header count " +
               std::to_string(e.extendedHeaders) + " (a count not given in advance)";
    case SegyOpenReason::CannotOpen:
    case SegyOpenReason::ReadError:
        return std::string("cannot be read: ") + std::strerror(e.errorNumber);
    case SegyOpenReason::None:
        break;
    }
    return "cannot be read";
}

} // namespace tessara
