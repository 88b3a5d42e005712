// The tools' command lines: long options read with getopt_long, in order,
// operands anywhere among them (and all after "--"). A refusal is one line
// that names the option and the value, such as `--seconds: "abc" is not a
// number`; the tool prints it with its name and then its usage.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

// A long option: its name without the dashes, and whether a value follows
// (as the next argument, or after '=').
struct LongOption {
    const char* name;
    bool takes_value;
};

// Takes option `index` of the table with its value (null for a flag), or an
// operand when `index` is -1; returns why the value is refused, "" when taken.
using TakeArgument = std::function<std::string(int index, const char* value)>;

// Walks argv[1] to argv[argc - 1] and stops at the first problem, which it
// returns ("" when there is none).
std::string walk_command_line(int argc, char** argv, std::span<const LongOption> options,
                              const TakeArgument& take);

// An option of a tool whose settings are a `Settings` record.
template <class Settings> struct ToolOption {
    LongOption option;
    // Stores the value (null for a flag); returns why it is refused, "" when taken.
    std::string (*take)(const char* value, Settings& settings);
};

// What a flag's entry does.
inline std::string set_flag(bool& flag) {
    flag = true;
    return {};
}

// walk_command_line over a table of a tool's options; `take_operand` takes
// what is not an option.
template <class Settings, std::size_t count>
std::string parse_command_line(int argc, char** argv, const ToolOption<Settings> (&table)[count],
                               std::string (*take_operand)(const char* text, Settings& settings),
                               Settings& settings) {
    LongOption options[count];
    for (std::size_t i = 0; i < count; ++i) options[i] = table[i].option;
    return walk_command_line(argc, argv, options, [&](int index, const char* value) {
        return index < 0 ? take_operand(value, settings) : table[index].take(value, settings);
    });
}

// Reasons for refusing a number, to follow the quoted value: "is not a
// number", or "is out of range (LOW to HIGH)". "" when `text` is one within
// [low, high], stored in `value`.
// A decimal whole number: digits only.
std::string parse_whole_number(std::string_view text, std::uint64_t low, std::uint64_t high,
                               std::uint64_t& value);
// A decimal fraction such as 1.5 or 2e3 (what strtod reads), finite.
std::string parse_fraction(const char* text, double low, double high, double& value);
