#include "cli/cli_json.h"

#include <cstdio>
#include <iostream>

namespace tessara::cli
{
namespace
{

void Print(const Json& document, int indent)
{
    // The library's strict handler would throw on a file name that is not
    // UTF-8 and end the command with nothing written.
    std::cout << document.dump(indent, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace

Json NumberOfText(const std::string& text)
{
    Json number = Json::parse(text, nullptr, false);
    return number.is_number() ? number : Json(nullptr);
}

Json DecimalNumber(double value, int decimals)
{
    char text[400]; // the widest double, 308 digits, with the decimals asked for here
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return NumberOfText(text);
}

void PrintJsonDocument(const Json& document)
{
    Print(document, 2);
}

void PrintJsonLine(const Json& document)
{
    Print(document, -1);
}

} // namespace tessara::cli
