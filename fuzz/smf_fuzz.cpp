// The driver library's standard MIDI file codec: what it reads it writes,
// and writing what it read back changes nothing.
#include "fuzz/fuzz_support.h"
#include "platform/mididrv/smf_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using kestrow::fuzz::check;
    auto song = kestrow::smf::decode(std::span<const std::uint8_t>(data, size));
    if (!song)
        return 0;
    const auto once = kestrow::smf::encode(*song);
    const auto again = kestrow::smf::decode(once);
    check(again.has_value(), "smf: our own output does not decode");
    check(kestrow::smf::encode(*again) == once, "smf: encoding is not stable");
    return 0;
}
