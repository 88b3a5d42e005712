// gridshow-headless refuses a bad command line with a line that says what
// is wrong, the usage line and exit code 2, before the program starts.
#include "tests/program/run_driver.h"
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// The line that says what is wrong.
std::string expect_usage_error(const std::vector<std::string>& arguments) {
    DriverRun run = run_driver(arguments);
    SCOPED_TRACE(testing::PrintToString(arguments));
    EXPECT_EQ(run.exit_code, 2);
    const std::size_t line_end = run.error_output.find('\n');
    EXPECT_EQ(run.error_output.rfind("gridshow-headless: ", 0), 0u);
    EXPECT_EQ(run.error_output.find("usage: gridshow-headless"), line_end + 1);
    EXPECT_EQ(std::count(run.error_output.begin(), run.error_output.end(), '\n'), 2);
    EXPECT_EQ(run.error_output.find("Audio"), std::string::npos) << "the program never started";
    return run.error_output.substr(0, line_end);
}

TEST(DriverOptions, TheRefusalNamesTheOptionAndTheValue) {
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"--every", "ten"}, "--every: \"ten\" is not a number"},
        {{"--every", "0"}, "--every: \"0\" is out of range (1 to 4294967295)"},
        {{"--screen"}, "--screen: needs a value"},
        {{"--fullscreen"}, "--fullscreen: unknown option"},
        {{"--p", "escape@5"}, "--p: could be --press, --post"},
        {{"--count-allocations=yes"}, "--count-allocations: takes no value"},
        {{"--press", "jump@10"}, "--press: \"jump@10\" names no key"},
        {{"--fail", "waveOutWrite@0=5"},
         "--fail: \"waveOutWrite@0=5\" has a call number that is out of range (1 to 4294967295)"},
        {{"800x600"}, "\"800x600\" is not an option"},
        {{"--version", "--every", "5"}, "--version: stands alone"},
    };
    for (const auto& [arguments, line] : refusals)
        EXPECT_EQ(expect_usage_error(arguments), "gridshow-headless: " + line);
}

TEST(DriverOptions, UnknownOptionsAreRefused) {
    expect_usage_error({"--help"});
    expect_usage_error({"--screen", "800x600", "--fullscreen"});
    expect_usage_error({"screen"});
    expect_usage_error({"-s", "800x600"});
}

TEST(DriverOptions, OptionsWithoutTheirValueAreRefused) {
    for (const char* option :
         {"--screen", "--module", "--press", "--post", "--fail", "--capture", "--every", "--video"})
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
