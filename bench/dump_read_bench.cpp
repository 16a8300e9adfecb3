// dump_read_bench: reads a preset dump file in process, as the editor's loads
// do (PresetFiles::readDumpFile: the toolkit's SMF classes over
// libmididrv.so, collecting every SysEx byte), and prints the time of each
// read in microseconds on one line.
//
//   dump_read_bench FILE.MID [reads]     (default 20 reads, after one warm-up)

#include "core/preset_bank.h"
#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "storage/preset_files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: dump_read_bench FILE.MID [reads]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int reads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    try {
        const auto self = std::filesystem::read_symlink("/proc/self/exe");
        kestrow::TMidiDriver driver(self.parent_path().string() + "/libmididrv.so");
        kestrow::TMidiSMF smf(&driver);
        kestrow::PresetBank bank;
        const kestrow::DeviceVariant variant = kestrow::DeviceVariant::zembraControl;
        kestrow::PresetFiles files(bank, smf, variant);
        int bytes = files.readDumpFile(path); // warm-up: page cache, allocator
        for (int i = 0; i < reads && bytes > 0; ++i) {
            const auto start = std::chrono::steady_clock::now();
            bytes = files.readDumpFile(path);
            const auto took = std::chrono::steady_clock::now() - start;
            std::printf(
                "%s%.2f", i ? " " : "", std::chrono::duration<double, std::micro>(took).count());
        }
        std::printf("\n");
        if (bytes <= 0) {
            std::fprintf(stderr, "dump_read_bench: %s\n", files.lastReadError().c_str());
            return 1;
        }
        std::fprintf(stderr, "%d SysEx bytes\n", bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dump_read_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
