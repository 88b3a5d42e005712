// Tables built once: every weight is rounded to 16 bits and each row's
// rounding error goes to its largest weight, so that every row sums to
// exactly 1 << weight_bits and a constant sample passes unchanged.
#include "player/resample_tables.h"
#include <array>
#include <cmath>
#include <numbers>

namespace {

using resample_kernels::weight_bits;

constexpr std::int32_t rows = resample_kernels::phase_rows;

// Step bounds in quarters of a frame per output frame, and the taps of each:
// 8 per frame of bound, rounded up to a multiple of eight.
constexpr std::int32_t sinc_bands = 7;
constexpr std::int32_t band_quarters[sinc_bands] = {4, 5, 6, 8, 10, 12, 16};
constexpr std::int32_t band_taps(std::int32_t band) {
    return (8 * band_quarters[band] / 4 + 7) / 8 * 8;
}
static_assert(band_taps(sinc_bands - 1) == most_taps);
template <std::int32_t... counts>
constexpr bool listed(std::int32_t taps, std::integer_sequence<std::int32_t, counts...>) {
    return ((taps == counts) || ...);
}
constexpr bool all_bands_listed() {
    for (std::int32_t band = 0; band < sinc_bands; ++band) {
        if (!listed(band_taps(band), TableTaps{})) return false;
    }
    return true;
}
static_assert(all_bands_listed());

// The window's shape and the cutoff: on 8 taps a Kaiser window of beta 9
// keeps the images of a sample's spectrum far down at the price of a wider
// transition, which a cutoff at 0.95 of the sample's Nyquist frequency moves
// below the images' band; about openmpt123's own 8-tap response, measured
// from an impulse it renders.
constexpr double kaiser_beta = 9.0;
constexpr double cutoff_share = 0.95;

// Writes one row from its weights in floating point.
void put_row(const double* weights, std::int32_t taps, std::int16_t* row) {
    double total = 0;
    for (std::int32_t k = 0; k < taps; ++k) total += weights[k];
    std::int32_t sum = 0;
    std::int32_t largest = 0;
    for (std::int32_t k = 0; k < taps; ++k) {
        row[k] = static_cast<std::int16_t>(std::lround(weights[k] / total * (1 << weight_bits)));
        sum += row[k];
        if (row[k] > row[largest]) largest = k;
    }
    row[largest] = static_cast<std::int16_t>(row[largest] + (1 << weight_bits) - sum);
}

void build_cubic(std::int16_t* table) {
    for (std::int32_t j = 0; j < rows; ++j) {
        const double t = static_cast<double>(j) / (rows - 1);
        const double t2 = t * t;
        const double t3 = t2 * t;
        const double weights[4] = {(-t3 + 2 * t2 - t) / 2, (3 * t3 - 5 * t2 + 2) / 2,
                                   (-3 * t3 + 4 * t2 + t) / 2, (t3 - t2) / 2};
        put_row(weights, 4, table + 4 * j);
    }
}

double bessel_i0(double x) {
    double sum = 1;
    double term = 1;
    for (int k = 1; k < 50 && term > 1e-12 * sum; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

// Taps from `before` ahead of the position; the cutoff as a fraction of the
// sample's Nyquist frequency. With taps_before(taps) = taps / 2 - 1 the row
// for fraction 1 - f holds the row for f backwards, so each pair of rows
// costs one set of window and sine values.
void build_sinc(std::int16_t* table, std::int32_t taps, double cutoff) {
    const std::int32_t before = resample_kernels::taps_before(taps);
    const double half = taps / 2.0;
    double weights[most_taps];
    double mirrored[most_taps];
    const double window_peak = bessel_i0(kaiser_beta); // the same for every weight
    for (std::int32_t j = 0; j <= (rows - 1) / 2; ++j) {
        const double fraction = static_cast<double>(j) / (rows - 1);
        for (std::int32_t k = 0; k < taps; ++k) {
            const double distance = k - before - fraction;
            const double r = distance / half;
            const double window =
                r * r < 1 ? bessel_i0(kaiser_beta * std::sqrt(1 - r * r)) / window_peak : 0;
            const double x = std::numbers::pi * cutoff * distance;
            weights[k] = window * (x == 0 ? 1 : std::sin(x) / x);
            mirrored[taps - 1 - k] = weights[k];
        }
        put_row(weights, taps, table + taps * j);
        put_row(mirrored, taps, table + taps * (rows - 1 - j));
    }
}

// Each table is built at its first use (as a function-local static, once
// even with several threads), so a song only pays for the bands it plays.
// `id` keeps the storage of tables with the same taps apart.
template <std::int32_t id, std::int32_t taps, typename Build> WeightTable built_table(Build build) {
    alignas(16) static std::int16_t weights[rows * taps];
    build(weights);
    return WeightTable{taps, weights};
}

template <std::int32_t band> const WeightTable& sinc_band() {
    constexpr std::int32_t taps = band_taps(band);
    static const WeightTable table = built_table<band, taps>([](std::int16_t* weights) {
        build_sinc(weights, taps, cutoff_share * 4.0 / band_quarters[band]);
    });
    return table;
}

template <std::int32_t... bands>
constexpr auto band_getters(std::integer_sequence<std::int32_t, bands...>) {
    return std::array<const WeightTable& (*)(), sizeof...(bands)>{sinc_band<bands>...};
}

} // namespace

const WeightTable& cubic_table() {
    static const WeightTable table = built_table<-1, 4>(build_cubic);
    return table;
}

const WeightTable& sinc_table(std::uint64_t step) {
    static constexpr auto bands =
        band_getters(std::make_integer_sequence<std::int32_t, sinc_bands>{});
    std::int32_t band = 0;
    while (band + 1 < sinc_bands && step > (std::uint64_t{1} << 30) * band_quarters[band]) ++band;
    return bands[band]();
}
