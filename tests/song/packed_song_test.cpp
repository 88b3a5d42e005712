// The song as the program carries it: packed by songgen, unpacked by the
// player before it loads, and refused whole when the stream is damaged.
#include "player/embedded_song.h"
#include "player/mod_loader.h"
#include "player/packed_song.h"
#include "tools/songgen/song_pack.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Unpacked {
    Bytes bytes;
    std::string message;
    bool loaded;
};

// Unpacks into a buffer of exactly `capacity` bytes, so that the address
// sanitizer sees any write past it.
Unpacked unpack(const Bytes& packed, std::size_t capacity) {
    Unpacked result{Bytes(capacity), "", false};
    char message[load_message_size] = {};
    Module* module =
        packed_song_load(packed.data(), packed.size(), result.bytes.data(), capacity, message);
    result.loaded = module != nullptr;
    result.message = message;
    if (module != nullptr) module_dispose(module);
    return result;
}

// What unpacking wrote: the stream's first four bytes give the length.
Bytes unpacked_bytes(const Bytes& packed, const Unpacked& result) {
    const std::size_t length = packed[0] | packed[1] << 8 | packed[2] << 16 | packed[3] << 24;
    return Bytes(result.bytes.begin(), result.bytes.begin() + static_cast<long>(length));
}

const Bytes committed_pack(embedded_song_packed,
                           embedded_song_packed + embedded_song_packed_length);
const Bytes song(embedded_song, embedded_song + embedded_song_length);

} // namespace

TEST(PackedSong, IsTheCommittedSongPackedAsSonggenPacksItAndLoadsAsTheSong) {
    // A song.mod changed without its song.pack fails here: build the song_mod target.
    EXPECT_EQ(pack_song(song), committed_pack);
    const Unpacked result = unpack(committed_pack, packed_song_capacity);
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(unpacked_bytes(committed_pack, result), song);
    EXPECT_LT(committed_pack.size(), song.size() / 3);
}

TEST(PackedSong, AnyBytesComeBackAsTheyWent) {
    std::mt19937 random(5);
    Bytes noise(3000);
    for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(random());
    // Matches at the farthest distance, the longest length and right after
    // one another, and runs that overlap their own source.
    Bytes far(34000);
    for (std::size_t i = 0; i < far.size(); ++i)
        far[i] = i < 32767 ? static_cast<std::uint8_t>(random() & 7) : far[i - 32767];
    Bytes runs;
    for (int run = 0; run < 40; ++run)
        runs.insert(runs.end(), 1 + run * 37 % 600, static_cast<std::uint8_t>(run));
    const Bytes cases[] = {{}, {42}, Bytes(5000, 0), noise, far, runs, song};
    for (const Bytes& bytes : cases) {
        SCOPED_TRACE(bytes.size());
        const Bytes packed = pack_song(bytes);
        const Unpacked result = unpack(packed, bytes.size());
        EXPECT_EQ(unpacked_bytes(packed, result), bytes);
        // Only a module loads; every other stream unpacks and is refused by the loader.
        EXPECT_NE(result.message, "The packed song is damaged!");
    }
}

TEST(PackedSong, ACutDamagedOrOversizedStreamIsRefusedWhole) {
    for (std::size_t length = 0; length < committed_pack.size(); ++length) {
        const Unpacked result = unpack(
            Bytes(committed_pack.begin(), committed_pack.begin() + static_cast<long>(length)),
            packed_song_capacity);
        ASSERT_FALSE(result.loaded) << length;
        ASSERT_EQ(result.message, "The packed song is damaged!") << length;
    }
    // A changed bit is refused, unless it lies in the coder's last bytes,
    // which only pad: then the song comes out whole. Never a song that is
    // merely wrong.
    int refused = 0;
    for (std::size_t at = 0; at < committed_pack.size(); ++at) {
        for (std::uint8_t flip : {0x01, 0x80}) {
            Bytes damaged = committed_pack;
            damaged[at] ^= flip;
            const Unpacked result = unpack(damaged, packed_song_capacity);
            if (result.loaded) {
                ASSERT_GE(at, committed_pack.size() - 4);
                ASSERT_EQ(unpacked_bytes(damaged, result), song) << at;
            } else {
                ASSERT_EQ(result.message, "The packed song is damaged!") << at;
                ++refused;
            }
        }
    }
    EXPECT_GE(refused, 2 * static_cast<int>(committed_pack.size()) - 8);
    Bytes longer = committed_pack;
    longer.push_back(0);
    EXPECT_EQ(unpack(longer, packed_song_capacity).message, "The packed song is damaged!");
    EXPECT_EQ(unpack(committed_pack, song.size() - 1).message, "The packed song is damaged!");
}
