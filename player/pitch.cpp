#include "player/pitch.h"
#include "player/fixed_point.h"
#include <algorithm>

namespace {

constexpr std::int32_t amiga_lowest_key = 37;  // ProTracker's C-1, period 856
constexpr std::int32_t amiga_highest_key = 72; // ProTracker's B-3, period 113
constexpr std::int32_t table_notes = amiga_highest_key - amiga_lowest_key + 1;
// Each fine tune's table is its notes and a 0; the sixteen follow each other
// in the order of the fine-tune nibble (0..7, then -8..-1).
constexpr std::int32_t table_entries = table_notes + 1;
constexpr std::int32_t fine_tunes = 16;

std::int32_t table_period(const Module& module, std::int32_t nibble, std::int32_t note) {
    const std::int32_t fine_tune = (nibble >= 8 ? nibble - 16 : nibble) * 16;
    return key_period(module, amiga_lowest_key + note, fine_tune);
}

// ProTracker's notes C-1..B-3 for each fine-tune nibble (0..7, then -8..-1),
// in quarter periods as the PC players play them: the Amiga's own table of
// sixteen tunings, which the exponential scale meets only within a period
// here and there (confirmed by measuring openmpt123's renders note by note).
constexpr std::uint16_t protracker_periods[fine_tunes][table_notes] = {
    {3424, 3232, 3048, 2880, 2712, 2560, 2416, 2280, 2152, 2032, 1920, 1812,
     1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960,  904,
     856,  808,  760,  720,  680,  640,  604,  572,  540,  508,  480,  453},
    {3400, 3208, 3028, 2860, 2696, 2548, 2404, 2268, 2140, 2020, 1908, 1800,
     1700, 1604, 1514, 1430, 1348, 1274, 1202, 1134, 1070, 1010, 954,  900,
     850,  802,  757,  715,  674,  637,  601,  567,  535,  505,  477,  452},
    {3376, 3184, 3008, 2836, 2680, 2528, 2388, 2252, 2128, 2008, 1896, 1788,
     1688, 1592, 1504, 1418, 1340, 1264, 1194, 1126, 1064, 1004, 948,  894,
     844,  796,  752,  709,  670,  632,  597,  563,  532,  502,  474,  452},
    {3352, 3164, 2984, 2816, 2660, 2512, 2368, 2236, 2112, 1992, 1880, 1776,
     1676, 1582, 1492, 1408, 1330, 1256, 1184, 1118, 1056, 996,  940,  888,
     838,  791,  746,  704,  665,  628,  592,  559,  528,  498,  470,  452},
    {3328, 3140, 2964, 2796, 2640, 2492, 2352, 2220, 2096, 1980, 1868, 1764,
     1664, 1570, 1482, 1398, 1320, 1246, 1176, 1110, 1048, 990,  934,  882,
     832,  785,  741,  699,  660,  623,  588,  555,  524,  495,  467,  452},
    {3304, 3116, 2944, 2776, 2620, 2476, 2336, 2204, 2080, 1964, 1852, 1748,
     1652, 1558, 1472, 1388, 1310, 1238, 1168, 1102, 1040, 982,  926,  874,
     826,  779,  736,  694,  655,  619,  584,  551,  520,  491,  463,  452},
    {3280, 3096, 2920, 2756, 2604, 2456, 2320, 2188, 2064, 1948, 1840, 1736,
     1640, 1548, 1460, 1378, 1302, 1228, 1160, 1094, 1032, 974,  920,  868,
     820,  774,  730,  689,  651,  614,  580,  547,  516,  487,  460,  452},
    {3256, 3072, 2900, 2736, 2584, 2440, 2300, 2172, 2052, 1936, 1828, 1724,
     1628, 1536, 1450, 1368, 1292, 1220, 1150, 1086, 1026, 968,  914,  862,
     814,  768,  725,  684,  646,  610,  575,  543,  513,  484,  457,  452},
    {3628, 3424, 3232, 3048, 2880, 2712, 2560, 2416, 2280, 2152, 2032, 1920,
     1814, 1712, 1616, 1524, 1440, 1356, 1280, 1208, 1140, 1076, 1016, 960,
     907,  856,  808,  762,  720,  678,  640,  604,  570,  538,  508,  480},
    {3600, 3400, 3208, 3028, 2860, 2700, 2544, 2404, 2268, 2140, 2020, 1908,
     1800, 1700, 1604, 1514, 1430, 1350, 1272, 1202, 1134, 1070, 1010, 954,
     900,  850,  802,  757,  715,  675,  636,  601,  567,  535,  505,  477},
    {3576, 3376, 3184, 3008, 2836, 2680, 2528, 2388, 2252, 2128, 2008, 1896,
     1788, 1688, 1592, 1504, 1418, 1340, 1264, 1194, 1126, 1064, 1004, 948,
     894,  844,  796,  752,  709,  670,  632,  597,  563,  532,  502,  474},
    {3548, 3352, 3164, 2984, 2816, 2660, 2512, 2368, 2236, 2112, 1992, 1880,
     1774, 1676, 1582, 1492, 1408, 1330, 1256, 1184, 1118, 1056, 996,  940,
     887,  838,  791,  746,  704,  665,  628,  592,  559,  528,  498,  470},
    {3524, 3328, 3140, 2964, 2796, 2640, 2492, 2352, 2220, 2096, 1976, 1868,
     1762, 1664, 1570, 1482, 1398, 1320, 1246, 1176, 1110, 1048, 988,  934,
     881,  832,  785,  741,  699,  660,  623,  588,  555,  524,  494,  467},
    {3500, 3304, 3116, 2944, 2776, 2620, 2476, 2336, 2204, 2080, 1964, 1852,
     1750, 1652, 1558, 1472, 1388, 1310, 1238, 1168, 1102, 1040, 982,  926,
     875,  826,  779,  736,  694,  655,  619,  584,  551,  520,  491,  463},
    {3472, 3280, 3096, 2920, 2756, 2604, 2456, 2320, 2188, 2064, 1948, 1840,
     1736, 1640, 1548, 1460, 1378, 1302, 1228, 1160, 1094, 1032, 974,  920,
     868,  820,  774,  730,  689,  651,  614,  580,  547,  516,  487,  460},
    {3448, 3256, 3072, 2900, 2736, 2584, 2440, 2300, 2172, 2052, 1936, 1828,
     1724, 1628, 1536, 1450, 1368, 1292, 1220, 1150, 1086, 1026, 968,  914,
     862,  814,  768,  725,  684,  646,  610,  575,  543,  513,  484,  457}};

// Scream Tracker's octave 0, in its periods (four times the Amiga's): each
// octave up halves them, and the sample's C2SPD scales them from 8363 Hz.
constexpr std::int32_t scream_tracker_octave[12] = {27392, 25856, 24384, 23040, 21696, 20480,
                                                    19328, 18240, 17216, 16256, 15360, 14512};
constexpr std::int32_t scream_tracker_rate = 8363;

// A key from ProTracker's table, octaves beyond its three by doubling or
// halving.
std::int32_t protracker_key_period(std::int32_t key, std::int32_t fine_tune) {
    std::int32_t note = key - amiga_lowest_key;
    std::int32_t octaves = 0;
    for (; note < 0; note += 12) --octaves;
    for (; note >= table_notes; note -= 12) ++octaves;
    const std::int32_t period = protracker_periods[(fine_tune / 16) & 15][note];
    return octaves < 0 ? period << -octaves : period >> octaves;
}

// A key by Scream Tracker's own arithmetic: the octave table, shifted, then
// scaled by the sample's C2SPD. Keys from -11 up: an IT file's lowest
// octave lies below the table's, so the count starts there with the table
// doubled, which leaves every other key's period as it was.
std::int32_t scream_tracker_key_period(std::int32_t key, std::int32_t middle_c) {
    const std::int32_t from_lowest = std::max(key + 11, 0);
    const std::int32_t octave = std::min(from_lowest / 12, 16);
    const std::int32_t period = (scream_tracker_octave[from_lowest % 12] << 1) >> octave;
    return static_cast<std::int32_t>(std::int64_t{period} * scream_tracker_rate / middle_c);
}

} // namespace

std::int32_t key_period(const Module& module, std::int32_t key, std::int32_t fine_tune) {
    const std::int32_t q = key * 64 + (fine_tune >> 1);
    if (plays_other_trackers && module.linear_pitch) return 7744 - q;
    if (rules_of(module).protracker_period_table) return protracker_key_period(key, fine_tune);
    return static_cast<std::int32_t>(std::int64_t{29021} * fixed_exp2((q * 32768) / -768) >> 15);
}

std::int32_t note_period(const Module& module, const Sample& sample, std::int32_t key,
                         std::int32_t fine_tune) {
    const std::int32_t shift = plays_other_trackers ? module.key_shift : 0;
    if (rules_of(module).scream_tracker_period_table && sample.middle_c > 0 && key >= 1)
        return scream_tracker_key_period(key - shift, sample.middle_c);
    return key_period(module, std::clamp(key - shift + sample.relative_note, 1 - shift, 120),
                      fine_tune);
}

PeriodRange amiga_period_range(const Module& module, std::int32_t fine_tune) {
    return PeriodRange{key_period(module, amiga_highest_key, fine_tune),
                       key_period(module, amiga_lowest_key, fine_tune)};
}

std::int32_t amiga_table_step(const Module& module, std::int32_t fine_tune, std::int32_t period,
                              std::int32_t semitones) {
    std::int32_t nibble = (fine_tune / 16) & 15;
    std::int32_t note = 0;
    while (note < table_notes - 1 && table_period(module, nibble, note) > period) ++note;
    note += semitones;
    nibble += note / table_entries;
    note %= table_entries;
    if (nibble >= fine_tunes || note == table_notes) return 0;
    return table_period(module, nibble, note);
}
