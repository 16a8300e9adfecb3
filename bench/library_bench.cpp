// library_bench: the library's sets and its window, for scripts/bench.
//
//   library_bench generate FACTORY.MID FOLDER N
//       writes N sets made from the factory set, each varied (presets
//       rotated, channels and controllers changed, names marked, every fifth
//       a zembraDial set, every 50th a copy of the one before, every 100th
//       damaged), ten to a subfolder.
//   library_bench window FOLDER SCRATCH REPS FACTORY.MID
//       indexes FOLDER once (the index goes to SCRATCH), then per repetition
//       times, offscreen: the Library window opening with that index, with an
//       empty library (the baseline), a search by assignment and by name, and
//       the same assignment search done by findAssignments over the factory
//       set as many times as there are sets (the baseline). Prints
//       "name=ms ..." per repetition.

#include "core/bank_search.h"
#include "editor/editor_session.h"
#include "link/midi_ports.h"
#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "storage/library_file.h"
#include "storage/preset_files.h"
#include "ui/library_form.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace kestrow {
namespace {

    namespace fs = std::filesystem;
    using Clock = std::chrono::steady_clock;

    double msSince(Clock::time_point start)
    {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }

    int generate(const std::string& factory, const fs::path& folder, int count)
    {
        auto driver = TMidiDriver::filesOnly();
        TMidiSMF smf(driver.get());
        PresetBank bank;
        DeviceVariant variant = DeviceVariant::zembraControl;
        PresetFiles files(bank, smf, variant);
        if (!files.loadAllPresets(factory)) {
            std::fprintf(stderr, "library_bench: cannot read %s\n", factory.c_str());
            return 2;
        }
        const PresetSet original = bank.presets;
        for (int i = 0; i < count; ++i) {
            const fs::path sub = folder / ("bank-" + std::to_string(i / 10));
            fs::create_directories(sub);
            const std::string path = (sub / ("Set-" + std::to_string(i) + ".MID")).string();
            if (i % 50 != 49) { // else a copy of the set before: a duplicate
                for (int p = 0; p < kPresetCount; ++p) {
                    Preset preset = original[static_cast<std::size_t>((p + i) % kPresetCount)];
                    preset.name += " v" + std::to_string(i % 7);
                    for (std::size_t k = 0; k < kKnobCount; ++k) {
                        if ((p + static_cast<int>(k) + i) % 9 == 0) {
                            preset.channel[k] = 1 + (i + p) % 16;
                            preset.eventType[k] = 0; // a controller
                            preset.fixedParameter[k] = (i * 7 + p) % 128;
                        }
                    }
                    bank.presets[static_cast<std::size_t>(p)] = preset;
                }
            }
            variant = i % 5 == 0 ? DeviceVariant::zembraDial : DeviceVariant::zembraControl;
            if (!files.saveAllPresets(path).ok()) {
                std::fprintf(stderr, "library_bench: cannot write %s\n", path.c_str());
                return 2;
            }
            if (i % 100 == 99) { // damaged: no standard MIDI file any more
                std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
                file.write("XXXX", 4);
            }
        }
        return 0;
    }

    SearchCriteria cc74OnChannel2()
    {
        SearchCriteria criteria;
        criteria.eventTypes = { 0 };
        criteria.parameter = 74;
        criteria.channel = 2;
        return criteria;
    }

    int window(int argc, char** argv, const fs::path& folder, const fs::path& scratch, int reps)
    {
        QApplication app(argc, argv);
        auto driver = TMidiDriver::filesOnly();
        const auto sessionIn = [&driver](const fs::path& dir) {
            EditorPaths paths;
            paths.autosaveDirectory = dir.string() + "/";
            return std::make_unique<EditorSession>(
                paths, std::make_unique<NoMidiPorts>(), driver.get());
        };
        const fs::path full = scratch / "full";
        const fs::path empty = scratch / "empty";
        fs::create_directories(full);
        fs::create_directories(empty);
        std::size_t sets = 0;
        {
            auto session = sessionIn(full);
            session->addLibraryFolder(folder.string());
            session->startLibraryRefresh();
            while (!session->continueLibraryRefresh(1000)) { }
            sets = session->library().sets().size();
        }
        // The baseline search: the working set's Find over the factory set, once per set.
        PresetBank bank;
        const DeviceVariant variant = DeviceVariant::zembraControl;
        TMidiSMF smf(driver.get());
        PresetFiles files(bank, smf, variant);
        (void)files.loadAllPresets(argv[argc - 1]);

        for (int rep = 0; rep < reps; ++rep) {
            double openMs = 0;
            double emptyMs = 0;
            double searchMs = 0;
            double nameMs = 0;
            double findMs = 0;
            std::size_t matches = 0;
            for (const bool withSets : { rep % 2 == 0, rep % 2 != 0 }) {
                auto session = sessionIn(withSets ? full : empty);
                if (withSets)
                    session->addLibraryFolder(folder.string());
                const auto start = Clock::now();
                TLibraryForm form(*session);
                form.show();
                form.openLibrary();
                QApplication::processEvents();
                (withSets ? openMs : emptyMs) = msSince(start);
                if (!withSets)
                    continue;
                form.eventField()->setText(QStringLiteral("Controller"));
                form.parameterField()->setText(QStringLiteral("74"));
                form.channelField()->setCurrentIndex(3); // channel 2
                auto searchStart = Clock::now();
                form.runSearch();
                searchMs = msSince(searchStart);
                matches = form.results().total;
                form.eventField()->clear();
                form.parameterField()->clear();
                form.channelField()->setCurrentIndex(0);
                form.textField()->setText(QStringLiteral("bass"));
                searchStart = Clock::now();
                form.runSearch();
                nameMs = msSince(searchStart);
            }
            const auto findStart = Clock::now();
            std::size_t found = 0;
            for (std::size_t s = 0; s < sets; ++s)
                found += findAssignments(bank.presets, cc74OnChannel2()).size();
            findMs = msSince(findStart);
            std::printf(
                "sets=%zu open_ms=%.2f empty_open_ms=%.2f search_ms=%.2f name_search_ms=%.2f "
                "find_loop_ms=%.2f matches=%zu found=%zu\n",
                sets, openMs, emptyMs, searchMs, nameMs, findMs, matches, found);
        }
        return 0;
    }

} // namespace
} // namespace kestrow

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "generate" && argc == 5)
            return kestrow::generate(argv[2], argv[3], std::atoi(argv[4]));
        if (mode == "window" && argc == 6)
            return kestrow::window(argc, argv, argv[2], argv[3], std::max(1, std::atoi(argv[4])));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "library_bench: %s\n", e.what());
        return 2;
    }
    std::fprintf(stderr,
        "usage: library_bench generate FACTORY.MID FOLDER N\n"
        "       library_bench window FOLDER SCRATCH REPS FACTORY.MID\n");
    return 2;
}
