// Tables built once: every weight is rounded to 16 bits and each row's
// rounding error goes to its largest weight, so that every row sums to
// exactly 1 << weight_bits and a constant sample passes unchanged.
#include "player/resample_tables.h"
#include <cmath>
#include <numbers>

namespace {

using resample_kernels::weight_bits;

constexpr std::int32_t rows = resample_kernels::phase_rows;

// Step bounds in quarters of a frame per output frame, and the taps of each:
// 16 per frame of bound, rounded up to a multiple of eight.
constexpr std::int32_t sinc_bands = 7;
constexpr std::int32_t band_quarters[sinc_bands] = {4, 5, 6, 8, 10, 12, 16};
constexpr std::int32_t band_taps(std::int32_t band) {
    return (16 * band_quarters[band] / 4 + 7) / 8 * 8;
}
constexpr std::int32_t all_sinc_taps() {
    std::int32_t taps = 0;
    for (std::int32_t band = 0; band < sinc_bands; ++band) taps += band_taps(band);
    return taps;
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

// The window's shape: about -65 dB side lobes; with 16 taps per frame of
// cutoff the response is down 0.1 dB at 0.8 of the cutoff and 65 dB from
// 1.35 times it on.
constexpr double kaiser_beta = 6.0;

struct Tables {
    alignas(16) std::int16_t cubic[rows * 4];
    alignas(16) std::int16_t sinc[rows * all_sinc_taps()];
    WeightTable cubic_table;
    WeightTable sinc_tables[sinc_bands];
};

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
// sample's Nyquist frequency.
void build_sinc(std::int16_t* table, std::int32_t taps, double cutoff) {
    const std::int32_t before = resample_kernels::taps_before(taps);
    const double half = taps / 2.0;
    double weights[most_taps];
    for (std::int32_t j = 0; j < rows; ++j) {
        const double fraction = static_cast<double>(j) / (rows - 1);
        for (std::int32_t k = 0; k < taps; ++k) {
            const double distance = k - before - fraction;
            const double r = distance / half;
            const double window =
                r * r < 1 ? bessel_i0(kaiser_beta * std::sqrt(1 - r * r)) / bessel_i0(kaiser_beta)
                          : 0;
            const double x = std::numbers::pi * cutoff * distance;
            weights[k] = window * (x == 0 ? 1 : std::sin(x) / x);
        }
        put_row(weights, taps, table + taps * j);
    }
}

void build(Tables& tables) {
    build_cubic(tables.cubic);
    tables.cubic_table = WeightTable{4, tables.cubic};
    std::int16_t* next = tables.sinc;
    for (std::int32_t band = 0; band < sinc_bands; ++band) {
        const std::int32_t taps = band_taps(band);
        build_sinc(next, taps, 4.0 / band_quarters[band]);
        tables.sinc_tables[band] = WeightTable{taps, next};
        next += rows * taps;
    }
}

const Tables& tables() {
    static Tables built;
    static const bool done = (build(built), true);
    static_cast<void>(done);
    return built;
}

} // namespace

const WeightTable& cubic_table() {
    return tables().cubic_table;
}

const WeightTable& sinc_table(std::uint64_t step) {
    std::int32_t band = 0;
    while (band + 1 < sinc_bands && step > (std::uint64_t{1} << 30) * band_quarters[band]) ++band;
    return tables().sinc_tables[band];
}
