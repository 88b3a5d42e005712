#include "tools/command_line/command_line.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <vector>

namespace {

// The option string: '-' hands operands over in order where they stand (also
// under POSIXLY_CORRECT), ':' tells a missing value from an unknown option.
constexpr const char* option_string = "-:";
// getopt_long's code for an operand, given the '-'.
constexpr int operand_code = 1;
// getopt_long's code for option 0 of the table: above every character, so
// that an unknown short option's optopt is never one of ours.
constexpr int first_code = 256;

std::string quoted(const char* text) {
    return '"' + std::string(text) + '"';
}

std::string dashed(const LongOption& option) {
    return "--" + std::string(option.name);
}

// An unknown long option as written up to any '=', and what it may be short for.
std::string unknown_option(const char* argument, std::span<const LongOption> options) {
    const std::string written(argument, std::strcspn(argument, "="));
    if (!written.starts_with("--")) return written + ": unknown option";
    std::string candidates;
    int count = 0;
    for (const LongOption& option : options) {
        if (!std::string_view(option.name).starts_with(std::string_view(written).substr(2)))
            continue;
        candidates += (count++ == 0 ? "" : ", ") + dashed(option);
    }
    // getopt_long takes an unambiguous abbreviation, so a match here is more than one.
    if (count > 1) return written + ": could be " + candidates;
    return written + ": unknown option";
}

std::string range(const std::string& low, const std::string& high) {
    return "is out of range (" + low + " to " + high + ")";
}

} // namespace

std::string walk_command_line(int argc, char** argv, std::span<const LongOption> options,
                              const TakeArgument& take) {
    std::vector<option> table;
    for (const LongOption& entry : options) {
        table.push_back({entry.name, entry.takes_value ? required_argument : no_argument, nullptr,
                         first_code + static_cast<int>(table.size())});
    }
    table.push_back({});
    const auto operand = [&take](const char* text) {
        const std::string problem = take(-1, text);
        return problem.empty() ? problem : quoted(text) + " " + problem;
    };
    opterr = 0;
    optind = 0; // glibc: start a fresh scan at argv[1]
    int code = 0;
    while ((code = getopt_long(argc, argv, option_string, table.data(), nullptr)) != -1) {
        std::string problem;
        if (code == operand_code) {
            problem = operand(optarg);
        } else if (code >= first_code) {
            const LongOption& option = options[code - first_code];
            problem = take(code - first_code, optarg);
            if (!problem.empty()) {
                std::string line = dashed(option) + ": ";
                if (optarg) line.append(quoted(optarg)).append(" ");
                problem = line.append(problem);
            }
        } else if (optopt >= first_code) {
            problem = dashed(options[optopt - first_code]) +
                      (code == ':' ? ": needs a value" : ": takes no value");
        } else if (optopt != 0) {
            problem = std::string{'-', static_cast<char>(optopt)} + ": unknown option";
        } else {
            problem = unknown_option(argv[optind - 1], options);
        }
        if (!problem.empty()) return problem;
    }
    for (int i = optind; i < argc; ++i) {
        std::string problem = operand(argv[i]);
        if (!problem.empty()) return problem;
    }
    return {};
}

std::string parse_whole_number(std::string_view text, std::uint64_t low, std::uint64_t high,
                               std::uint64_t& value) {
    const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return "is not a number";
    }
    std::uint64_t number = 0;
    bool outside = digits.size() != text.size(); // a negative number
    for (const char digit : digits) {
        const auto next = static_cast<std::uint64_t>(digit - '0');
        outside = outside || number > (UINT64_MAX - next) / 10;
        number = number * 10 + next;
    }
    if (outside || number < low || number > high) {
        return range(std::to_string(low), std::to_string(high));
    }
    value = number;
    return {};
}

std::string parse_fraction(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    const double number = std::strtod(text, &end);
    if (end == text || *end != '\0' || std::isnan(number)) return "is not a number";
    if (number < low || number > high) {
        char low_text[32];
        char high_text[32];
        std::snprintf(low_text, sizeof low_text, "%g", low);
        std::snprintf(high_text, sizeof high_text, "%g", high);
        return range(low_text, high_text);
    }
    value = number;
    return {};
}
