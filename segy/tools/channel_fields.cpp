#include "segy/tools/channel_fields.h"

#include <cstring>

namespace tessara
{

std::optional<std::int32_t>
UserDefinedChannelField(const SegyHeaderType& header, int start, int length)
{
    if (length != 1 && length != 2 && length != 4)
        return std::nullopt;
    if (start < 0 || start > kTraceHeaderBytes - length)
        return std::nullopt;
    unsigned char bytes[kTraceHeaderBytes];
    std::memcpy(bytes, &header, sizeof bytes);
    const unsigned char* field = bytes + start;
    // Least significant byte first, whatever the host: the bytes are those
    // held in memory, where the standard fields are already in host order.
    std::uint32_t value = 0;
    for (int k = length - 1; k >= 0; --k)
        value = (value << 8) | field[k];
    switch (length) {
    case 1:
        return static_cast<std::int32_t>(value);
    case 2:
        return static_cast<std::int32_t>(static_cast<std::int16_t>(value));
    default:
        return static_cast<std::int32_t>(value);
    }
}

std::optional<std::int32_t>
ChannelFieldValue(const SegyHeaderType& header, int field, int start, int length)
{
    switch (field) {
    case 0:
        return header.traceSequenceFile;
    case 1:
        return header.traceInEnsemble;
    case 2:
        return header.traceIdCode;
    case 3:
        return header.digitizerChannel;
    case 4:
        return UserDefinedChannelField(header, start, length);
    default:
        return std::nullopt;
    }
}

} // namespace tessara
