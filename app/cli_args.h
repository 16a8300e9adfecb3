#pragma once

// What every kestrow-cli command shares: its failure, its arguments and the
// place of the driver library.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrow::cli {

constexpr int kBadInput = 2;

/// Ends the command with one line on stderr and exit code `exitCode`.
struct Failure {
    std::string message;
    int exitCode = kBadInput;
};

/// Positional arguments, the allowed flags given and the allowed options
/// that take the next argument as their value ("--param 7").
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::string> options;
    std::vector<std::pair<std::string, std::string>> values;
};

Arguments splitArguments(std::span<char* const> args,
    std::initializer_list<std::string_view> allowed,
    std::initializer_list<std::string_view> valued = {});
bool hasOption(const Arguments& args, std::string_view option);
/// The value of an option that takes one, if it was given.
std::optional<std::string> optionValue(const Arguments& args, std::string_view option);
/// The option's value as a whole number in lowest..highest; anything else is bad input.
std::optional<std::int32_t> numberOption(
    const Arguments& args, std::string_view option, std::int32_t lowest, std::int32_t highest);
void expectCount(const Arguments& args, std::size_t count, const char* command);

/// The directory of this executable, where libmididrv.so lies ("" if unknown).
std::string programDirectory();
/// Writes UTF-8 text to stdout; a failed write is a Failure of its own.
void writeOut(const std::string& text);

/// A preset file that exists and ends in .MID, or bad input.
void checkName(const std::string& path);

} // namespace kestrow::cli
