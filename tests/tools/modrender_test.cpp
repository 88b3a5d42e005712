#include "tests/player/mod_builder.h"
#include "tests/player/s3m_builder.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A tick at the default speed and tempo: 6 ticks per row, 960 frames each.
constexpr std::uint32_t frames_per_row = 6 * 960;

struct ToolResult {
    int exit_code;
    std::string error_output;
};

class Modrender : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 ("modrender_test_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path write_module(const std::vector<std::uint8_t>& bytes, const char* name = "in.mod") {
        fs::path path = folder / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    ToolResult run_tool(const std::string& arguments) {
        const fs::path errors = folder / "stderr.txt";
        const std::string command =
            std::string(MODRENDER_PATH) + " " + arguments + " 2>" + errors.string();
        const int status = std::system(command.c_str());
        std::ifstream in(errors);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
    }

    // Renders `builder`'s module and returns the WAV file's bytes.
    std::vector<std::uint8_t> render(const ModBuilder& builder, const std::string& options = "") {
        const fs::path in = write_module(builder.build());
        const ToolResult result = run_tool(in.string() + " " + out().string() + " " + options);
        EXPECT_EQ(result.exit_code, 0) << result.error_output;
        std::ifstream file(out(), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    fs::path out() const { return folder / "out.wav"; }

    fs::path folder;
};

std::uint32_t u32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t u16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Frames in a WAV file, after checking that its header describes 48 kHz
// 16-bit stereo PCM and matches the file's size.
std::uint32_t wav_frames(const std::vector<std::uint8_t>& wav) {
    EXPECT_GE(wav.size(), 44u);
    if (wav.size() < 44) return 0;
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32(wav, 4), wav.size() - 8);
    EXPECT_EQ(u16(wav, 20), 1);
    EXPECT_EQ(u16(wav, 22), 2);
    EXPECT_EQ(u32(wav, 24), 48000u);
    EXPECT_EQ(u32(wav, 28), 192000u);
    EXPECT_EQ(u16(wav, 32), 4);
    EXPECT_EQ(u16(wav, 34), 16);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(u32(wav, 40), wav.size() - 44);
    return u32(wav, 40) / 4;
}

ModBuilder song_with_a_note(std::initializer_list<int> orders) {
    ModBuilder builder;
    builder.title = "tiny test";
    builder.set_orders(orders);
    builder.sample(1).length_words = 16;
    builder.sample(1).loop_start_words = 0;
    builder.sample(1).loop_length_words = 16;
    for (int i = 0; i < 32; ++i) builder.sample(1).data.push_back(i < 16 ? 100 : -100);
    builder.set_note(0, 0, 0, 428, 1);
    return builder;
}

} // namespace

TEST_F(Modrender, RendersTheSongOnceAndDescribesIt) {
    ModBuilder builder = song_with_a_note({0, 1});
    const std::vector<std::uint8_t> wav = render(builder);
    EXPECT_EQ(wav_frames(wav), 128 * frames_per_row);
    const ToolResult again = run_tool((folder / "in.mod").string() + " " + out().string());
    EXPECT_NE(again.error_output.find("\"tiny test\""), std::string::npos) << again.error_output;
    EXPECT_NE(again.error_output.find("song length 2, 2 patterns, 4 channels, 15.360 s"),
              std::string::npos)
        << again.error_output;
    // The note is heard: the data is not all silence.
    bool sound = false;
    for (std::size_t i = 44; i < wav.size(); ++i) sound = sound || wav[i] != 0;
    EXPECT_TRUE(sound);
}

TEST_F(Modrender, EndsWhereAPlayedRowWouldPlayAgain) {
    ModBuilder jump_back = song_with_a_note({0, 1});
    jump_back.set_note(1, 3, 2, 0, 0, 0xB, 0x01); // entry 1 row 3 jumps to entry 1
    EXPECT_EQ(wav_frames(render(jump_back)), (64 + 4) * frames_per_row);

    ModBuilder early_break = song_with_a_note({0, 1});
    early_break.set_note(1, 15, 3, 0, 0, 0xD, 0x00); // ends entry 1 after row 15
    EXPECT_EQ(wav_frames(render(early_break)), (64 + 16) * frames_per_row);
}

TEST_F(Modrender, CountsRowsRepeatedByAPatternLoopAsNewMusic) {
    ModBuilder looped = song_with_a_note({0});
    looped.set_note(0, 4, 1, 0, 0, 0xE, 0x60);
    looped.set_note(0, 8, 1, 0, 0, 0xE, 0x62);
    EXPECT_EQ(wav_frames(render(looped)), (64 + 2 * 5) * frames_per_row);
}

TEST_F(Modrender, StopsAfterTheRequestedSeconds) {
    EXPECT_EQ(wav_frames(render(song_with_a_note({0, 1}), "--seconds 1.5")), 72000u);
    EXPECT_EQ(wav_frames(render(song_with_a_note({0}), "--seconds 0")), 0u);
    // A limit beyond the song's end changes nothing.
    EXPECT_EQ(wav_frames(render(song_with_a_note({0}), "--seconds 100")), 64 * frames_per_row);
}

TEST_F(Modrender, RendersAtTheAskedRateByEachInterpolationOrAsTheShow) {
    ModBuilder builder = song_with_a_note({0});
    builder.set_note(0, 0, 0, 300, 1); // a pitch between sample frames
    // Each its own; the show's (its own mixer, at twice the rate) too.
    std::vector<std::vector<std::uint8_t>> renders;
    for (const char* mode : {"--interpolation none", "--interpolation linear",
                             "--interpolation cubic", "--interpolation sinc", "--as-show"}) {
        renders.push_back(render(builder, std::string("--seconds 1 ") + mode));
        EXPECT_EQ(wav_frames(renders.back()), 48000u) << mode;
        for (std::size_t i = 0; i + 1 < renders.size(); ++i) EXPECT_NE(renders[i], renders.back());
    }
    EXPECT_EQ(render(builder, "--seconds 1"), renders[3]);               // sinc by default
    EXPECT_EQ(render(builder, "--seconds 1 --interpolate"), renders[1]); // the same as linear
    EXPECT_EQ(render(builder, "--seconds 1 --as-show --interpolation none"), renders[4]);

    // A second at 22050 Hz, at the same pitch: as many cycles on the left.
    const std::vector<std::uint8_t> low = render(builder, "--seconds 1 --rate 22050");
    ASSERT_GE(low.size(), 44u);
    EXPECT_EQ(u32(low, 24), 22050u);
    EXPECT_EQ(u32(low, 40), 22050u * 4);
    const auto rises = [](const std::vector<std::uint8_t>& wav) {
        int count = 0;
        for (std::size_t at = 48; at + 4 <= wav.size(); at += 4)
            count += std::int16_t(u16(wav, at - 4)) < 0 && std::int16_t(u16(wav, at)) >= 0;
        return count;
    };
    EXPECT_NEAR(rises(low), rises(renders[1]), 2);

    const fs::path in = folder / "in.mod";
    for (const char* bad : {"--rate 7999", "--rate 192001", "--interpolation spline",
                            "--as-show --interpolation cubic"}) {
        const ToolResult refused = run_tool(in.string() + " " + out().string() + " " + bad);
        EXPECT_EQ(refused.exit_code, 2) << bad;
        EXPECT_NE(refused.error_output.find("usage:"), std::string::npos) << bad;
    }
    S3mBuilder s3m;
    const fs::path song = write_module(s3m.build(), "song.s3m");
    const ToolResult shown = run_tool(song.string() + " " + out().string() + " --as-show");
    EXPECT_EQ(shown.exit_code, 1);
    EXPECT_NE(shown.error_output.find("Not an S3M file!"), std::string::npos) << shown.error_output;
}

TEST_F(Modrender, ReportsUnusableInputWithoutLeavingAFile) {
    ToolResult missing = run_tool((folder / "absent.mod").string() + " " + out().string());
    EXPECT_NE(missing.exit_code, 0);
    EXPECT_NE(missing.error_output.find("cannot read"), std::string::npos);
    EXPECT_EQ(std::count(missing.error_output.begin(), missing.error_output.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(out()));

    std::vector<std::uint8_t> s3m = ModBuilder{}.build();
    std::memcpy(s3m.data() + 44, "SCRM", 4);
    ToolResult refused = run_tool(write_module(s3m).string() + " " + out().string());
    EXPECT_NE(refused.exit_code, 0);
    EXPECT_NE(refused.error_output.find("S3M order list plays no pattern"), std::string::npos);
    EXPECT_EQ(std::count(refused.error_output.begin(), refused.error_output.end(), '\n'), 1);
    EXPECT_FALSE(fs::exists(out()));

    const fs::path in = write_module(ModBuilder{}.build());
    ToolResult unwritable =
        run_tool(in.string() + " " + (folder / "no" / "such" / "out.wav").string());
    EXPECT_NE(unwritable.exit_code, 0);
    EXPECT_NE(unwritable.error_output.find("cannot write"), std::string::npos);
}

TEST_F(Modrender, NamesWhatIsWrongWithTheCommandLineAboveTheUsage) {
    const std::string in = write_module(ModBuilder{}.build()).string();
    const std::pair<std::string, std::string> refusals[] = {
        {" --seconds abc", "--seconds: \"abc\" is not a number"},
        {" --seconds -1", "--seconds: \"-1\" is out of range (0 to 22369.6)"},
        {" --seconds=1e9", "--seconds: \"1e9\" is out of range (0 to 22369.6)"},
        {" --seconds", "--seconds: needs a value"},
        {" --loud", "--loud: unknown option"},
        {" -i", "-i: unknown option"},
        {" --interpolate=yes", "--interpolate: takes no value"},
        {" extra", "\"extra\" is one file too many"},
        {" --version", "--version: stands alone"},
    };
    const std::string files = in + " " + out().string();
    for (const auto& [wrong, line] : refusals) {
        const ToolResult result = run_tool(files + wrong);
        EXPECT_EQ(result.exit_code, 2) << wrong;
        const std::size_t line_end = result.error_output.find('\n');
        EXPECT_EQ(result.error_output.substr(0, line_end), "modrender: " + line);
        EXPECT_EQ(result.error_output.find("usage: modrender"), line_end + 1) << wrong;
        EXPECT_FALSE(fs::exists(out())) << wrong;
    }
    const ToolResult alone = run_tool(in);
    EXPECT_EQ(alone.exit_code, 2);
    EXPECT_EQ(alone.error_output.rfind("modrender: needs a module and a WAV file to write\n", 0),
              0u);

    // Options stand anywhere, their values also after '='.
    EXPECT_EQ(run_tool("--seconds=0.5 --interpolate " + in + " " + out().string()).exit_code, 0);
    std::ifstream file(out(), std::ios::binary);
    EXPECT_EQ(wav_frames({std::istreambuf_iterator<char>(file), {}}), 24000u);
}

TEST_F(Modrender, HelpsAndRendersAnS3mToItsEndMarker) {
    const ToolResult help = run_tool("--help >" + (folder / "help.txt").string());
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.error_output, "");
    std::ifstream usage(folder / "help.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(usage), {}).rfind("usage: modrender", 0),
              0u);

    S3mBuilder s3m;
    s3m.orders = {0, 255, 0};
    const fs::path in = write_module(s3m.build(), "in.s3m");
    const ToolResult result = run_tool(in.string() + " " + out().string());
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.error_output.find("\"s3m test\": S3M, song length 1, 1 patterns, 4 channels"),
              std::string::npos)
        << result.error_output;
    std::ifstream file(out(), std::ios::binary);
    EXPECT_EQ(wav_frames({std::istreambuf_iterator<char>(file), {}}), 64 * frames_per_row);
}

TEST_F(Modrender, NeverWritesOverItsInput) {
    const std::vector<std::uint8_t> song = song_with_a_note({0}).build();
    const fs::path in = write_module(song);
    fs::create_hard_link(in, folder / "linked.mod");
    fs::create_symlink(in, folder / "symlinked.mod");
    for (const char* other : {"linked.mod", "symlinked.mod", "./in.mod"}) {
        const ToolResult result = run_tool(in.string() + " " + (folder / other).string());
        EXPECT_NE(result.exit_code, 0) << other;
        EXPECT_NE(result.error_output.find("will not write over the input"), std::string::npos);
    }
    const ToolResult to_stdout = run_tool(in.string() + " - >>" + in.string());
    EXPECT_NE(to_stdout.exit_code, 0);
    std::ifstream file(in, std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}), song);
}

TEST_F(Modrender, StreamsToPipesWithoutWaitingForTheirReader) {
    const fs::path in = write_module(song_with_a_note({0}).build());
    const fs::path piped = folder / "piped.wav";
    EXPECT_EQ(
        run_tool(in.string() + " - --seconds 1 2>/dev/null | cat >" + piped.string()).exit_code, 0);
    std::ifstream file(piped, std::ios::binary);
    const std::vector<std::uint8_t> wav(std::istreambuf_iterator<char>(file), {});
    ASSERT_EQ(wav.size(), 44u + 48000 * 4);
    EXPECT_EQ(u32(wav, 4), 0xFFFFFFFFu);
    EXPECT_EQ(u32(wav, 40), 0xFFFFFFFFu);
    EXPECT_FALSE(fs::exists(folder / "-"));

    // The reader leaves after the header; a hang would end in the timeout.
    const std::string command = "timeout 60 " + std::string(MODRENDER_PATH) + " " + in.string() +
                                " /dev/stdout 2>/dev/null | head -c 44 | wc -c";
    std::FILE* pipe = popen(command.c_str(), "r");
    char count[16] = {};
    ASSERT_TRUE(std::fgets(count, sizeof count, pipe));
    EXPECT_EQ(std::string(count), "44\n");
    EXPECT_EQ(pclose(pipe), 0);
}

TEST_F(Modrender, WarnsOnceAboutACutFile) {
    std::vector<std::uint8_t> cut = song_with_a_note({0}).build();
    cut.resize(cut.size() - 20);
    const ToolResult warned = run_tool(write_module(cut).string() + " " + out().string());
    EXPECT_EQ(warned.exit_code, 0);
    EXPECT_NE(warned.error_output.find("warning: "), std::string::npos);
    EXPECT_NE(warned.error_output.find(" is 20 bytes shorter than its headers announce"),
              std::string::npos);
    EXPECT_EQ(std::count(warned.error_output.begin(), warned.error_output.end(), '\n'), 2);
}
