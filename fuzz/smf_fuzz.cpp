// Fuzz target for the driver library's standard MIDI file codec. With
// clang and -DKESTROW_FUZZ=ON it links libFuzzer; otherwise it is a plain
// program that replays the files (or directories of files) it is given.
#include "smf_codec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto song = kestrow::smf::decode(std::span<const std::uint8_t>(data, size));
    if (!song)
        return 0;
    // What we read, we write; and writing what we read back changes nothing.
    auto once = kestrow::smf::encode(*song);
    auto again = kestrow::smf::decode(once);
    if (!again) {
        std::fprintf(stderr, "smf_fuzz: our own output does not decode\n");
        std::abort();
    }
    if (kestrow::smf::encode(*again) != once) {
        std::fprintf(stderr, "smf_fuzz: encoding is not stable\n");
        std::abort();
    }
    return 0;
}

#if !defined(KESTROW_LIBFUZZER)
namespace {

int replay(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file())
                    files += replay(entry.path());
        } else {
            files += replay(path);
        }
    }
    std::printf("smf_fuzz: %d inputs replayed\n", files);
    return files > 0 ? 0 : 1;
}
#endif
