#include "tools/gridshow-headless/options.h"

const char* const usage_text =
    "usage: gridshow-headless [--screen WxH] [--module FILE] [--press KEY@TICK]... "
    "[--fail NAME[=CODE]]... [--capture DIR] [--every N]";

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

bool parse_press(const std::string& text, DriverOptions& options) {
    static const struct {
        const char* name;
        PressKey key;
    } keys[] = {{"escape", PressKey::Escape},
                {"close", PressKey::Close},
                {"altf4", PressKey::AltF4},
                {"drag", PressKey::Drag},
                {"minimize", PressKey::Minimize},
                {"restore", PressKey::Restore},
                {"a", PressKey::A}};
    std::size_t at = text.find('@');
    std::uint64_t tick;
    if (at == std::string::npos || !parse_number(text.substr(at + 1), 1, UINT32_MAX, tick))
        return false;
    std::string name = text.substr(0, at);
    for (const auto& entry : keys) {
        if (name != entry.name) continue;
        options.presses.push_back(Press{entry.key, tick});
        return true;
    }
    return false;
}

bool parse_fault(const std::string& text, DriverOptions& options) {
    static const struct {
        const char* name;
        FaultKind kind;
    } faults[] = {{"waveOutOpen", FaultKind::WaveOutOpen},
                  {"waveOutPrepareHeader", FaultKind::WaveOutPrepareHeader},
                  {"waveOutWrite", FaultKind::WaveOutWrite},
                  {"waveOutReset", FaultKind::WaveOutReset},
                  {"waveOutUnprepareHeader", FaultKind::WaveOutUnprepareHeader},
                  {"waveOutClose", FaultKind::WaveOutClose},
                  {"alloc", FaultKind::Alloc},
                  {"defer", FaultKind::Defer}};
    std::size_t equals = text.find('=');
    std::string name = text.substr(0, equals);
    bool has_value = equals != std::string::npos;
    std::string value_text = has_value ? text.substr(equals + 1) : std::string();
    for (const auto& entry : faults) {
        if (name != entry.name) continue;
        std::uint64_t value = 1; // MMSYSERR_ERROR when no code is given
        switch (entry.kind) {
        case FaultKind::Defer:
            if (has_value) return false;
            break;
        case FaultKind::Alloc:
            if (!parse_number(value_text, 1, UINT64_MAX, value)) return false;
            break;
        default:
            if (has_value && !parse_number(value_text, 1, UINT32_MAX, value)) return false;
            break;
        }
        options.faults.push_back(Fault{entry.kind, value});
        return true;
    }
    return false;
}

} // namespace

bool parse_options(int argc, const char* const* argv, DriverOptions& options,
                   std::string& problem) {
    for (int i = 0; i < argc; ++i) {
        std::string option = argv[i];
        bool known = option == "--screen" || option == "--module" || option == "--press" ||
                     option == "--fail" || option == "--capture" || option == "--every";
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
        else if (option == "--fail")
            good = parse_fault(value, options);
        else if (option == "--every")
            good = parse_number(value, 1, UINT32_MAX, options.every);
        else if (option == "--module")
            good = !(options.module_path = value).empty();
        else
            good = !(options.capture_dir = value).empty();
        if (!good) {
            problem = "malformed value \"" + value + "\" for " + option;
            return false;
        }
    }
    return true;
}
