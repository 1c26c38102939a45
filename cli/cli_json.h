// The JSON of the commands' --json: each document is built as a value and
// written by the JSON library.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tessara::cli
{

/// A JSON value whose members stay in the order they were added.
using Json = nlohmann::ordered_json;

/// The number that `text` (decimal digits as a listing shows them, e.g.
/// "0.7", "2", "-12.500") gives a reader, kept an integer when it is one;
/// null for a text that is no JSON number ("nan", "inf"), as JSON has none.
[[nodiscard]] Json NumberOfText(const std::string& text);

/// `value` rounded to `decimals` decimals as printf's "%.*f" rounds it;
/// null when it is not finite.
[[nodiscard]] Json DecimalNumber(double value, int decimals);

/// Writes `document` to stdout indented by two, for a person to read, and a
/// line end. Bytes that are not UTF-8 (a file name in another encoding) are
/// written as U+FFFD, since a JSON text is UTF-8.
void PrintJsonDocument(const Json& document);

/// Writes `document` to stdout on one line, with the same replacement of
/// bytes that are not UTF-8: a record of a listing of one JSON value per
/// line, or a document too long to be read by eye (a track of every fix).
void PrintJsonLine(const Json& document);

} // namespace tessara::cli
