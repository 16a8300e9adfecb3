// kestrow-cli: preset files on the command line. Loads and writes them with
// the editor's own storage code, so what it prints and writes is what the
// editor would show and save.

#include "bank_diff.h"
#include "bank_search.h"
#include "catalogue.h"
#include "dump_frame.h"
#include "dump_scan.h"
#include "duplicate_assignments.h"
#include "file_replace.h"
#include "listings.h"
#include "midi_driver.h"
#include "midi_smf.h"
#include "preset_bank.h"
#include "preset_files.h"
#include "text_codec.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrow {
namespace {

constexpr int kBadInput = 2;
constexpr const char* kCommands = "list, export, import, find, check or diff";

struct Failure {
    std::string message;
};

void usage(std::ostream& out)
{
    out << "usage: kestrow-cli list FILE.MID [--names] [--notes-c2]\n"
           "       kestrow-cli export FILE.MID OUT.syx\n"
           "       kestrow-cli import IN.syx OUT.MID [--dial]\n"
           "       kestrow-cli find FILE.MID [--event NAME|CODE] [--param N] [--channel N] "
           "[--text WORD]\n"
           "       kestrow-cli check FILE.MID [--master N]\n"
           "       kestrow-cli diff A.MID B.MID\n"
           "       kestrow-cli --help | --version\n"
           "find exits with 1 when nothing matches, check when knobs send the same event,\n"
           "diff when the sets differ; 2 means bad input.\n";
}

/// Splits arguments into positional ones, the allowed flags and the allowed
/// options that take the next argument as their value ("--param 7").
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::string> options;
    std::vector<std::pair<std::string, std::string>> values;
};

Arguments splitArguments(std::span<char* const> args,
    std::initializer_list<std::string_view> allowed,
    std::initializer_list<std::string_view> valued = {})
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

/// A dump's messages; other devices' messages and damaged ones are skipped
/// with a note on stderr, as the editor's loads skip them.
DumpScan checkedScan(const std::string& path, std::span<const std::uint8_t> bytes)
{
    DumpScan scan = scanDump(bytes);
    if (!holdsPresets(scan))
        throw Failure { path + " holds no presets for this device" };
    if (const std::string skipped = scan.skippedText(); !skipped.empty())
        std::cerr << path << ": " << skipped << "\n";
    return scan;
}

void checkName(const std::string& path)
{
    if (!hasMidExtension(path))
        throw Failure { path + ": not a preset file (the name must end in .MID)" };
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw Failure { path + ": no such file" };
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
        , m_files(m_bank, m_smf, m_variant)
    {
    }

    PresetBank& bank() { return m_bank; }
    PresetFiles& files() { return m_files; }
    /// The variant the dump files are written for.
    void setVariant(DeviceVariant variant) { m_variant = variant; }

    /// Loads a preset file as "Load All Presets" does, side files included.
    void load(const std::string& path)
    {
        checkName(path);
        const LoadResult loaded = m_files.loadAllPresets(path);
        if (!loaded)
            throw Failure { loaded.reason };
        if (!loaded.note.empty())
            std::cerr << loaded.note << "\n";
    }

    /// This device's messages of a dump file; one without presets is bad input too.
    DumpScan readDump(const std::string& path)
    {
        checkName(path);
        const int count = m_files.readDumpFile(path);
        if (count < 0)
            throw Failure { m_files.lastReadError() };
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < count; ++i)
            bytes.push_back(
                static_cast<std::uint8_t>(m_files.dumpBytes[static_cast<std::size_t>(i)] & 0xFF));
        return checkedScan(path, bytes);
    }

private:
    TMidiDriver m_driver;
    TMidiSMF m_smf;
    PresetBank m_bank;
    DeviceVariant m_variant = DeviceVariant::zembraControl;
    PresetFiles m_files;
};

/// The 128 presets of a preset file with its side files, as "Load All Presets" reads them.
PresetSet loadSet(const std::string& path)
{
    Session session;
    session.load(path);
    return session.bank().presets;
}

/// Prints Windows-1252 lines as UTF-8; a failed write is a failure of its own.
void printLines(const std::vector<std::string>& lines)
{
    // Collected in the code page, converted in one pass.
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    const std::string out = cp1252ToUtf8(text);
    const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    if (!written || std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        throw Failure { "cannot write the output" };
}

int find(std::span<char* const> rest)
{
    const Arguments args
        = splitArguments(rest, {}, { "--event", "--param", "--channel", "--text" });
    expectCount(args, 1, "find");
    Catalogue catalogue;
    SearchCriteria criteria;
    if (const std::optional<std::string> event = optionValue(args, "--event")) {
        criteria.eventTypes = eventTypesNamed(catalogue, utf8ToCp1252(*event));
        if (criteria.eventTypes.empty())
            throw Failure { "--event: no event type is named " + *event };
    }
    criteria.parameter = numberOption(args, "--param", 0, 127);
    criteria.channel = numberOption(args, "--channel", 0, 16);
    if (const std::optional<std::string> text = optionValue(args, "--text")) {
        if (text->empty())
            throw Failure { "--text needs a word to look for" };
        criteria.text = utf8ToCp1252(*text);
    }
    if (criteria.empty())
        throw Failure { "find: give --event, --param, --channel or --text" };

    const PresetSet presets = loadSet(args.positional[0]);
    std::vector<std::string> lines;
    for (const SearchMatch& match : findAssignments(presets, criteria))
        lines.push_back(matchText(catalogue, presets, match));
    printLines(lines);
    return lines.empty() ? 1 : 0;
}

int check(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, {}, { "--master" });
    expectCount(args, 1, "check");
    const int master = numberOption(args, "--master", 1, 16).value_or(kMasterChannelUnknown);
    const PresetSet presets = loadSet(args.positional[0]);
    Catalogue catalogue;
    std::vector<std::string> lines;
    for (const PresetDuplicates& found : duplicateAssignments(presets, master)) {
        const Preset& preset = presets[static_cast<std::size_t>(found.presetIndex)];
        for (const KnobGroup& group : found.groups)
            lines.push_back(duplicateText(catalogue, preset, found.presetIndex, group));
    }
    printLines(lines);
    return lines.empty() ? 0 : 1;
}

int diff(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, {});
    expectCount(args, 2, "diff");
    const PresetSet ours = loadSet(args.positional[0]);
    const PresetSet theirs = loadSet(args.positional[1]);
    const std::vector<PresetDifference> differences = compareSets(ours, theirs);
    printLines(differenceListing(Catalogue(), ours, theirs, differences));
    return differences.empty() ? 0 : 1;
}

int list(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, { "--names", "--notes-c2" });
    expectCount(args, 1, "list");
    const std::string& path = args.positional[0];
    Session session;
    session.load(path);

    Catalogue catalogue;
    catalogue.notesRangeLow = hasOption(args, "--notes-c2") ? 1 : 0;
    const bool names = hasOption(args, "--names");
    std::vector<std::string> lines;
    for (int p = 0; p < kPresetCount; ++p) {
        const Preset& preset = session.bank().presets[static_cast<std::size_t>(p)];
        for (std::string& line :
            names ? knobNameListing(preset, p) : parameterListing(catalogue, preset, p))
            lines.push_back(std::move(line));
    }
    printLines(lines);
    return 0;
}

int exportSysEx(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, {});
    expectCount(args, 2, "export");
    const std::string& path = args.positional[0];
    Session session;
    // Each message is decoded and encoded again, so what leaves is what the
    // editor would read from the file and send.
    std::string bytes;
    for (const DecodedFrame& message : session.readDump(path).messages) {
        for (std::uint8_t b : message.frame.bytes())
            bytes += static_cast<char>(b);
    }
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
    const DumpScan scan = checkedScan(in, bytesOf(*raw));
    const std::vector<DumpAssignment> assignments = assignDump(scan, -1);
    if (assignments.empty()) // only preset numbers above 128
        throw Failure { in + " holds no presets for this device" };
    bank.presetMask.fill(0);
    applyDumpAssignments(scan, assignments, bank.presets);
    for (const DumpAssignment& a : assignments)
        bank.presetMask[static_cast<std::size_t>(a.preset)] = 1;

    // The side files get the names a loader gives presets without any.
    for (int p = 0; p < kPresetCount; ++p) {
        Preset& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.name = "Preset " + std::to_string(p + 1);
        for (int k = 0; k < kKnobCount; ++k)
            preset.knobName[k] = "Knob " + std::to_string(k + 1);
    }
    session.setVariant(
        hasOption(args, "--dial") ? DeviceVariant::zembraDial : DeviceVariant::zembraControl);
    PresetFiles& files = session.files();
    const SaveResult saved = files.savePresetFiles(out, saveAllPresetsText().defaultName);
    if (!saved.ok())
        throw Failure { saved.message() };
    return 0;
}

int run(int argc, char** argv)
{
    const std::span<char* const> args(argv, static_cast<std::size_t>(argc));
    if (argc < 2)
        throw Failure { "no command given (" + std::string(kCommands) + "; --help shows how)" };
    const std::string command = args[1];
    if (command == "--version") {
        std::cout << "kestrow-cli " KESTROW_VERSION "\n";
        return 0;
    }
    const auto rest = args.subspan(2);
    if (command == "list")
        return list(rest);
    if (command == "export")
        return exportSysEx(rest);
    if (command == "import")
        return importSysEx(rest);
    if (command == "find")
        return find(rest);
    if (command == "check")
        return check(rest);
    if (command == "diff")
        return diff(rest);
    if (command == "--help" || command == "-h") {
        usage(std::cout);
        return std::cout.flush() ? 0 : kBadInput;
    }
    throw Failure { "unknown command " + command + " (" + std::string(kCommands)
        + "; --help shows how)" };
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
