#include "tools/gridshow-headless/options.h"
#include <utility>

const char* const usage_text =
    "usage: gridshow-headless [--screen WxH] [--module FILE] [--press KEY@TICK]... "
    "[--post MESSAGES@TICK]... [--fail NAME[@CALL][=CODE]]... [--capture DIR] [--every N] "
    "[--count-allocations] | --version";

namespace {

constexpr int smallest_screen = 16;
constexpr int largest_screen = 16384;

// A decimal number without sign, within [low, high].
bool parse_number(const std::string& text, std::uint64_t low, std::uint64_t high,
                  std::uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    value = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9') return false;
        std::uint64_t next = value * 10 + std::uint64_t(digit - '0');
        if (next / 10 != value) return false;
        value = next;
    }
    return value >= low && value <= high;
}

bool parse_screen(const std::string& text, DriverOptions& options) {
    std::size_t cross = text.find('x');
    std::uint64_t width, height;
    if (cross == std::string::npos ||
        !parse_number(text.substr(0, cross), smallest_screen, largest_screen, width) ||
        !parse_number(text.substr(cross + 1), smallest_screen, largest_screen, height))
        return false;
    options.screen_width = int(width);
    options.screen_height = int(height);
    return true;
}

// NAME@TICK with NAME one of `names`: the entry's value and the tick.
template <class Kind, std::size_t count>
bool parse_timed(const std::string& text, const std::pair<const char*, Kind> (&names)[count],
                 Kind& kind, std::uint64_t& tick) {
    std::size_t at = text.find('@');
    if (at == std::string::npos || !parse_number(text.substr(at + 1), 1, UINT32_MAX, tick))
        return false;
    std::string name = text.substr(0, at);
    for (const auto& entry : names) {
        if (name != entry.first) continue;
        kind = entry.second;
        return true;
    }
    return false;
}

bool parse_press(const std::string& text, DriverOptions& options) {
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
    if (!parse_timed(text, keys, press.key, press.tick)) return false;
    options.presses.push_back(press);
    return true;
}

bool parse_post(const std::string& text, DriverOptions& options) {
    static const std::pair<const char*, PostKind> kinds[] = {{"timers", PostKind::Timers},
                                                             {"foreigndone", PostKind::ForeignDone},
                                                             {"staledone", PostKind::StaleDone}};
    Post post{};
    if (!parse_timed(text, kinds, post.kind, post.tick)) return false;
    options.posts.push_back(post);
    return true;
}

// NAME[@CALL][=VALUE]: CALL picks one call of a waveOut function.
bool parse_fault(const std::string& text, DriverOptions& options) {
    static const std::pair<const char*, FaultKind> faults[] = {
        {"waveOutOpen", FaultKind::WaveOutOpen},
        {"waveOutPrepareHeader", FaultKind::WaveOutPrepareHeader},
        {"waveOutWrite", FaultKind::WaveOutWrite},
        {"waveOutReset", FaultKind::WaveOutReset},
        {"waveOutUnprepareHeader", FaultKind::WaveOutUnprepareHeader},
        {"waveOutClose", FaultKind::WaveOutClose},
        {"alloc", FaultKind::Alloc},
        {"defer", FaultKind::Defer}};
    std::size_t equals = text.find('=');
    bool has_value = equals != std::string::npos;
    std::string value_text = has_value ? text.substr(equals + 1) : std::string();
    std::string head = text.substr(0, equals);
    std::size_t at = head.find('@');
    bool has_call = at != std::string::npos;
    std::string name = head.substr(0, at);
    for (const auto& entry : faults) {
        if (name != entry.first) continue;
        Fault fault{entry.second, 1, 0}; // MMSYSERR_ERROR when no code is given
        switch (entry.second) {
        case FaultKind::Defer:
            if (has_value || has_call) return false;
            break;
        case FaultKind::Alloc:
            if (has_call || !parse_number(value_text, 1, UINT64_MAX, fault.value)) return false;
            break;
        default:
            if (has_call && !parse_number(head.substr(at + 1), 1, UINT32_MAX, fault.call))
                return false;
            if (has_value && !parse_number(value_text, 1, UINT32_MAX, fault.value)) return false;
            break;
        }
        options.faults.push_back(fault);
        return true;
    }
    return false;
}

} // namespace

bool parse_options(int argc, const char* const* argv, DriverOptions& options,
                   std::string& problem) {
    for (int i = 0; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--count-allocations") {
            options.count_allocations = true;
            continue;
        }
        bool known = option == "--screen" || option == "--module" || option == "--press" ||
                     option == "--post" || option == "--fail" || option == "--capture" ||
                     option == "--every";
        if (!known) {
            problem = "unknown option \"" + option + "\"";
            return false;
        }
        if (i + 1 >= argc) {
            problem = option + " needs a value";
            return false;
        }
        std::string value = argv[++i];
        bool good = true;
        if (option == "--screen")
            good = parse_screen(value, options);
        else if (option == "--press")
            good = parse_press(value, options);
        else if (option == "--post")
            good = parse_post(value, options);
        else if (option == "--fail")
            good = parse_fault(value, options);
        else if (option == "--every")
            good = parse_number(value, 1, UINT32_MAX, options.every);
        else if (option == "--module")
            good = !(options.module_path = value).empty();
        else
            good = !(options.capture_dir = value).empty();
        if (!good) {
            problem = "malformed value \"";
            problem.append(value).append("\" for ").append(option);
            return false;
        }
    }
    return true;
}
