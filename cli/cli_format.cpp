#include "cli/cli_format.h"

#include "segy/format/sample_codec.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace tessara::cli
{

std::string FormatTraceTime(const SegyHeaderType& h)
{
    char text[64];
    std::snprintf(text,
                  sizeof text,
                  "%d %03d %02d:%02d:%02d.%03d",
                  h.year,
                  h.dayOfYear,
                  h.hour,
                  h.minute,
                  h.second,
                  h.millisecond);
    return text;
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(c));
                out += esc;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string OpenFailureReason(const std::string& path, const CSegyFileIn& reader)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status))
        return "no such file";
    if (std::filesystem::is_directory(status))
        return "is a directory";
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return "cannot be read";
    if (size < static_cast<std::uintmax_t>(kFileHeaderBytes))
        return "not a SEG-Y file: " + std::to_string(size) + " bytes, shorter than the " +
               std::to_string(kFileHeaderBytes) + "-byte file header";
    if (!IsReadableFormat(reader.GetFormat()))
        return "not a readable SEG-Y file: sample format " + std::to_string(reader.GetFormat()) +
               " not in {1,2,3,5,8}";
    return "cannot be read";
}

void PrintError(const std::string& path, const std::string& what)
{
    std::cerr << "tessara-cli: " << path << ": " << what << '\n';
}

} // namespace tessara::cli
