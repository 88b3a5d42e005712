// Modules cut short at every length. Every read past the end counts as a 0,
// so a truncated module must load exactly as if the missing bytes were zeros,
// and then play; the XM and S3M refusals depend only on their signatures.
#include "player/embedded_song.h"
#include "player/mixer.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t frames_per_tick = 960; // 48000 Hz at tempo 125

struct ModuleDeleter {
    void operator()(Module* module) const { module_dispose(module); }
};
using ModulePtr = std::unique_ptr<Module, ModuleDeleter>;

struct ReplayDeleter {
    void operator()(Replay* replay) const { replay_dispose(replay); }
};
using ReplayPtr = std::unique_ptr<Replay, ReplayDeleter>;

// Loads `length` bytes from a buffer of exactly that size, so that the
// address sanitizer sees any read past the end.
ModulePtr load_prefix(const std::uint8_t* bytes, std::size_t length, std::string& message) {
    const std::vector<std::uint8_t> prefix(bytes, bytes + length);
    char load_message[load_message_size] = {};
    ModulePtr module(module_load(prefix.data(), prefix.size(), load_message));
    message = load_message;
    return module;
}

int word_at(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return bytes[offset] << 8 | bytes[offset + 1];
}

// Compares everything the loader fills; `source` is the data both were
// loaded from, which gives the sample lengths.
testing::AssertionResult same_module(const Module& a, const Module& b,
                                     const std::vector<std::uint8_t>& source) {
    if (std::memcmp(a.title, b.title, sizeof a.title) != 0)
        return testing::AssertionFailure() << "title";
    if (a.song_length != b.song_length || a.pattern_count != b.pattern_count ||
        a.channel_count != b.channel_count || a.instrument_count != b.instrument_count)
        return testing::AssertionFailure() << "counts";
    if (std::memcmp(a.order_list, b.order_list, order_list_size) != 0)
        return testing::AssertionFailure() << "order list";
    for (std::int32_t p = 0; p < a.pattern_count; ++p) {
        const std::size_t bytes = static_cast<std::size_t>(a.patterns[p].row_count) *
                                  static_cast<std::size_t>(a.patterns[p].channel_count) * note_size;
        if (std::memcmp(a.patterns[p].notes, b.patterns[p].notes, bytes) != 0)
            return testing::AssertionFailure() << "pattern " << p;
    }
    for (std::int32_t n = 1; n <= a.instrument_count; ++n) {
        const Instrument& x = a.instruments[n];
        const Instrument& y = b.instruments[n];
        const Sample& s = x.samples[0];
        const Sample& t = y.samples[0];
        const std::size_t frames = 2u * word_at(source, 20 + 30 * (n - 1) + 22) + 1;
        if (std::memcmp(x.name, y.name, sizeof x.name) != 0 || s.loop_start != t.loop_start ||
            s.loop_length != t.loop_length || s.volume != t.volume || s.fine_tune != t.fine_tune ||
            std::memcmp(s.data, t.data, frames * sizeof(std::int16_t)) != 0)
            return testing::AssertionFailure() << "instrument " << n;
    }
    return testing::AssertionSuccess();
}

} // namespace

TEST(TruncatedModule, LoadsAtEveryLengthAsIfTheMissingBytesWereZeros) {
    const std::size_t full = embedded_song_length;
    for (std::size_t length = 0; length <= full; ++length) {
        std::string message;
        ModulePtr truncated = load_prefix(embedded_song, length, message);
        ASSERT_TRUE(truncated) << "length " << length;
        ASSERT_EQ(message, "") << "length " << length;

        std::vector<std::uint8_t> padded(embedded_song, embedded_song + full);
        std::fill(padded.begin() + static_cast<std::ptrdiff_t>(length), padded.end(), 0);
        ModulePtr zero_filled = load_prefix(padded.data(), full, message);
        ASSERT_TRUE(zero_filled);
        ASSERT_TRUE(same_module(*truncated, *zero_filled, padded)) << "length " << length;
    }
}

TEST(TruncatedModule, PlaysAtEveryLength) {
    std::vector<std::int32_t> mixed(int_mix_buffer_values);
    std::vector<std::int16_t> samples(int_mix_buffer_values);
    for (std::size_t length = 0; length <= embedded_song_length; ++length) {
        std::string message;
        ModulePtr module = load_prefix(embedded_song, length, message);
        ASSERT_TRUE(module) << "length " << length;
        // Both mixer paths, and a different first entry from one length to
        // the next, so that every entry's first notes meet cut-off samples.
        ReplayPtr replay(new_replay(module.get(), 48000, length % 2 == 1));
        ASSERT_TRUE(replay) << "length " << length;
        start_sequence_at(replay.get(), static_cast<std::int32_t>(length % 8));
        for (int tick = 0; tick < 8; ++tick) {
            const std::int32_t frames = mix_tick(replay.get(), mixed.data());
            ASSERT_EQ(frames, frames_per_tick) << "length " << length;
            copy_saturated(mixed.data(), samples.data(), static_cast<std::size_t>(frames) * 2);
        }
    }
}

TEST(TruncatedModule, WithoutEvenTheTitleIsAnEmptyOneEntrySong) {
    // No signature is needed: whatever is not XM or S3M is read as a MOD, and
    // a missing song length byte gives the shortest song that can play.
    std::string message;
    ModulePtr empty = load_prefix(embedded_song, 0, message);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->song_length, 1);
    EXPECT_EQ(empty->pattern_count, 1);
    EXPECT_EQ(std::string(empty->title, 20), std::string(20, ' '));

    // Cut right after the song length byte: the length is there, the order
    // list is not, so every entry names pattern 0.
    ModulePtr no_orders = load_prefix(embedded_song, 951, message);
    ASSERT_TRUE(no_orders);
    EXPECT_EQ(no_orders->song_length, embedded_song[950]);
    EXPECT_EQ(no_orders->pattern_count, 1);
}

TEST(TruncatedModule, RefusesXmAndS3mOnceTheirWholeSignatureIsPresent) {
    std::vector<std::uint8_t> xm(embedded_song, embedded_song + embedded_song_length);
    std::memcpy(xm.data(), "Extended Module:", 16);
    std::vector<std::uint8_t> s3m(embedded_song, embedded_song + embedded_song_length);
    std::memcpy(s3m.data() + 44, "SCRM", 4);
    const struct {
        const std::vector<std::uint8_t>& data;
        std::size_t signature_end;
        const char* message;
    } formats[] = {{xm, 16, "XM format version must be 0x0104!"}, {s3m, 48, "Not an S3M file!"}};
    for (const auto& format : formats) {
        for (std::size_t length = 0; length <= format.data.size(); ++length) {
            std::string message;
            ModulePtr module = load_prefix(format.data.data(), length, message);
            if (length < format.signature_end) {
                ASSERT_TRUE(module) << format.message << " at length " << length;
                ASSERT_EQ(message, "") << length;
            } else {
                ASSERT_FALSE(module) << format.message << " at length " << length;
                ASSERT_EQ(message, format.message) << length;
            }
        }
    }
}

TEST(ModuleSignature, ReadsAnyControlByteAsTheSpaceOfTheXmSignature) {
    std::vector<std::uint8_t> xm(embedded_song, embedded_song + embedded_song_length);
    std::memcpy(xm.data(), "Extended Module:", 16);
    for (int space = 0; space <= 33; ++space) {
        xm[8] = static_cast<std::uint8_t>(space);
        std::string message;
        ModulePtr module = load_prefix(xm.data(), xm.size(), message);
        if (space <= 32) {
            EXPECT_FALSE(module) << space;
            EXPECT_EQ(message, "XM format version must be 0x0104!") << space;
        } else {
            EXPECT_TRUE(module) << space;
        }
    }
    // The XM signature is looked for first.
    std::memcpy(xm.data() + 44, "SCRM", 4);
    xm[8] = ' ';
    std::string message;
    EXPECT_FALSE(load_prefix(xm.data(), xm.size(), message));
    EXPECT_EQ(message, "XM format version must be 0x0104!");
}
