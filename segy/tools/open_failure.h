// Why a SEG-Y file could not be opened, in the words the user reads.
#pragma once

#include <string>

namespace tessara
{

class CSegyFileIn;

/// Why `reader`, whose Open of `path` returned false, could not open it: one
/// line without the path ("no such file", "permission denied", ...).
[[nodiscard]] std::string OpenFailureText(const std::string& path, const CSegyFileIn& reader);

} // namespace tessara
