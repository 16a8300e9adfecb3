// kestrow-cli: preset files on the command line. Loads and writes them with
// the editor's own storage code, so what it prints and writes is what the
// editor would show and save.

#include "catalogue.h"
#include "dump_frame.h"
#include "file_replace.h"
#include "listings.h"
#include "midi_driver.h"
#include "midi_smf.h"
#include "preset_bank.h"
#include "preset_files.h"
#include "text_codec.h"

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

    // Exit status: 0 done; 1 the work could not be done (no driver library, an
    // output that cannot be written); 2 bad input (arguments, files).
    constexpr int kFailed = 1;
    constexpr int kBadInput = 2;

    struct Failure {
        std::string message;
        int exitStatus = kBadInput;
};

void usage(std::ostream& out)
{
    out << "usage: kestrow-cli list FILE.MID [--names] [--notes-c2]\n"
           "       kestrow-cli export FILE.MID OUT.syx\n"
           "       kestrow-cli import IN.syx OUT.MID [--dial]\n"
           "exit status: 0 done, 1 failed (output not written), 2 bad input\n";
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

/// A file's bytes as the codec reads them.
std::span<const std::uint8_t> bytesOf(std::string_view text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
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

    /// Reads a dump file; a file without preset data is bad input too.
    int readDump(const std::string& path)
    {
        if (!hasMidExtension(path))
            throw Failure { path + ": not a preset file (the name must end in .MID)" };
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            throw Failure { path + ": no such file" };
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
    Session session;
    session.readDump(path);
    // Load as "Load All Presets" does, side files included.
    const LoadResult loaded = session.files().loadAllPresets(path);
    if (!loaded)
        throw Failure { loaded.reason };

    Catalogue catalogue;
    catalogue.notesRangeLow = hasOption(args, "--notes-c2") ? 1 : 0;
    const bool names = hasOption(args, "--names");
    std::string out;
    for (int p = 0; p < kPresetCount; ++p) {
        const Preset& preset = session.bank().presets[static_cast<std::size_t>(p)];
        const std::vector<std::string> lines
            = names ? knobNameListing(preset, p) : parameterListing(catalogue, preset, p);
        for (const std::string& line : lines)
            out += cp1252ToUtf8(line) + "\n";
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    if (!written || std::fflush(stdout) != 0)
        throw Failure { "cannot write the listing to the standard output", kFailed };
    return 0;
}

int exportSysEx(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, {});
    expectCount(args, 2, "export");
    const std::string& path = args.positional[0];
    Session session;
    const int count = session.readDump(path);
    std::vector<std::uint8_t> dump;
    dump.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        dump.push_back(static_cast<std::uint8_t>(
            session.files().dumpBytes[static_cast<std::size_t>(i)] & 0xFF));
    // Each message is decoded and encoded again, so what leaves is what the
    // editor would read from the file and send.
    std::string bytes;
    bytes.reserve(dump.size());
    for (std::size_t position = 0; position < dump.size();) {
        const DecodedFrame decoded
            = decodeFrame(std::span(dump).subspan(position), FrameBounds::stream);
        if (decoded.kind != FrameKind::presetData && decoded.kind != FrameKind::initValues
            && decoded.kind != FrameKind::trailer)
            throw Failure { path + ": not a zembra preset message at SysEx byte "
                + std::to_string(position) };
        for (std::uint8_t b : decoded.frame.bytes())
            bytes += static_cast<char>(b);
        position += static_cast<std::size_t>(decoded.length);
    }
    const FileResult written = writeFileAtomically(args.positional[1], bytes, false);
    if (!written)
        throw Failure { written.file + ": " + written.reason, kFailed };
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
    // A .syx file is SysEx and nothing else: its size says whether it fits.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(in, error);
    if (!error && size >= static_cast<std::uintmax_t>(kDumpCapacity))
        throw Failure { tooMuchSysEx(in, size, kDumpCapacity - 1) };
    const auto raw = readWholeFile(in);
    if (!raw)
        throw Failure { in + ": cannot read the file" };
    if (raw->size() >= static_cast<std::size_t>(kDumpCapacity)) // grown since
        throw Failure { tooMuchSysEx(in, raw->size(), kDumpCapacity - 1) };

    Session session;
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
        const DecodedFrame decoded
            = decodeFrame(bytesOf(std::string_view(*raw).substr(position, end + 1 - position)),
                FrameBounds::wholeMessage);
        if (decoded.carriesPreset()) {
            storeFrame(decoded, bank.presets[decoded.frame.firstParam]);
            bank.presetMask[decoded.frame.firstParam] = 1;
            any = true;
        } else if (decoded.kind != FrameKind::trailer) {
            throw Failure { in + ": not a zembra preset message at byte "
                + std::to_string(position) };
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
    PresetFiles& files = session.files();
    files.variant = hasOption(args, "--dial") ? DeviceVariant::zembraDial : DeviceVariant::zembraControl;
    const SaveResult saved = files.savePresetFiles(out, saveAllPresetsText().defaultName);
    if (!saved.ok())
        throw Failure { saved.message(), kFailed };
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
        return std::cout.flush() ? 0 : kFailed;
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
        return f.exitStatus;
    } catch (const std::exception& e) {
        std::cerr << "kestrow-cli: " << e.what() << '\n';
    }
    return kestrow::kFailed;
}
