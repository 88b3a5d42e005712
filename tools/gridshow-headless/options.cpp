#include "tools/gridshow-headless/options.h"
#include "tools/command_line/command_line.h"
#include <utility>

const char* const usage_text =
    "usage: gridshow-headless [--screen WxH] [--module FILE] [--press KEY@TICK]... "
    "[--post MESSAGES@TICK]... [--fail NAME[@CALL][=CODE]]... [--capture DIR] [--every N] "
    "[--count-allocations] | --version";

namespace {

constexpr int smallest_screen = 16;
constexpr int largest_screen = 16384;

std::string take_screen(const char* value, DriverOptions& options) {
    const std::string text = value;
    const std::size_t cross = text.find('x');
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    if (cross == std::string::npos ||
        !parse_whole_number(text.substr(0, cross), smallest_screen, largest_screen, width)
             .empty() ||
        !parse_whole_number(text.substr(cross + 1), smallest_screen, largest_screen, height)
             .empty())
        return "is not WIDTHxHEIGHT, each 16 to 16384";
    options.screen_width = int(width);
    options.screen_height = int(height);
    return {};
}

// NAME@TICK with NAME one of `names`, which are `what`: the entry's value and the tick.
template <class Kind, std::size_t count>
std::string parse_timed(const std::string& text, const std::pair<const char*, Kind> (&names)[count],
                        const char* what, Kind& kind, std::uint64_t& tick) {
    const std::size_t at = text.find('@');
    if (at == std::string::npos) return "has no @TICK";
    const std::string problem = parse_whole_number(text.substr(at + 1), 1, UINT32_MAX, tick);
    if (!problem.empty()) return "has a tick that " + problem;
    const std::string name = text.substr(0, at);
    for (const auto& entry : names) {
        if (name != entry.first) continue;
        kind = entry.second;
        return {};
    }
    return "names no " + std::string(what);
}

std::string take_press(const char* value, DriverOptions& options) {
    static const std::pair<const char*, PressKey> keys[] = {
        {"escape", PressKey::Escape},
        {"close", PressKey::Close},
        {"altf4", PressKey::AltF4},
        {"drag", PressKey::Drag},
        {"minimize", PressKey::Minimize},
        {"restore", PressKey::Restore},
        {"a", PressKey::A},
        {"closerequest", PressKey::CloseRequest},
        {"keystorm", PressKey::KeyStorm},
        {"escapestorm", PressKey::EscapeStorm}};
    Press press{};
    std::string problem = parse_timed(value, keys, "key", press.key, press.tick);
    if (problem.empty()) options.presses.push_back(press);
    return problem;
}

std::string take_post(const char* value, DriverOptions& options) {
    static const std::pair<const char*, PostKind> kinds[] = {{"timers", PostKind::Timers},
                                                             {"foreigndone", PostKind::ForeignDone},
                                                             {"staledone", PostKind::StaleDone}};
    Post post{};
    std::string problem = parse_timed(value, kinds, "messages", post.kind, post.tick);
    if (problem.empty()) options.posts.push_back(post);
    return problem;
}

// NAME[@CALL][=VALUE]: CALL picks one call of a waveOut function.
std::string take_fault(const char* value, DriverOptions& options) {
    static const std::pair<const char*, FaultKind> faults[] = {
        {"waveOutOpen", FaultKind::WaveOutOpen},
        {"waveOutPrepareHeader", FaultKind::WaveOutPrepareHeader},
        {"waveOutWrite", FaultKind::WaveOutWrite},
        {"waveOutReset", FaultKind::WaveOutReset},
        {"waveOutUnprepareHeader", FaultKind::WaveOutUnprepareHeader},
        {"waveOutClose", FaultKind::WaveOutClose},
        {"alloc", FaultKind::Alloc},
        {"defer", FaultKind::Defer}};
    const std::string text = value;
    const std::size_t equals = text.find('=');
    const bool has_value = equals != std::string::npos;
    const std::string value_text = has_value ? text.substr(equals + 1) : std::string();
    const std::string head = text.substr(0, equals);
    const std::size_t at = head.find('@');
    const bool has_call = at != std::string::npos;
    const std::string name = head.substr(0, at);
    for (const auto& entry : faults) {
        if (name != entry.first) continue;
        Fault fault{entry.second, 1, 0}; // MMSYSERR_ERROR when no code is given
        std::string problem;
        switch (entry.second) {
        case FaultKind::Defer:
            if (has_value || has_call) return "gives defer a call or a code";
            break;
        case FaultKind::Alloc:
            if (has_call || !has_value) return "is not alloc=N";
            problem = parse_whole_number(value_text, 1, UINT64_MAX, fault.value);
            if (!problem.empty()) return "has an allocation number that " + problem;
            break;
        default:
            if (has_call) {
                problem = parse_whole_number(head.substr(at + 1), 1, UINT32_MAX, fault.call);
                if (!problem.empty()) return "has a call number that " + problem;
            }
            if (has_value) {
                problem = parse_whole_number(value_text, 1, UINT32_MAX, fault.value);
                if (!problem.empty()) return "has a code that " + problem;
            }
            break;
        }
        options.faults.push_back(fault);
        return {};
    }
    return "names no fault";
}

// A file or folder name: anything but nothing.
std::string take_path(const char* value, std::string& path) {
    path = value;
    return path.empty() ? "is no name" : "";
}

std::string take_every(const char* value, DriverOptions& options) {
    return parse_whole_number(value, 1, UINT32_MAX, options.every);
}

// The program itself takes no arguments.
std::string take_operand(const char* /*text*/, DriverOptions& /*options*/) {
    return "is not an option";
}

// Every option: a new one is an entry here and the function that takes it.
constexpr ToolOption<DriverOptions> driver_option_table[] = {
    {{"screen", true}, take_screen},
    {{"module", true},
     [](const char* value, DriverOptions& options) {
         return take_path(value, options.module_path);
     }},
    {{"press", true}, take_press},
    {{"post", true}, take_post},
    {{"fail", true}, take_fault},
    {{"capture", true},
     [](const char* value, DriverOptions& options) {
         return take_path(value, options.capture_dir);
     }},
    {{"every", true}, take_every},
    {{"video", true},
     [](const char* value, DriverOptions& options) {
         return take_path(value, options.video_path);
     }},
    {{"count-allocations", false},
     [](const char*, DriverOptions& options) { return set_flag(options.count_allocations); }},
    {{"version", false},
     [](const char*, DriverOptions& options) { return set_flag(options.version); }},
};

} // namespace

std::string parse_options(int argc, char** argv, DriverOptions& options) {
    std::string problem =
        parse_command_line(argc, argv, driver_option_table, take_operand, options);
    if (problem.empty() && options.version && argc != 2) problem = "--version: stands alone";
    return problem;
}
