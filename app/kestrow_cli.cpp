// kestrow-cli: preset files on the command line. Loads and writes them with
// the editor's own storage code, so what it prints and writes is what the
// editor would show and save.

#include "catalogue.h"
#include "file_replace.h"
#include "listings.h"
#include "preset_bank.h"
#include "preset_files.h"
#include "text_codec.h"

#include "midi_driver.h"
#include "midi_smf.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {
namespace {

constexpr int kBadInput = 2;

struct Failure {
    std::string message;
};

void usage(std::ostream& out)
{
    out << "usage: kestrow-cli list FILE.MID [--names] [--notes-c2]\n"
           "       kestrow-cli export FILE.MID OUT.syx\n"
           "       kestrow-cli import IN.syx OUT.MID [--dial]\n";
}

/// Splits arguments into positional ones and the allowed options.
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::string> options;
};

Arguments splitArguments(std::span<char* const> args, std::initializer_list<std::string_view> allowed)
{
    Arguments out;
    for (const char* arg : args) {
        const std::string text(arg);
        if (text.size() > 2 && text.starts_with("--")) {
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

enum class SysExKind { presetData, initValues, trailer, foreign };

/// Which of the dump's messages a whole F0..F7 message is.
SysExKind classify(std::string_view message)
{
    static constexpr std::string_view kHeader { "\xF0\x00\x20\x20\x14\x00", 6 };
    if (message.size() < 10 || message.substr(0, 6) != kHeader)
        return SysExKind::foreign;
    const auto command = static_cast<unsigned char>(message[6]);
    if (command == 0x20 && message.size() == 58)
        return SysExKind::presetData;
    if (command == 0x21 && message.size() == 26)
        return SysExKind::initValues;
    if (command == 0x30 && message.size() == 10)
        return SysExKind::trailer;
    return SysExKind::foreign;
}

/// A working set with its creation values and the file toolkit beside it.
class Session {
public:
    /// The driver library is loaded from beside the program.
    Session()
        : m_driver(programDirectory() + "libmididrv.so")
        , m_smf(&m_driver)
        , m_files(m_bank, m_smf)
    {
    }

    PresetBank& bank() { return m_bank; }
    PresetFiles& files() { return m_files; }

    /// What can be told of a dump file before it is read.
    static void checkDumpPath(const std::string& path)
    {
        if (!hasMidExtension(path))
            throw Failure { path + ": not a preset file (the name must end in .MID)" };
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            throw Failure { path + ": no such file" };
    }

    /// Reads a dump file; a file without preset data is bad input too.
    int readDump(const std::string& path)
    {
        checkDumpPath(path);
        const int count = m_files.readDumpFile(path);
        if (count < 0)
            throw Failure { m_files.lastReadError() };
        if (count == 0)
            throw Failure { path + ": the file holds no preset data" };
        return count;
    }

private:
    TMidiDriver m_driver;
    TMidiSMF m_smf;
    PresetBank m_bank;
    PresetFiles m_files;
};

int list(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, { "--names", "--notes-c2" });
    expectCount(args, 1, "list");
    const std::string& path = args.positional[0];
    Session::checkDumpPath(path);
    Session session;
    // Load as "Load All Presets" does, side files included: the file is read
    // and decoded once, and refused with the same reasons as by readDump.
    const LoadResult loaded = session.files().loadAllPresets(path);
    if (!loaded)
        throw Failure { loaded.reason };

    Catalogue catalogue;
    catalogue.notesRangeLow = hasOption(args, "--notes-c2") ? 1 : 0;
    const bool names = hasOption(args, "--names");
    // Collected in the code page, converted once.
    std::string text;
    for (int p = 0; p < kPresetCount; ++p) {
        const Preset& preset = session.bank().presets[static_cast<std::size_t>(p)];
        const std::vector<std::string> lines
            = names ? knobNameListing(preset, p) : parameterListing(catalogue, preset, p);
        for (const std::string& line : lines) {
            text += line;
            text += '\n';
        }
    }
    const std::string out = cp1252ToUtf8(text);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int exportSysEx(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, {});
    expectCount(args, 2, "export");
    Session session;
    const int count = session.readDump(args.positional[0]);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        bytes += static_cast<char>(session.files().dumpBytes[static_cast<std::size_t>(i)] & 0xFF);
    const FileResult written = writeFileAtomically(args.positional[1], bytes, false);
    if (!written)
        throw Failure { written.file + ": " + written.reason };
    return 0;
}

int importSysEx(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, { "--dial" });
    expectCount(args, 2, "import");
    const std::string& in = args.positional[0];
    const std::string& out = args.positional[1];
    if (!hasMidExtension(out))
        throw Failure { out + ": a preset file name must end in .MID" };
    const auto raw = readWholeFile(in);
    if (!raw)
        throw Failure { in + ": cannot read the file" };
    if (raw->size() >= static_cast<std::size_t>(kDumpCapacity))
        throw Failure { in + ": more SysEx data than 128 presets" };

    Session session;
    PresetFiles& files = session.files();
    PresetBank& bank = session.bank();
    // Message by message, so that a capture of a live send (no trailers)
    // imports as well as an exported file.
    bank.presetMask.fill(0);
    bool any = false;
    std::size_t position = 0;
    while (position < raw->size()) {
        const std::size_t end = raw->find('\xF7', position);
        if ((*raw)[position] != '\xF0' || end == std::string::npos)
            throw Failure { in + ": damaged SysEx at byte " + std::to_string(position) };
        const std::string_view message = std::string_view(*raw).substr(position, end + 1 - position);
        const SysExKind kind = classify(message);
        if (kind == SysExKind::foreign)
            throw Failure { in + ": not a zembra preset message at byte " + std::to_string(position) };
        if (kind != SysExKind::trailer) {
            for (std::size_t i = 0; i < message.size(); ++i)
                files.dumpBytes[i] = static_cast<unsigned char>(message[i]);
            files.applyDump(static_cast<int>(message.size()), -1);
            const auto number = static_cast<unsigned char>(message[7]);
            if (number < kPresetCount) {
                bank.presetMask[number] = 1;
                any = true;
            }
        }
        position = end + 1;
    }
    if (!any)
        throw Failure { in + ": holds no zembra preset messages" };

    // The side files get the names a loader gives presets without any.
    for (int p = 0; p < kPresetCount; ++p) {
        Preset& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.name = "Preset " + std::to_string(p + 1);
        for (int k = 0; k < kKnobCount; ++k)
            preset.knobName[k] = "Knob " + std::to_string(k + 1);
    }
    files.variant = hasOption(args, "--dial") ? DeviceVariant::zembraDial : DeviceVariant::zembraControl;
    const SaveResult saved = files.savePresetFiles(out, saveAllPresetsText().defaultName);
    if (!saved.ok())
        throw Failure { saved.message() };
    return 0;
}

int run(int argc, char** argv)
{
    const std::span<char* const> args(argv, static_cast<std::size_t>(argc));
    if (argc < 2)
        throw Failure { "no command given (list, export or import; --help shows how)" };
    const std::string command = args[1];
    const auto rest = args.subspan(2);
    if (command == "list")
        return list(rest);
    if (command == "export")
        return exportSysEx(rest);
    if (command == "import")
        return importSysEx(rest);
    if (command == "--help" || command == "-h") {
        usage(std::cout);
        return 0;
    }
    throw Failure { "unknown command " + command + " (list, export or import; --help shows how)" };
}

} // namespace
} // namespace kestrow

int main(int argc, char** argv)
{
    try {
        return kestrow::run(argc, argv);
    } catch (const kestrow::Failure& f) {
        std::cerr << "kestrow-cli: " << f.message << '\n';
    } catch (const std::exception& e) {
        std::cerr << "kestrow-cli: " << e.what() << '\n';
    }
    return kestrow::kBadInput;
}
