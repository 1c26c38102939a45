// The header fields that can carry a trace's channel number, read from the
// trace header as the reader holds it: standard fields in host byte order,
// bytes 180-181 and 188-239 as they stand in the file. Nothing is ever read
// outside the 240-byte header.
#pragma once

#include "segy/format/segy_headers.h"

#include <cstdint>
#include <optional>

namespace tessara
{

/// Number of header fields that can carry the channel (channel_field 0..4).
constexpr int kChannelFieldCount = 5;

/// The user-defined channel field: `length` bytes of `header` from byte
/// `start` (0-based), composed least significant byte first. Length 1 is
/// unsigned (0..255), lengths 2 and 4 are signed 16- and 32-bit integers.
/// Empty for any other length, a negative start, or a field reaching past
/// byte 239 (start + length > 240).
[[nodiscard]] std::optional<std::int32_t>
UserDefinedChannelField(const SegyHeaderType& header, int start, int length);

/// Value of channel field `field` of `header`: 0 traceSequenceFile (bytes
/// 4-7), 1 traceInEnsemble (24-27), 2 traceIdCode (28-29), 3 digitizerChannel
/// (byte 180, signed), 4 the user-defined field at `start`, `length` bytes.
/// Empty for a field outside 0..4 or a user-defined field without a value.
[[nodiscard]] std::optional<std::int32_t>
ChannelFieldValue(const SegyHeaderType& header, int field, int start, int length);

} // namespace tessara
