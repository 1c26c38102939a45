// A settings record with every setting away from its default, for the
// tests that carry settings from one place to another.
#pragma once

#include "combine/api/combine_settings.h"

namespace tessara::test
{

/// A record with every setting away from its default, as valid as a
/// surveyor's own: each one read back as a default would go unnoticed.
inline CombineSettings EverySettingChanged()
{
    CombineSettings s;
    s.max_file_size = 1;
    s.time_duration_limit = 1000;
    s.file_gap = 7;
    s.make_null_traces = false;
    s.demultiplex_only = true;
    s.timecorrection = 3600;
    s.delayscan = false;
    s.fixupknudsen = true;
    s.knudsen_name_format = KnudsenNameFormat::DayOnly;
    s.assign_sampling_frequency = true;
    s.sampling_frequency = 20000.0;
    s.speed_correction = true;
    s.nav_average_fixes = 2;
    s.spacing_mode = SpacingMode::Fixed;
    s.trace_spacing = 2.5;
    s.navigation_max_gap = 2.5;
    s.navigation_epsg = 32756;
    s.antenna_offset_along = -1.25;
    s.antenna_offset_across = 0.75;
    s.layback = 42.5;
    s.Expedition = "Cruise \"7\" # left";
    s.data_type = "SBP";
    s.instrument_type = "Kn\xc3\xbc"
                        "dsen 3260";
    s.xcdr = "3.5 kHz # hull";
    s.demultiplex_single_channel = true;
    s.channel_field = 4;
    s.channel_id = -1000;
    s.channel_start = 200;
    s.channel_length = 2;
    s.port_id = 7;
    s.stbd_id = -8;
    s.flip_port = false;
    return s;
}

} // namespace tessara::test
