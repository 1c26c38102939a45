#include "segy/tools/channel_preview.h"

#include "segy/io/segy_file_in.h"

namespace tessara
{

std::optional<std::vector<ChannelPreviewRow>>
ScanChannelPreview(const std::string& path, int start, int length)
{
    CSegyFileIn in;
    if (!in.Open(path))
        return std::nullopt;
    CSegyTrace trace(in.GetSamples());
    std::vector<ChannelPreviewRow> rows;
    while (rows.size() < kChannelPreviewTraces) {
        in.Read(trace, -1);
        // The read that finds the end delivers nothing: it adds no row.
        if (in.atEnd)
            break;
        const SegyHeaderType& h = *trace.header;
        ChannelPreviewRow row;
        for (int field = 0; field < kChannelFieldCount - 1; ++field)
            row.fields[static_cast<std::size_t>(field)] =
                ChannelFieldValue(h, field, start, length).value_or(0);
        row.userDefined = UserDefinedChannelField(h, start, length);
        row.sampleCount = h.sampleCount;
        rows.push_back(row);
    }
    in.Close();
    return rows;
}

std::array<std::string, kChannelFieldCount + 1> ChannelPreviewCells(const ChannelPreviewRow& row)
{
    std::array<std::string, kChannelFieldCount + 1> cells;
    for (std::size_t k = 0; k < row.fields.size(); ++k)
        cells[k] = std::to_string(row.fields[k]);
    if (row.userDefined)
        cells[kChannelFieldCount - 1] = std::to_string(*row.userDefined);
    cells[kChannelFieldCount] = std::to_string(row.sampleCount);
    return cells;
}

} // namespace tessara
