// kestrow-cli: preset files on the command line. Loads and writes them with
// the editor's own storage code, so what it prints and writes is what the
// editor would show and save.

#include "app/cli_args.h"
#include "app/cli_device.h"
#include "app/cli_folder.h"
#include "app/cli_library.h"
#include "core/bank_diff.h"
#include "core/bank_search.h"
#include "core/catalogue.h"
#include "core/duplicate_assignments.h"
#include "core/listings.h"
#include "core/preset_bank.h"
#include "core/text_codec.h"
#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "protocol/dump_frame.h"
#include "storage/dump_scan.h"
#include "storage/file_replace.h"
#include "storage/preset_files.h"
#include "storage/sysex_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrow {
namespace {

    using namespace cli;

    constexpr const char* kCommands
        = "list, export, import, find, check, diff, ports, backup, send or verify";

    void usage(std::ostream& out)
    {
        out << "usage: kestrow-cli list SET... [--names] [--notes-c2]\n"
               "       kestrow-cli export FILE.MID OUT.syx | export SET... OUTFOLDER\n"
               "       kestrow-cli import IN.syx OUT.MID [--dial]\n"
               "       kestrow-cli find SET... [--event NAME|CODE] [--param N] [--channel N]\n"
               "                        [--text WORD] [--name WORD]\n"
               "       kestrow-cli check SET... [--master N]\n"
               "       kestrow-cli diff A.MID B.MID\n"
               "       kestrow-cli ports\n"
               "       kestrow-cli backup --port NAME [--in NAME] [--delay MS] OUT.MID [--dial]\n"
               "       kestrow-cli send FILE.MID --port NAME [--in NAME] [--delay MS|auto]\n"
               "                        [--presets 1-4,9] [--verify] [--dial]\n"
               "       kestrow-cli verify FILE.MID --port NAME [--in NAME] [--delay MS]\n"
               "                        [--presets 1-4,9] [--dial]\n"
               "       kestrow-cli --help | --version\n"
               "find exits with 1 when nothing matches, check when knobs send the same event,\n"
               "diff when the sets differ; backup, send and verify when a preset did not\n"
               "answer or differs (listed); 2 means bad input. --port NAME takes any part of\n"
               "a port name that only one port has; --in names the input when it differs.\n"
               "A SET is a preset file (.MID) or a folder searched through its subfolders;\n"
               "with several, each result is printed under its file's name, and a file that\n"
               "cannot be read is reported and passed over (the exit status is then 2).\n"
               "--text looks in knob names and descriptions, --name also in preset names.\n";
    }

    /// A working set with its creation values and the file toolkit beside it.
    class Session {
    public:
        /// Files only: reading and writing them starts no MIDI system.
        Session()
            : m_driver(TMidiDriver::filesOnly())
            , m_smf(m_driver.get())
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
            prepareFolderOf(path, false);
            const LoadResult loaded = m_files.loadAllPresets(path);
            if (!loaded)
                throw Failure { loaded.reason };
            if (!loaded.note.empty())
                std::cerr << loaded.note << "\n";
        }

    private:
        std::unique_ptr<TMidiDriver> m_driver;
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
        writeOut(cp1252ToUtf8(text));
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

    int importSysEx(std::span<char* const> rest)
    {
        const Arguments args = splitArguments(rest, { "--dial" });
        expectCount(args, 2, "import");
        const std::string& in = args.positional[0];
        const std::string& out = args.positional[1];
        if (!hasMidExtension(out))
            throw Failure { out + ": a preset file name must end in .MID" };
        prepareFolderOf(out, true);
        // Read as the editor's import reads it: the same size limit, other
        // devices' messages skipped and counted.
        const SysExRead read = readSysExFile(in);
        if (!read.scan)
            throw Failure { read.error };
        const DumpScan& scan = *read.scan;
        if (const std::string skipped = scan.skippedText(); !skipped.empty())
            std::cerr << in << ": " << skipped << "\n";

        Session session;
        PresetBank& bank = session.bank();
        // Message by message, so that a capture of a live send (no trailers)
        // imports as well as an exported file.
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
        // Init values are a zembraDial's: a file that has them is written as one.
        const bool initValues = std::ranges::any_of(
            scan.messages, [](const DecodedFrame& m) { return m.kind == FrameKind::initValues; });
        session.setVariant(hasOption(args, "--dial") || initValues ? DeviceVariant::zembraDial
                                                                   : DeviceVariant::zembraControl);
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
            return listSets(rest);
        if (command == "export")
            return exportSets(rest);
        if (command == "import")
            return importSysEx(rest);
        if (command == "find")
            return findInSets(rest);
        if (command == "check")
            return checkSets(rest);
        if (command == "diff")
            return diff(rest);
        if (command == "ports")
            return listPorts(rest);
        if (command == "backup")
            return backupDevice(rest);
        if (command == "send")
            return sendToDevice(rest);
        if (command == "verify")
            return verifyDevice(rest);
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
    kestrow::cli::ignoreWriteSignals();
    try {
        return kestrow::run(argc, argv);
    } catch (const kestrow::cli::Failure& f) {
        std::cerr << "kestrow-cli: " << f.message << '\n';
        return f.exitCode;
    } catch (const std::exception& e) {
        std::cerr << "kestrow-cli: " << e.what() << '\n';
    }
    return kestrow::cli::kBadInput;
}
