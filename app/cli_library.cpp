// The file commands over many sets: each argument a preset file or a folder
// searched through its subfolders. Each set's result is printed under its
// file's name; a set that cannot be read is reported on stderr and passed
// over, and the exit status then says so (2). The files are read with the
// standard MIDI file code built into the program: no MIDI system is started.

#include "app/cli_library.h"

#include "app/cli_args.h"
#include "app/cli_folder.h"
#include "core/bank_search.h"
#include "core/catalogue.h"
#include "core/duplicate_assignments.h"
#include "core/listings.h"
#include "core/text_codec.h"
#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "storage/dump_scan.h"
#include "storage/file_replace.h"
#include "storage/library_scan.h"
#include "storage/preset_files.h"

#include <filesystem>
#include <functional>
#include <iostream>
#include <malloc.h>
#include <memory>
#include <set>

namespace kestrow::cli {

namespace {

    namespace fs = std::filesystem;

    /// A set's result: the lines printed under its name, UTF-8.
    using SetLines = std::vector<std::string>;

    /// Runs every preset file of the arguments through `each`. Returns
    /// whether every argument gave readable sets; prints the results.
    class SetRun {
    public:
        SetRun(const std::vector<std::string>& paths, const char* command)
            : m_driver(TMidiDriver::filesOnly())
            , m_smf(m_driver.get())
            , m_paths(paths)
        {
            // Every set takes and frees the same large buffers: kept by the
            // allocator instead of going back to the system, they cost no
            // page faults (a third of the time of a search over many sets).
            ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
            ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
            if (paths.empty())
                throw Failure { std::string(command)
                    + ": give one or more preset files (.MID) or folders" };
            std::error_code error;
            m_headers = paths.size() > 1 || fs::is_directory(paths.front(), error);
        }

        TMidiSMF& smf() { return m_smf; }

        /// each(argument, file) gives the set's lines; it reports a set it
        /// cannot read by throwing Failure.
        void run(const std::function<SetLines(const std::string&, const std::string&)>& each)
        {
            for (const std::string& argument : m_paths) {
                std::vector<std::string> problems;
                const std::vector<std::string> files = findPresetFiles({ argument }, problems);
                for (const std::string& problem : problems)
                    bad(problem);
                std::error_code error;
                if (fs::is_directory(argument, error) && files.empty() && problems.empty())
                    bad(argument + ": no preset files (.MID) in this folder or below it");
                for (const std::string& file : files) {
                    try {
                        print(file, each(argument, file));
                    } catch (const Failure& f) {
                        if (!m_headers)
                            throw;
                        bad(f.message);
                    }
                }
            }
        }
        /// The set as "Load All Presets" reads it; a bad one is a Failure.
        SetReading read(const std::string& file)
        {
            checkName(file);
            SetReading reading = readPresetSet(file, m_smf);
            if (!reading.ok())
                throw Failure { reading.error };
            if (!reading.note.empty())
                std::cerr << reading.note << "\n";
            return reading;
        }
        bool anyBad() const { return m_bad > 0; }
        bool anyLines() const { return m_lines > 0; }

    private:
        void bad(const std::string& message)
        {
            std::cerr << "kestrow-cli: " << message << "\n";
            ++m_bad;
        }
        void print(const std::string& file, const SetLines& lines)
        {
            m_lines += lines.size();
            if (m_headers && lines.empty())
                return;
            std::string text = m_headers ? file + ":\n" : std::string();
            for (const std::string& line : lines)
                text += (m_headers ? "  " : "") + line + "\n";
            writeOut(text);
        }

        std::unique_ptr<TMidiDriver> m_driver;
        TMidiSMF m_smf;
        std::vector<std::string> m_paths;
        bool m_headers = false;
        int m_bad = 0;
        std::size_t m_lines = 0;
    };

    SearchCriteria findCriteria(const Arguments& args, const Catalogue& catalogue)
    {
        SearchCriteria criteria;
        if (const std::optional<std::string> event = optionValue(args, "--event")) {
            criteria.eventTypes = eventTypesNamed(catalogue, utf8ToCp1252(*event));
            if (criteria.eventTypes.empty())
                throw Failure { "--event: no event type is named " + *event };
        }
        criteria.parameter = numberOption(args, "--param", 0, 127);
        criteria.channel = numberOption(args, "--channel", 0, 16);
        for (const char* option : { "--text", "--name" }) {
            if (const std::optional<std::string> text = optionValue(args, option)) {
                if (text->empty())
                    throw Failure { std::string(option) + " needs a word to look for" };
                (option[2] == 't' ? criteria.text : criteria.name) = utf8ToCp1252(*text);
            }
        }
        if (criteria.empty())
            throw Failure { "find: give --event, --param, --channel, --text or --name" };
        return criteria;
    }

} // namespace

int listSets(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, { "--names", "--notes-c2" });
    Catalogue catalogue;
    catalogue.notesRangeLow = hasOption(args, "--notes-c2") ? 1 : 0;
    const bool names = hasOption(args, "--names");
    SetRun sets(args.positional, "list");
    sets.run([&](const std::string&, const std::string& file) {
        const SetReading reading = sets.read(file);
        SetLines lines;
        for (int p = 0; p < kPresetCount; ++p) {
            const Preset& preset = reading.presets[static_cast<std::size_t>(p)];
            for (std::string& line :
                names ? knobNameListing(preset, p) : parameterListing(catalogue, preset, p))
                lines.push_back(cp1252ToUtf8(line));
        }
        return lines;
    });
    return sets.anyBad() ? kBadInput : 0;
}

int findInSets(std::span<char* const> rest)
{
    const Arguments args
        = splitArguments(rest, {}, { "--event", "--param", "--channel", "--text", "--name" });
    Catalogue catalogue;
    const SearchCriteria criteria = findCriteria(args, catalogue);
    SetRun sets(args.positional, "find");
    sets.run([&](const std::string&, const std::string& file) {
        const SetReading reading = sets.read(file);
        SetLines lines;
        // Only the presets the file holds: the others are no part of the set.
        for (const SearchMatch& match : findAssignments(reading.presets, criteria)) {
            if (reading.held[static_cast<std::size_t>(match.presetIndex)])
                lines.push_back(cp1252ToUtf8(matchText(catalogue, reading.presets, match)));
        }
        return lines;
    });
    if (sets.anyBad())
        return kBadInput;
    return sets.anyLines() ? 0 : 1;
}

int checkSets(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, {}, { "--master" });
    const int master = numberOption(args, "--master", 1, 16).value_or(kMasterChannelUnknown);
    Catalogue catalogue;
    SetRun sets(args.positional, "check");
    sets.run([&](const std::string&, const std::string& file) {
        const SetReading reading = sets.read(file);
        SetLines lines;
        for (const PresetDuplicates& found : duplicateAssignments(reading.presets, master)) {
            const Preset& preset = reading.presets[static_cast<std::size_t>(found.presetIndex)];
            for (const KnobGroup& group : found.groups)
                lines.push_back(
                    cp1252ToUtf8(duplicateText(catalogue, preset, found.presetIndex, group)));
        }
        return lines;
    });
    if (sets.anyBad())
        return kBadInput;
    return sets.anyLines() ? 1 : 0;
}

int exportSets(std::span<char* const> rest)
{
    Arguments args = splitArguments(rest, {});
    if (args.positional.size() < 2)
        throw Failure { "export: wrong number of arguments" };
    const std::string out = args.positional.back();
    args.positional.pop_back();
    std::error_code error;
    // One file to one .syx, as ever; anything more goes into a folder.
    const bool intoFolder = args.positional.size() > 1
        || fs::is_directory(args.positional[0], error) || fs::is_directory(out, error);
    if (intoFolder && !fs::is_directory(out, error))
        throw Failure { "export: " + out
            + " is no folder; give an existing folder for the .syx files of several sets" };

    SetRun sets(args.positional, "export");
    std::set<fs::path> written;
    sets.run([&](const std::string& argument, const std::string& file) -> SetLines {
        checkName(file);
        prepareFolderOf(file, false);
        PresetBank scratch;
        const DeviceVariant variant = DeviceVariant::zembraControl;
        PresetFiles files(scratch, sets.smf(), variant);
        const int count = files.readDumpFile(file);
        if (count < 0)
            throw Failure { files.lastReadError() };
        std::vector<std::uint8_t> dump(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < dump.size(); ++i)
            dump[i] = static_cast<std::uint8_t>(files.dumpBytes[i] & 0xFF);
        const DumpScan scan = scanDump(dump);
        if (!holdsPresets(scan))
            throw Failure { file + " holds no presets for this device" };
        if (const std::string skipped = scan.skippedText(); !skipped.empty())
            std::cerr << file << ": " << skipped << "\n";
        // Each message is decoded and encoded again, so what leaves is what
        // the editor would read from the file and send.
        std::string bytes;
        for (const DecodedFrame& message : scan.messages) {
            for (std::uint8_t b : message.frame.bytes())
                bytes += static_cast<char>(b);
        }
        fs::path target = out;
        if (intoFolder) {
            // Below a folder given, the set keeps its place in the subfolders.
            const bool inFolder = fs::is_directory(argument, error);
            const fs::path relative = inFolder ? fs::path(file).lexically_relative(argument)
                                               : fs::path(file).filename();
            target = fs::path(out) / relative;
            target.replace_extension(".syx");
            if (!written.insert(target).second)
                throw Failure {
                    file + ": " + target.string()
                    + " was already written from another set of that name; export them one by one"
                };
            fs::create_directories(target.parent_path(), error);
        }
        prepareFolderOf(target.string(), true);
        const FileResult result = writeFileAtomically(target, bytes, false);
        if (!result)
            throw Failure { result.file + ": " + result.reason };
        return intoFolder ? SetLines { "written to " + target.string() } : SetLines {};
    });
    return sets.anyBad() ? kBadInput : 0;
}

} // namespace kestrow::cli
