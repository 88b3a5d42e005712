// gridshow-headless refuses a bad command line with one usage line and exit
// code 2, before the program starts.
#include "tests/program/run_driver.h"
#include <filesystem>
#include <gtest/gtest.h>

namespace {

void expect_usage_error(const std::vector<std::string>& arguments) {
    DriverRun run = run_driver(arguments);
    SCOPED_TRACE(testing::PrintToString(arguments));
    EXPECT_EQ(run.exit_code, 2);
    ASSERT_FALSE(run.error_output.empty());
    EXPECT_EQ(run.error_output.find('\n'), run.error_output.size() - 1) << "one line only";
    EXPECT_NE(run.error_output.find("usage: gridshow-headless"), std::string::npos);
    EXPECT_EQ(run.error_output.find("Audio"), std::string::npos) << "the program never started";
}

TEST(DriverOptions, UnknownOptionsAreRefused) {
    expect_usage_error({"--help"});
    expect_usage_error({"--screen", "800x600", "--fullscreen"});
    expect_usage_error({"screen"});
    expect_usage_error({"-s", "800x600"});
}

TEST(DriverOptions, OptionsWithoutTheirValueAreRefused) {
    for (const char* option :
         {"--screen", "--module", "--press", "--post", "--fail", "--capture", "--every"})
        expect_usage_error({option});
}

TEST(DriverOptions, MalformedScreenSizesAreRefused) {
    for (const char* size : {"1920", "1920x", "x1080", "0x1080", "1920x0", "-1920x1080",
                             "1920X1080", "19a0x1080", "1920x1080x32", "99999x1080"})
        expect_usage_error({"--screen", size});
}

TEST(DriverOptions, MalformedPressesAreRefused) {
    for (const char* press :
         {"escape", "escape@", "@10", "jump@10", "Escape@10", "escape@0", "escape@-1", "escape@1.5",
          "escape@10x", "keystorm", "closerequest@0", "escape@4294967296"})
        expect_usage_error({"--press", press});
}

TEST(DriverOptions, MalformedPostsAreRefused) {
    for (const char* post : {"timers", "timers@", "timers@0", "@5", "timer@5", "Timers@5",
                             "staledone@x", "foreigndone@5@6", "escape@5"})
        expect_usage_error({"--post", post});
}

TEST(DriverOptions, MalformedFaultsAreRefused) {
    for (const char* fault :
         {"waveOutOpen=0", "waveOutOpen=abc", "waveOutOpen=4294967296",
          "waveOutOpen=", "waveoutopen=1", "alloc", "alloc=0", "alloc=x", "defer=1",
          "defer=", "waveOutGetVolume=1", "",
          // only the n-th call of a waveOut function, counted from 1
          "waveOutWrite@0=5", "waveOutWrite@=5", "waveOutWrite@x=5", "waveOutWrite@4294967296=5",
          "waveOutWrite@2@3=5", "@2=5", "waveOutWrite@-2", "alloc@2=3", "defer@1"})
        expect_usage_error({"--fail", fault});
}

TEST(DriverOptions, AFlagTakesNoValue) {
    DriverRun run = run_driver({"--count-allocations", "--fail", "alloc=1"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.standard_output, "allocations 1\n");
    expect_usage_error({"--count-allocations=yes"});
}

TEST(DriverOptions, NonPositiveCaptureIntervalsAreRefused) {
    expect_usage_error({"--every", "0"});
    expect_usage_error({"--every", "-5"});
    expect_usage_error({"--every", "ten"});
}

TEST(DriverOptions, ARefusedCommandLineWritesNoCapture) {
    std::string parent = make_temp_dir("gridshow-refused");
    std::string capture = parent + "/capture";
    expect_usage_error({"--capture", capture, "--every", "0"});
    EXPECT_FALSE(std::filesystem::exists(capture));
    std::filesystem::remove_all(parent);
}

TEST(DriverOptions, AnUnreadableModuleFileIsRefusedBeforeTheProgramStarts) {
    expect_usage_error({"--module", "/nonexistent/song.mod"});
}

} // namespace
