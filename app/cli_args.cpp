#include "app/cli_args.h"

#include "storage/file_replace.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kestrow::cli {

Arguments splitArguments(std::span<char* const> args,
    std::initializer_list<std::string_view> allowed, std::initializer_list<std::string_view> valued)
{
    Arguments out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string text(args[i]);
        bool takesValue = false;
        for (std::string_view v : valued)
            takesValue = takesValue || v == text;
        if (takesValue) {
            if (i + 1 == args.size())
                throw Failure { text + " needs a value" };
            for (const auto& [option, value] : out.values) {
                if (option == text)
                    throw Failure { text + " given twice" };
            }
            out.values.emplace_back(text, args[++i]);
        } else if (text.size() > 2 && text.starts_with("--")) {
            bool known = false;
            for (std::string_view a : allowed)
                known = known || a == text;
            if (!known)
                throw Failure { "unknown option " + text };
            out.options.push_back(text);
        } else {
            out.positional.push_back(text);
        }
    }
    return out;
}

bool hasOption(const Arguments& args, std::string_view option)
{
    for (const std::string& o : args.options) {
        if (o == option)
            return true;
    }
    return false;
}

/// The value of an option that takes one, if it was given.
std::optional<std::string> optionValue(const Arguments& args, std::string_view option)
{
    for (const auto& [name, value] : args.values) {
        if (name == option)
            return value;
    }
    return std::nullopt;
}

/// The option's value as a whole number in lowest..highest; anything else is bad input.
std::optional<std::int32_t> numberOption(
    const Arguments& args, std::string_view option, std::int32_t lowest, std::int32_t highest)
{
    const std::optional<std::string> text = optionValue(args, option);
    if (!text)
        return std::nullopt;
    std::int32_t number = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, number);
    if (text->empty() || error != std::errc() || stop != end || number < lowest || number > highest)
        throw Failure { std::string(option) + " takes a number " + std::to_string(lowest) + ".."
            + std::to_string(highest) + ", not " + *text };
    return number;
}

void expectCount(const Arguments& args, std::size_t count, const char* command)
{
    if (args.positional.size() != count)
        throw Failure { std::string(command) + ": wrong number of arguments" };
}

/// The directory of this executable, where libmididrv.so lies.
std::string programDirectory()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string() + "/";
}

void writeOut(const std::string& text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (!written || std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        throw Failure { std::string("cannot write the output: ") + std::strerror(errno)
            + "; check the file or program it goes to" };
}

void checkName(const std::string& path)
{
    if (!hasMidExtension(path))
        throw Failure { path + ": not a preset file (the name must end in .MID)" };
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw Failure { path + ": no such file" };
}

} // namespace kestrow::cli
