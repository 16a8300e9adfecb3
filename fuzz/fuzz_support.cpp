#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kestrow::fuzz {

const std::filesystem::path& scratchFolder()
{
    // Made on first use, removed when the process ends normally.
    static const struct Folder {
        Folder()
        {
            std::error_code ec;
            const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                ? std::filesystem::path("/dev/shm")
                : std::filesystem::temp_directory_path();
            std::string pattern = (base / "kestrow-fuzz-XXXXXX").string();
            check(::mkdtemp(pattern.data()) != nullptr, "cannot make a scratch folder");
            path = pattern;
        }
        ~Folder()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
        std::filesystem::path path;
    } folder;
    return folder.path;
}

void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr, "cannot write a scratch file");
    // An empty input may come without a buffer, which fwrite must not be given.
    const bool whole
        = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    check(std::fclose(file) == 0 && whole, "cannot write a scratch file");
}

void writeFile(const std::filesystem::path& path, std::string_view text)
{
    writeFile(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void check(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

std::span<const std::uint8_t> takeChunk(std::span<const std::uint8_t>& input)
{
    std::size_t length = 0;
    if (input.size() >= 2) {
        length = input[0] | (std::size_t { input[1] } << 8);
        input = input.subspan(2);
    } else {
        input = {};
    }
    length = std::min(length, input.size());
    const auto chunk = input.first(length);
    input = input.subspan(length);
    return chunk;
}

} // namespace kestrow::fuzz

#if !defined(KESTROW_LIBFUZZER)
namespace {

int replay(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> paths { argv[i] }; // a seed file or a folder of them
        if (std::filesystem::is_directory(paths[0]))
            paths.assign(std::filesystem::directory_iterator(paths[0]), {});
        for (const std::filesystem::path& path : paths)
            files += std::filesystem::is_regular_file(path) ? replay(path) : 0;
    }
    std::printf(
        "%s: %d inputs replayed\n", std::filesystem::path(argv[0]).filename().c_str(), files);
    return files > 0 ? 0 : 1;
}
#endif
